// NetBIOS control blocks on one LAN adapter number: enumerate, reset, the
// adapter status of a name, the physical address behind the LANA, and
// whether a name answers on the network.
#pragma once

#include "Status.h"

#include <winsock2.h>
#include <windows.h>
#include <nb30.h>

#include <cstdint>
#include <string>
#include <vector>

class VLibNetbios
{
public:
    static constexpr size_t kFirstAnswerBuffer = 600;
    static constexpr size_t kAnswerGrowth = 4096;
    static constexpr size_t kAnswerLimit = 65536;
    static constexpr UCHAR kSessions = 24;
    static constexpr UCHAR kNames = 16;

    VLibNetbios() noexcept = default;

    // Points the object at a LANA and the name its queries address.
    void Set(UCHAR lana, const std::wstring& name) noexcept;

    [[nodiscard]] static CStatus GetLanaInfo(LANA_ENUM& lanas) noexcept;
    [[nodiscard]] CStatus Reset() noexcept;
    // The answer lands at the start of `answer`, which grows as needed;
    // `length` is what the adapter returned.
    [[nodiscard]] CStatus AdapterStatus(const char* ansiName, std::vector<BYTE>& answer, size_t& length) noexcept;
    [[nodiscard]] CStatus GetMAC(BYTE (&address)[6]) noexcept;
    // A failure is the usual answer for a name nobody holds.
    [[nodiscard]] CStatus CheckForDuplicate(bool& listed) noexcept;

private:
    UCHAR _lana = 0;
    std::wstring _name;
};
