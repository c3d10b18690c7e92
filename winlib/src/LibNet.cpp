// VLibNet: see LibNet.h.
#include "LibNet.h"

#include "EntryPoints.h"
#include "IcmpHandle.h"
#include "MacAddressText.h"
#include "ProcResolver.h"
#include "UniqueResource.h"

#include <cassert>
#include <cstring>
#include <new>

namespace
{
constexpr char kPayloadText[] = "QLX ICMP Echo Request";

// Resolved once by the first Open on 6.0 or later; no operation calls them yet.
struct IpHelperEntries
{
    FARPROC convertIpv4MaskToLength = nullptr;
    FARPROC initializeUnicastIpAddressEntry = nullptr;
    FARPROC createUnicastIpAddressEntry = nullptr;
    FARPROC deleteUnicastIpAddressEntry = nullptr;
    FARPROC getUnicastIpAddressEntry = nullptr;
} g_ipHelper;
} // namespace

VLibNet::~VLibNet()
{
    (void)Close();
}

CStatus VLibNet::Close() noexcept
{
    _adapterList.reset();
    if (_winsockStarted)
        ::WSACleanup();
    _winsockStarted = 0;
    return CStatus::Success();
}

bool VLibNet::IsVersion6OrLater() noexcept
{
    static const bool later = [] {
        // 6.0, any service pack: the parts not set stay zero.
        OSVERSIONINFOEXW wanted{};
        wanted.dwOSVersionInfoSize = sizeof(wanted);
        wanted.dwMajorVersion = 6;
        DWORDLONG conditions = 0;
        for (const DWORD part : {VER_MAJORVERSION, VER_MINORVERSION, VER_SERVICEPACKMAJOR, VER_SERVICEPACKMINOR})
            conditions = ::VerSetConditionMask(conditions, part, VER_GREATER_EQUAL);
        return ::VerifyVersionInfoW(&wanted,
                                    VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR | VER_SERVICEPACKMINOR,
                                    conditions) != FALSE;
    }();
    return later;
}

CStatus VLibNet::Open() noexcept
{
    (void)Close();
    ULONG size = 0;
    ULONG result = KvEntry().GetAdaptersInfo(nullptr, &size);
    std::unique_ptr<BYTE[]> list;
    if (result == ERROR_BUFFER_OVERFLOW)
    {
        list.reset(new (std::nothrow) BYTE[size]());
        if (!list)
            return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
        result = KvEntry().GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(list.get()), &size);
    }
    if (result != ERROR_SUCCESS)
        return CStatus::Failure(CStatus::kWin32, result);
    _adapterList = std::move(list);

    if (!IsVersion6OrLater())
        return CStatus::Success();
    const HMODULE ipHelper = ::GetModuleHandleW(L"Iphlpapi.dll");
    if (!ipHelper)
        return CStatus::Failure(CStatus::kWin32, ::GetLastError());
    g_ipHelper.convertIpv4MaskToLength = KvEntry().GetProcAddress(ipHelper, "ConvertIpv4MaskToLength");
    g_ipHelper.initializeUnicastIpAddressEntry = KvEntry().GetProcAddress(ipHelper, "InitializeUnicastIpAddressEntry");
    g_ipHelper.createUnicastIpAddressEntry = KvEntry().GetProcAddress(ipHelper, "CreateUnicastIpAddressEntry");
    g_ipHelper.deleteUnicastIpAddressEntry = KvEntry().GetProcAddress(ipHelper, "DeleteUnicastIpAddressEntry");
    g_ipHelper.getUnicastIpAddressEntry = KvEntry().GetProcAddress(ipHelper, "GetUnicastIpAddressEntry");
    if (!g_ipHelper.convertIpv4MaskToLength || !g_ipHelper.initializeUnicastIpAddressEntry ||
        !g_ipHelper.createUnicastIpAddressEntry || !g_ipHelper.deleteUnicastIpAddressEntry)
        return CStatus::Failure(CStatus::kWin32, ::GetLastError());
    return CStatus::Success();
}

CStatus VLibNet::GetAdaptersInfo(const IP_ADAPTER_INFO*& adapters) const noexcept
{
    assert(IsOpen());
    adapters = reinterpret_cast<const IP_ADAPTER_INFO*>(_adapterList.get());
    return CStatus::Success();
}

CStatus VLibNet::ParseMacAddress(uint8_t (&address)[6], const char* text) noexcept
{
    std::array<uint8_t, 6> parsed{};
    const CStatus status = VLibMacAddressText::Parse(text ? text : "", parsed);
    if (status.IsSuccess())
        std::memcpy(address, parsed.data(), parsed.size());
    return status;
}

CStatus VLibNet::Ping(bool& alive, IPAddr destination, DWORD timeoutMs) noexcept
{
    alive = false;
    const HANDLE opened = KvEntry().IcmpCreateFile();
    if (opened == INVALID_HANDLE_VALUE || !opened)
        return CStatus::Failure(CStatus::kWin32, ::GetLastError());
    const unique_icmp icmp(opened);
    char payload[kPayloadSize] = {};
    std::memcpy(payload, kPayloadText, sizeof(kPayloadText));
    alignas(ICMP_ECHO_REPLY) BYTE reply[kReplyBuffer] = {};
    const DWORD replies =
        KvEntry().IcmpSendEcho(icmp.get(), destination, payload, kPayloadSize, nullptr, reply, kReplyBuffer, timeoutMs);
    // A router's error report comes back from the router, not the destination.
    if (replies >= 1 && reinterpret_cast<const ICMP_ECHO_REPLY*>(reply)->Address == destination)
        alive = true;
    return CStatus::Success();
}
