// One echo request to an address written as text, IPv4 or IPv6; the family
// is found from the first text and kept.
#pragma once

#include "Status.h"

#include <windows.h>

#include <cstdint>
#include <string>

class VLibNetv6
{
public:
    static constexpr DWORD kReplyBuffer = (21 + 36) * 2;
    static constexpr BYTE kTimeToLive = 255;

    // Success whatever the answer; alive only for a reply from the
    // destination. Without ICMPv6 (Icmp6CreateFile failing): success, not alive.
    [[nodiscard]] static CStatus Pingv6(const wchar_t* address, DWORD timeoutMs, bool& alive) noexcept;
};

class VLibPinger
{
public:
    // Family of the texts this pinger sends to.
    enum Family : uint32_t
    {
        kUndetected = 0,
        kIPv4 = 1,
        kIPv6 = 2,
    };
    // Texts that are no address of either family.
    static constexpr uint32_t kNotAnAddress = 107; // with category 41

    VLibPinger() noexcept;
    ~VLibPinger();
    VLibPinger(const VLibPinger&) = delete;
    VLibPinger& operator=(const VLibPinger&) = delete;

    [[nodiscard]] CStatus Ping(bool& alive, const wchar_t* address, DWORD timeoutMs) noexcept;
    // ':' after the first character: IPv6; else '.' after the first: IPv4;
    // else 41/107. A text the family's conversion refuses: 2/<Winsock error>.
    [[nodiscard]] CStatus DetectAddressFamily(const wchar_t* address, uint32_t& family) noexcept;

    uint32_t GetFamily() const noexcept { return _family; }

private:
    std::wstring _address; // kept for the library's other users
    uint32_t _family = kUndetected;
    uint32_t _winsockStarted = 0;
};
