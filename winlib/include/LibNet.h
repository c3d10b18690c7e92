// This computer's network adapters, physical addresses written as text, and
// one IPv4 echo request.
#pragma once

#include "LibWin32Object.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdint>
#include <memory>

class VLibNet : public VLibObject
{
public:
    static constexpr DWORD kReplyBuffer = 168;
    static constexpr WORD kPayloadSize = 64;

    VLibNet() noexcept = default;
    ~VLibNet() override;
    VLibNet(const VLibNet&) = delete;
    VLibNet& operator=(const VLibNet&) = delete;

    virtual bool IsOpen() const noexcept { return _adapterList != nullptr; }
    // Always succeeds.
    [[nodiscard]] virtual CStatus Close() noexcept;

    // Reads the adapter list (2/<error> without adapters), and on 6.0 or
    // later resolves the IP Helper's address entry points.
    [[nodiscard]] CStatus Open() noexcept;
    // The list read by Open; it lives as long as this object stays open.
    [[nodiscard]] CStatus GetAdaptersInfo(const IP_ADAPTER_INFO*& adapters) const noexcept;

    // "00-1A-2B-3C-4D-5E" or with colons; 3/87 for anything else.
    [[nodiscard]] static CStatus ParseMacAddress(uint8_t (&address)[6], const char* text) noexcept;
    // One echo request; success whatever the answer, alive only for a reply
    // from the destination itself.
    [[nodiscard]] CStatus Ping(bool& alive, IPAddr destination, DWORD timeoutMs) noexcept;

    // Version 6.0 or later; asked once and kept.
    static bool IsVersion6OrLater() noexcept;

private:
    std::unique_ptr<BYTE[]> _adapterList;
    uint32_t _winsockStarted = 0; // kept for the library's other users
};
