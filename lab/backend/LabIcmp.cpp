// The lab's echo requests: ICMP handles of the lab, replies as Windows lays
// them out in the caller's buffer, answered by the lab's network (layout in
// LabNetworkStore.h). This computer answers for its own addresses and
// loopback. Every request that goes out is recorded.
#include "LabNetwork.h"

#include "LabFaults.h"
#include "LabNetworkHandles.h"
#include "LabNetworkStore.h"
#include "LibClock.h"

#include <ws2tcpip.h>

#include <cstring>

namespace KvLab
{
namespace
{
// Windows' ICMPv6 reply: its address block is packed, the reply is not. This
// SDK has no such reply and pads its address block.
#include <pshpack1.h>
struct Ipv6AddressEx
{
    USHORT sin6_port;
    ULONG sin6_flowinfo;
    USHORT sin6_addr[8];
    ULONG sin6_scope_id;
};
#include <poppack.h>
struct Icmpv6EchoReply
{
    Ipv6AddressEx Address;
    ULONG Status;
    unsigned int RoundTripTime;
};
static_assert(sizeof(Ipv6AddressEx) == 26 && offsetof(Icmpv6EchoReply, Status) == 28 &&
                  sizeof(Icmpv6EchoReply) == 36,
              "the ICMPv6 reply as Windows lays it out");

// Room a reply buffer must have besides the echoed data: an ICMP error
// message, and for IPv6 the status of the request too.
constexpr DWORD kIcmpErrorSize = 8;
constexpr DWORD kRoundTripMs = 1;
constexpr UCHAR kReplyTtl = 128;

struct Outcome
{
    ULONG status = IP_REQ_TIMED_OUT;
    LabAddress from;
};

bool IsLoopback(const LabAddress& address)
{
    return address.family == AF_INET ? (::ntohl(address.v4.s_addr) >> 24) == 127
                                     : IN6_IS_ADDR_LOOPBACK(&address.v6) != 0;
}

bool IsOwnAddress(const NetworkSnapshot& network, const LabAddress& address)
{
    for (const LabAdapter& adapter : network.adapters)
        for (const std::string& text : address.family == AF_INET ? adapter.ipv4Addresses : adapter.ipv6Addresses)
            if (const auto own = ParseAddress(text); own && *own == address)
                return address.family == AF_INET ? adapter.ipv4 : adapter.ipv6;
    return false;
}

// Who answers a request to that address, and how.
Outcome Answer(const NetworkSnapshot& network, const LabAddress& destination)
{
    if (IsLoopback(destination) || IsOwnAddress(network, destination))
        return {IP_SUCCESS, destination};
    for (const LabHost& host : network.hosts)
        for (const std::string& text : destination.family == AF_INET ? host.a : host.aaaa)
        {
            const auto address = ParseAddress(text);
            if (!address || !(*address == destination))
                continue;
            const auto router = ParseAddress(host.replyFrom);
            if (router && router->family == destination.family)
                return {IP_DEST_HOST_UNREACHABLE, *router};
            return {host.answersEcho ? static_cast<ULONG>(IP_SUCCESS) : IP_REQ_TIMED_OUT, destination};
        }
    return {IP_REQ_TIMED_OUT, destination};
}

// 0 when the request may go out, else the error it fails with.
DWORD CheckRequest(HANDLE icmp, LabHandleKind kind, LPVOID requestData, WORD requestSize, LPVOID replyBuffer,
                   DWORD replySize, DWORD replyOverhead)
{
    const auto handle = FindLabHandle(icmp);
    if (!handle || handle->kind == LabHandleKind::NetbtDevice)
        return ERROR_INVALID_HANDLE;
    if (handle->kind != kind || !replyBuffer || (requestSize && !requestData))
        return ERROR_INVALID_PARAMETER;
    return replySize < replyOverhead + requestSize ? ERROR_INSUFFICIENT_BUFFER : 0;
}

std::vector<BYTE> Payload(LPVOID requestData, WORD requestSize)
{
    const auto* bytes = static_cast<const BYTE*>(requestData);
    return requestSize ? std::vector<BYTE>(bytes, bytes + requestSize) : std::vector<BYTE>();
}

BYTE Ttl(PIP_OPTION_INFORMATION options)
{
    // The first byte alike in the 32-bit options Windows takes on 64-bit platforms.
    return options ? options->Ttl : 0;
}

// No reply: the time-out passes first. Returns the number of replies.
DWORD Finish(const Outcome& outcome, DWORD timeout)
{
    if (outcome.status != IP_REQ_TIMED_OUT)
        return 1;
    VLibClock::Current().Sleep(timeout);
    ::SetLastError(IP_REQ_TIMED_OUT);
    return 0;
}

HANDLE CreateIcmpHandle(Entry entry, LabHandleKind kind)
{
    if (const auto error = TakeFault(entry))
    {
        ::SetLastError(*error);
        return INVALID_HANDLE_VALUE;
    }
    const HANDLE handle = OpenLabHandle({kind, {}});
    return handle ? handle : INVALID_HANDLE_VALUE;
}

DWORD Fail(DWORD error)
{
    ::SetLastError(error);
    return 0;
}
} // namespace

HANDLE WINAPI IcmpCreateFile(VOID)
{
    return CreateIcmpHandle(Entry::IcmpCreateFile, LabHandleKind::Icmp4);
}

HANDLE WINAPI Icmp6CreateFile(VOID)
{
    return CreateIcmpHandle(Entry::Icmp6CreateFile, LabHandleKind::Icmp6);
}

BOOL WINAPI IcmpCloseHandle(HANDLE icmp)
{
    if (const auto failed = TakeFailure<BOOL>(Entry::IcmpCloseHandle))
        return *failed;
    if (CloseLabHandle(icmp, {LabHandleKind::Icmp4, LabHandleKind::Icmp6}))
        return TRUE;
    ::SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

// The reply and the echoed data after it; a router's reply carries no data.
DWORD WINAPI IcmpSendEcho(HANDLE icmp, IPAddr destination, LPVOID requestData, WORD requestSize,
                          PIP_OPTION_INFORMATION options, LPVOID replyBuffer, DWORD replySize, DWORD timeout)
{
    if (const auto failed = TakeFailure<DWORD>(Entry::IcmpSendEcho))
        return *failed;
    try
    {
        if (const DWORD error = CheckRequest(icmp, LabHandleKind::Icmp4, requestData, requestSize, replyBuffer,
                                             replySize, sizeof(ICMP_ECHO_REPLY) + kIcmpErrorSize))
            return Fail(error);
        LabAddress to;
        to.family = AF_INET;
        to.v4.s_addr = destination;
        RecordEcho({AddressText(to), Payload(requestData, requestSize), replySize, timeout, Ttl(options), {}});
        const Outcome outcome = Answer(*Network(), to);
        ICMP_ECHO_REPLY reply{};
        reply.Address = outcome.from.v4.s_addr;
        reply.Status = outcome.status;
        if (outcome.status == IP_SUCCESS)
        {
            auto* data = static_cast<BYTE*>(replyBuffer) + sizeof(reply);
            if (requestSize)
                std::memcpy(data, requestData, requestSize);
            reply.RoundTripTime = kRoundTripMs;
            reply.DataSize = requestSize;
            reply.Data = data;
            reply.Options.Ttl = kReplyTtl;
        }
        std::memcpy(replyBuffer, &reply, sizeof(reply));
        return Finish(outcome, timeout);
    }
    catch (...)
    {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

// Synchronous requests only: the lab has no completion to signal.
DWORD WINAPI Icmp6SendEcho2(HANDLE icmp, HANDLE event, KvIcmpApcRoutine apcRoutine, PVOID,
                            struct sockaddr_in6* source, struct sockaddr_in6* destination, LPVOID requestData,
                            WORD requestSize, PIP_OPTION_INFORMATION options, LPVOID replyBuffer, DWORD replySize,
                            DWORD timeout)
{
    if (const auto failed = TakeFailure<DWORD>(Entry::Icmp6SendEcho2))
        return *failed;
    try
    {
        if (event || apcRoutine)
            return Fail(ERROR_NOT_SUPPORTED);
        if (const DWORD error =
                CheckRequest(icmp, LabHandleKind::Icmp6, requestData, requestSize, replyBuffer, replySize,
                             sizeof(Icmpv6EchoReply) + kIcmpErrorSize + sizeof(IO_STATUS_BLOCK)))
            return Fail(error);
        if (!destination || destination->sin6_family != AF_INET6)
            return Fail(ERROR_INVALID_PARAMETER);
        LabAddress to, from;
        to.family = from.family = AF_INET6;
        to.v6 = destination->sin6_addr;
        if (source)
            from.v6 = source->sin6_addr;
        RecordEcho({AddressText(to), Payload(requestData, requestSize), replySize, timeout, Ttl(options),
                    AddressText(from)});
        const Outcome outcome = Answer(*Network(), to);
        Icmpv6EchoReply reply{};
        std::memcpy(reply.Address.sin6_addr, &outcome.from.v6, sizeof(reply.Address.sin6_addr));
        reply.Status = outcome.status;
        if (outcome.status == IP_SUCCESS)
        {
            if (requestSize)
                std::memcpy(static_cast<BYTE*>(replyBuffer) + sizeof(reply), requestData, requestSize);
            reply.RoundTripTime = kRoundTripMs;
        }
        std::memcpy(replyBuffer, &reply, sizeof(reply));
        return Finish(outcome, timeout);
    }
    catch (...)
    {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}
} // namespace KvLab
