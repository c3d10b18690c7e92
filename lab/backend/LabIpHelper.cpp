// The lab's IP helper: this computer's adapters (layout in LabNetworkStore.h)
// as IP_ADAPTER_INFO and IP_ADAPTER_ADDRESSES chains in the caller's buffer.
#include "LabNetwork.h"

#include "LabClusterStore.h"
#include "LabFaults.h"
#include "LabFlatBuffer.h"
#include "LabNetworkStore.h"

#include <cstdio>
#include <optional>

namespace KvLab
{
namespace
{
// What Windows reserves for each adapter of the list: its structure up to
// FirstDnsSuffix, which this SDK's structure may stop short of.
constexpr ULONG kAdapterAddressesLength = 448;
static_assert(sizeof(IP_ADAPTER_ADDRESSES) <= kAdapterAddressesLength, "an adapter fits its block");

// Interface indices as Windows gives them: small numbers past loopback's 1.
DWORD AdapterIndex(size_t position)
{
    return static_cast<DWORD>(10 + position);
}

std::string AdapterName(size_t position)
{
    char name[40];
    snprintf(name, sizeof(name), "{4B564C41-4E00-4000-8000-%012zX}", position + 1);
    return name;
}

std::vector<LabAddress> Addresses(const std::vector<std::string>& texts, int family)
{
    std::vector<LabAddress> addresses;
    for (const std::string& text : texts)
        if (const auto address = ParseAddress(text); address && address->family == family)
            addresses.push_back(*address);
    return addresses;
}

std::string MaskText(BYTE prefixLength)
{
    LabAddress mask;
    mask.family = AF_INET;
    mask.v4.s_addr = ::htonl(prefixLength ? ~0u << (32 - prefixLength) : 0);
    return AddressText(mask);
}

void SetAddressString(IP_ADDR_STRING& entry, const LabAddress& address, DWORD context)
{
    snprintf(entry.IpAddress.String, sizeof(entry.IpAddress.String), "%s", AddressText(address).c_str());
    snprintf(entry.IpMask.String, sizeof(entry.IpMask.String), "%s", MaskText(address.prefixLength).c_str());
    entry.Context = context;
}

// The answer if it fits, else the size it needs.
ULONG Deliver(const CLabFlatBuffer& answer, void* buffer, PULONG size)
{
    if (answer.Size() == 0)
        return ERROR_NO_DATA;
    if (!buffer || *size < answer.Size())
    {
        *size = static_cast<ULONG>(answer.Size());
        return ERROR_BUFFER_OVERFLOW;
    }
    answer.CopyTo(buffer);
    return ERROR_SUCCESS;
}

// Links the previous entry of a chain, if any, to the entry at `at`; the
// next one links from `next`.
void Chain(CLabFlatBuffer& answer, std::optional<size_t>& linkAt, size_t at, size_t next)
{
    if (linkAt)
        answer.Link(*linkAt, at);
    linkAt = next;
}

// An IPv4 adapter with its first address inside it and the others chained after it.
void AddAdapterInfo(CLabFlatBuffer& answer, const LabAdapter& adapter, size_t position,
                    std::optional<size_t>& linkAt)
{
    const size_t at = answer.Reserve(sizeof(IP_ADAPTER_INFO));
    IP_ADAPTER_INFO info{};
    info.Index = info.ComboIndex = AdapterIndex(position);
    snprintf(info.AdapterName, sizeof(info.AdapterName), "%s", AdapterName(position).c_str());
    snprintf(info.Description, sizeof(info.Description), "%s", adapter.description.c_str());
    info.AddressLength = static_cast<UINT>(adapter.mac.size());
    std::copy(adapter.mac.begin(), adapter.mac.end(), info.Address);
    info.Type = MIB_IF_TYPE_ETHERNET;
    std::vector<LabAddress> addresses = Addresses(adapter.ipv4Addresses, AF_INET);
    if (addresses.empty())
        addresses.push_back(LabAddress{AF_INET}); // Windows lists 0.0.0.0 for an adapter without address
    SetAddressString(info.IpAddressList, addresses[0], info.Index << 8);
    answer.Put(at, info);
    Chain(answer, linkAt, at, at + offsetof(IP_ADAPTER_INFO, Next));
    std::optional<size_t> listAt = at + offsetof(IP_ADAPTER_INFO, IpAddressList) + offsetof(IP_ADDR_STRING, Next);
    for (size_t i = 1; i < addresses.size(); ++i)
    {
        IP_ADDR_STRING entry{};
        SetAddressString(entry, addresses[i], info.Index << 8 | static_cast<DWORD>(i));
        const size_t entryAt = answer.Reserve(sizeof(entry));
        answer.Put(entryAt, entry);
        Chain(answer, listAt, entryAt, entryAt + offsetof(IP_ADDR_STRING, Next));
    }
}

std::wstring FriendlyName(size_t position)
{
    return L"Local Area Connection" + (position ? L" " + std::to_wstring(position + 1) : std::wstring());
}

bool Lists(ULONG family, int addressFamily)
{
    return family == AF_UNSPEC || family == static_cast<ULONG>(addressFamily);
}

void AddUnicastAddresses(CLabFlatBuffer& answer, const std::vector<LabAddress>& addresses,
                         std::optional<size_t>& linkAt)
{
    for (const LabAddress& address : addresses)
    {
        const bool v4 = address.family == AF_INET;
        const size_t at = answer.Reserve(sizeof(IP_ADAPTER_UNICAST_ADDRESS));
        const size_t socketAt = answer.Reserve(v4 ? sizeof(sockaddr_in) : sizeof(sockaddr_in6));
        if (v4)
            answer.Put(socketAt, sockaddr_in{AF_INET, 0, address.v4, {}});
        else
            answer.Put(socketAt, sockaddr_in6{AF_INET6, 0, 0, address.v6, {}});
        IP_ADAPTER_UNICAST_ADDRESS unicast{};
        unicast.Length = sizeof(unicast);
        unicast.Address.lpSockaddr = answer.Address<SOCKADDR>(socketAt);
        unicast.Address.iSockaddrLength = v4 ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
        unicast.PrefixOrigin = IpPrefixOriginManual;
        unicast.SuffixOrigin = IpSuffixOriginManual;
        unicast.DadState = IpDadStatePreferred;
        unicast.ValidLifetime = unicast.PreferredLifetime = unicast.LeaseLifetime = 0xFFFFFFFF;
        unicast.OnLinkPrefixLength = address.prefixLength;
        answer.Put(at, unicast);
        Chain(answer, linkAt, at, at + offsetof(IP_ADAPTER_UNICAST_ADDRESS, Next));
    }
}

void AddAdapterAddresses(CLabFlatBuffer& answer, const LabAdapter& adapter, size_t position, ULONG family,
                         ULONG flags, std::optional<size_t>& linkAt)
{
    const size_t at = answer.Reserve(kAdapterAddressesLength);
    const DWORD index = AdapterIndex(position);
    IP_ADAPTER_ADDRESSES entry{};
    entry.Length = kAdapterAddressesLength;
    entry.IfIndex = adapter.ipv4 ? index : 0;
    entry.Ipv6IfIndex = adapter.ipv6 ? index : 0;
    entry.AdapterName = answer.Text(AdapterName(position));
    entry.DnsSuffix = answer.Text(std::wstring());
    entry.Description = answer.Text(FromAnsi(adapter.description));
    entry.FriendlyName = answer.Text(flags & GAA_FLAG_SKIP_FRIENDLY_NAME ? std::wstring() : FriendlyName(position));
    std::copy(adapter.mac.begin(), adapter.mac.end(), entry.PhysicalAddress);
    entry.PhysicalAddressLength = static_cast<ULONG>(adapter.mac.size());
    entry.DdnsEnabled = 1;
    entry.Ipv4Enabled = adapter.ipv4;
    entry.Ipv6Enabled = adapter.ipv6;
    entry.NetbiosOverTcpipEnabled = adapter.lana >= 0;
    entry.Mtu = 1500;
    entry.IfType = IF_TYPE_ETHERNET_CSMACD;
    entry.OperStatus = IfOperStatusUp;
    entry.TransmitLinkSpeed = entry.ReceiveLinkSpeed = 1000000000;
    entry.Luid.Info.IfType = IF_TYPE_ETHERNET_CSMACD;
    entry.Luid.Info.NetLuidIndex = index;
    entry.ConnectionType = NET_IF_CONNECTION_DEDICATED;
    answer.Put(at, entry);
    Chain(answer, linkAt, at, at + offsetof(IP_ADAPTER_ADDRESSES, Next));
    if (flags & GAA_FLAG_SKIP_UNICAST)
        return;
    std::optional<size_t> unicastAt = at + offsetof(IP_ADAPTER_ADDRESSES, FirstUnicastAddress);
    if (adapter.ipv4 && Lists(family, AF_INET))
        AddUnicastAddresses(answer, Addresses(adapter.ipv4Addresses, AF_INET), unicastAt);
    if (adapter.ipv6 && Lists(family, AF_INET6))
        AddUnicastAddresses(answer, Addresses(adapter.ipv6Addresses, AF_INET6), unicastAt);
}
} // namespace

ULONG WINAPI GetAdaptersInfo(PIP_ADAPTER_INFO adapters, PULONG size)
{
    // A program that asks Windows for its adapters has the IP Helper loaded
    // from then on, and may look for its other entry points there; the lab's
    // answer must leave the process the same. Kept loaded, as Windows does.
    static const HMODULE ipHelper = ::LoadLibraryW(L"iphlpapi.dll");
    (void)ipHelper;
    if (const auto failed = TakeFailure<ULONG>(Entry::GetAdaptersInfo))
        return *failed;
    if (!size)
        return ERROR_INVALID_PARAMETER;
    try
    {
        const auto network = Network();
        CLabFlatBuffer answer(adapters);
        std::optional<size_t> linkAt;
        for (size_t i = 0; i < network->adapters.size(); ++i)
            if (network->adapters[i].ipv4)
                AddAdapterInfo(answer, network->adapters[i], i, linkAt);
        return Deliver(answer, adapters, size);
    }
    catch (...)
    {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// Anycast, multicast, DNS server, prefix and gateway lists stay empty, so the
// flags that skip or include them change nothing.
ULONG WINAPI GetAdaptersAddresses(ULONG family, ULONG flags, PVOID reserved, PIP_ADAPTER_ADDRESSES addresses,
                                  PULONG size)
{
    if (const auto failed = TakeFailure<ULONG>(Entry::GetAdaptersAddresses))
        return *failed;
    if (!size || reserved || (family != AF_UNSPEC && family != AF_INET && family != AF_INET6))
        return ERROR_INVALID_PARAMETER;
    try
    {
        const auto network = Network();
        CLabFlatBuffer answer(addresses);
        std::optional<size_t> linkAt;
        for (size_t i = 0; i < network->adapters.size(); ++i)
        {
            const LabAdapter& adapter = network->adapters[i];
            if (family == AF_UNSPEC || (family == AF_INET && adapter.ipv4) || (family == AF_INET6 && adapter.ipv6))
                AddAdapterAddresses(answer, adapter, i, family, flags, linkAt);
        }
        return Deliver(answer, addresses, size);
    }
    catch (...)
    {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}
} // namespace KvLab
