// VLibPinger and VLibNetv6: see LibPinger.h.
#include "LibPinger.h"

#include "EntryPoints.h"
#include "IcmpHandle.h"
#include "IcmpV6Reply.h"
#include "LibLogger.h"
#include "LibNet.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

namespace
{
constexpr wchar_t kPayloadText[] = L"QLX ICMP Echo Request";
constexpr WORD kPayloadV6Size = (sizeof(kPayloadText) / sizeof(wchar_t) - 1) * sizeof(wchar_t);
constexpr int kAddressBuffer = 128;
const CStatus kNoAddress = CStatus::Failure(CStatus::kAddress, VLibPinger::kNotAnAddress);

// A character after the first: a text that starts with one is neither family's.
bool HasAfterFirst(const wchar_t* text, wchar_t c) noexcept
{
    const wchar_t* found = std::wcschr(text, c);
    return found && found != text;
}

CStatus CheckAddress(const wchar_t* text, int family) noexcept
{
    sockaddr_storage address{};
    int length = kAddressBuffer;
    if (::WSAStringToAddressW(const_cast<LPWSTR>(text), family, nullptr, reinterpret_cast<sockaddr*>(&address),
                              &length) != 0)
        return CStatus::Failure(CStatus::kWin32, static_cast<uint32_t>(::WSAGetLastError()));
    return CStatus::Success();
}
} // namespace

CStatus VLibNetv6::Pingv6(const wchar_t* address, DWORD timeoutMs, bool& alive) noexcept
{
    WSADATA data{};
    const int started = ::WSAStartup(MAKEWORD(2, 2), &data);
    if (started != 0)
    {
        VLIB_TRACE(L"WSAStartup() failed with error code %d.", started);
        return CStatus::Failure(CStatus::kWin32, static_cast<uint32_t>(started));
    }
    const std::unique_ptr<void, void (*)(void*)> winsock(&data, [](void*) { ::WSACleanup(); });
    alive = false;
    sockaddr_in6 destination{};
    int length = kAddressBuffer;
    alignas(sockaddr_in6) BYTE buffer[kAddressBuffer] = {};
    if (::WSAStringToAddressW(const_cast<LPWSTR>(address), AF_INET6, nullptr, reinterpret_cast<sockaddr*>(buffer),
                              &length) != 0)
        return CStatus::Failure(CStatus::kWin32, static_cast<uint32_t>(::WSAGetLastError()));
    std::memcpy(&destination, buffer, sizeof(destination));

    const HANDLE opened = KvEntry().Icmp6CreateFile();
    if (opened == INVALID_HANDLE_VALUE || !opened)
        return CStatus::Success();
    const unique_icmp icmp(opened);
    sockaddr_in6 source{};
    source.sin6_family = AF_INET6;
    IP_OPTION_INFORMATION options{};
    options.Ttl = kTimeToLive;
    alignas(KvIcmpv6EchoReply) BYTE reply[kReplyBuffer] = {};
    const DWORD replies =
        KvEntry().Icmp6SendEcho2(icmp.get(), nullptr, nullptr, nullptr, &source, &destination,
                                 const_cast<wchar_t*>(kPayloadText), kPayloadV6Size, &options, reply, kReplyBuffer,
                                 timeoutMs);
    const auto* answer = reinterpret_cast<const KvIcmpv6EchoReply*>(reply);
    if (replies != 0 && std::memcmp(answer->Address.sin6_addr, &destination.sin6_addr, 16) == 0)
        alive = true;
    return CStatus::Success();
}

VLibPinger::VLibPinger() noexcept
{
    WSADATA data{};
    _winsockStarted = ::WSAStartup(MAKEWORD(2, 2), &data) == 0 ? 1 : 0;
}

VLibPinger::~VLibPinger()
{
    if (_winsockStarted)
    {
        ::WSACleanup();
        _family = kUndetected;
    }
}

CStatus VLibPinger::DetectAddressFamily(const wchar_t* address, uint32_t& family) noexcept
{
    if (!address)
        return kNoAddress;
    const bool v6 = HasAfterFirst(address, L':');
    if (!v6 && !HasAfterFirst(address, L'.'))
        return kNoAddress;
    const CStatus status = CheckAddress(address, v6 ? AF_INET6 : AF_INET);
    if (status.IsSuccess())
        family = _family = v6 ? kIPv6 : kIPv4;
    return status;
}

CStatus VLibPinger::Ping(bool& alive, const wchar_t* address, DWORD timeoutMs) noexcept
{
    if (_family == kUndetected)
    {
        uint32_t family = kUndetected;
        const CStatus detected = DetectAddressFamily(address, family);
        if (detected.IsFailed())
            return detected;
    }
    if (_family == kIPv6)
        return VLibNetv6::Pingv6(address, timeoutMs, alive);
    if (_family != kIPv4)
        return kNoAddress;
    char text[kAddressBuffer] = {};
    if (!::WideCharToMultiByte(CP_ACP, 0, address, -1, text, sizeof(text), nullptr, nullptr))
        return kNoAddress;
    const unsigned long destination = ::inet_addr(text);
    if (destination == INADDR_NONE)
        return kNoAddress;
    VLibNet net;
    return net.Ping(alive, destination, timeoutMs);
}
