// Is a virtual computer name alive on the network? First NetBIOS, on every
// LANA of this computer's adapters; then DNS and an echo request, IPv4 before
// IPv6, never to this computer's own addresses. Also the process-wide table
// of names this process registers (the wizard registers none), reference
// counted by every initialised object.
#pragma once

#include "Status.h"

#include <winsock2.h>
#include <windows.h>

#include <string>

class VLibVirtualName
{
public:
    static constexpr wchar_t kSingleInstanceMutex[] = L"VLIB_VIRTUALNAME_SINGLE_INSTANCE";
    static constexpr DWORD kAddressFlags = 0x2E; // no anycast, multicast, DNS servers, friendly names
    static constexpr DWORD kDnsOptions = 0x108;  // the wire only, bypassing the resolver cache
    static constexpr ULONG kAddressBufferMinimum = 15360;
    static constexpr int kAddressListCalls = 3;
    static constexpr DWORD kEchoTimeoutMs = 2000;

    VLibVirtualName() noexcept = default;
    ~VLibVirtualName();
    VLibVirtualName(const VLibVirtualName&) = delete;
    VLibVirtualName& operator=(const VLibVirtualName&) = delete;

    // Always succeeds: a table that cannot be set up is only traced.
    [[nodiscard]] CStatus Init(const wchar_t* name) noexcept;
    // macAddress (optional): only the LANA of that physical address is asked.
    [[nodiscard]] CStatus IsExistInNetwork(bool& exists, const wchar_t* macAddress = nullptr) noexcept;
    // family: AF_INET (2) or AF_INET6 (23). Success unless this computer's
    // address list cannot be read.
    [[nodiscard]] CStatus IsExistInNetworkByPinging(bool& alive, int family) noexcept;

    [[nodiscard]] static CStatus InitializePersistentTable(bool keep) noexcept;
    [[nodiscard]] static CStatus CleanupPersistentTable(bool keep) noexcept;
    // Objects holding the table now (for tests and diagnostics).
    static uint32_t TableReferences() noexcept;

    const std::wstring& GetName() const noexcept { return _name; }
    // Set by Init; no operation here depends on it (kept for the library's other users).
    bool IsVersion6OrLater() const noexcept { return _isVersion6OrLater; }

private:
    std::wstring _name;
    bool _initialised = false;
    bool _isVersion6OrLater = false;
};
