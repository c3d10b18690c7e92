// The ICMPv6 echo reply as Windows lays it out: the address record is packed
// to single bytes there. This SDK's headers declare neither the reply nor a
// packed address, so both sides of the table use this one.
#pragma once

#include <windows.h>

#pragma pack(push, 1)
struct KvIpv6AddressEx
{
    USHORT sin6_port;
    ULONG sin6_flowinfo;
    USHORT sin6_addr[8];
    ULONG sin6_scope_id;
};
#pragma pack(pop)

struct KvIcmpv6EchoReply
{
    KvIpv6AddressEx Address;
    ULONG Status;
    unsigned int RoundTripTime;
};

static_assert(sizeof(KvIpv6AddressEx) == 26, "the packed IPv6 address record");
