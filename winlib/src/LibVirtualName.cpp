// VLibVirtualName: see LibVirtualName.h.
#include "LibVirtualName.h"

#include "EntryPoints.h"
#include "LibLogger.h"
#include "LibMutex.h"
#include "LibNTDevice.h"
#include "LibNet.h"
#include "LibNetbios.h"
#include "LibPinger.h"
#include "LibSingleLock.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace
{
constexpr ULONG kAllInterfaces = 0xFFFFFFFF;
constexpr int kAddressText = 65;
constexpr DWORD kSocketAddressLength = 128;

// A NetBIOS name this process registered on a NetBT interface of its own.
struct TableEntry
{
    std::wstring interfaceDevice;
    ULONG interfaceField = 0;
    std::vector<std::wstring> names;
};

struct PersistentTable
{
    uint32_t referenceCount = 0;
    std::vector<TableEntry>* table = nullptr;
    VLibMutex* tableLock = nullptr;
    bool keepTable = false;
};

PersistentTable& Table() noexcept
{
    static PersistentTable table;
    return table;
}

CStatus Traced(const wchar_t* step, const CStatus& status) noexcept
{
    VLIB_TRACE(L"%s returned %d, 0x%.08X", step, static_cast<int>(status.GetCategory()), status.GetCode());
    return status;
}

CStatus CreateInstanceMutex(VLibMutex& mutex) noexcept
{
    const CStatus status = mutex.Create(true, VLibVirtualName::kSingleInstanceMutex);
    if (status.IsFailed())
        return Traced(L"VLibMutex.Create(VLIB_VIRTUALNAME_SINGLE_INSTANCE)", status);
    return status;
}

// This computer's own address of that family, on an adapter with a 6-byte
// physical address and the family enabled.
bool IsLocalAddress(int family, const sockaddr* address, const IP_ADAPTER_ADDRESSES* adapters) noexcept
{
    for (const IP_ADAPTER_ADDRESSES* adapter = adapters; adapter; adapter = adapter->Next)
    {
        const bool enabled = family == AF_INET6 ? adapter->Ipv6Enabled : adapter->Ipv4Enabled;
        if (adapter->PhysicalAddressLength != 6 || !enabled)
            continue;
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast;
             unicast = unicast->Next)
        {
            const sockaddr* own = unicast->Address.lpSockaddr;
            if (!own || own->sa_family != family)
                continue;
            if (family == AF_INET &&
                reinterpret_cast<const sockaddr_in*>(own)->sin_addr.s_addr ==
                    reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr)
                return true;
            if (family == AF_INET6 && std::memcmp(&reinterpret_cast<const sockaddr_in6*>(own)->sin6_addr,
                                                  &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, 16) == 0)
                return true;
        }
    }
    return false;
}

struct DnsListFree
{
    void operator()(DNS_RECORD* list) const noexcept { KvEntry().DnsFree(list, DnsFreeRecordList); }
};
} // namespace

VLibVirtualName::~VLibVirtualName()
{
    if (_initialised)
        (void)CleanupPersistentTable(false);
}

uint32_t VLibVirtualName::TableReferences() noexcept
{
    return Table().referenceCount;
}

CStatus VLibVirtualName::InitializePersistentTable(bool keep) noexcept
{
    PersistentTable& state = Table();
    if (state.keepTable)
        return CStatus::Success();
    VLibMutex instance;
    const CStatus created = CreateInstanceMutex(instance);
    if (created.IsFailed())
        return created;
    if (!state.table)
    {
        state.referenceCount = 1;
        state.tableLock = new (std::nothrow) VLibMutex(false, nullptr);
        state.table = new (std::nothrow) std::vector<TableEntry>();
        if (keep)
            state.keepTable = true;
    }
    else
        ++state.referenceCount;
    // The named mutex only marks that a process holds a table; it is closed
    // without waiting or releasing.
    return CStatus::Success();
}

CStatus VLibVirtualName::CleanupPersistentTable(bool keep) noexcept
{
    PersistentTable& state = Table();
    if (state.keepTable && !keep)
        return CStatus::Success();
    VLibMutex instance;
    CStatus status = CreateInstanceMutex(instance);
    if (status.IsFailed())
        return status;
    if (state.referenceCount > 0 && --state.referenceCount == 0)
    {
        state.keepTable = false;
        {
            VLibSingleLock lock(state.tableLock, false);
            const CStatus waited = lock.Wait(INFINITE);
            if (waited.IsFailed())
                status = Traced(L"lock.Wait()", waited);
            else if (state.table)
            {
                for (const TableEntry& entry : *state.table)
                    if (entry.interfaceField == kAllInterfaces && !entry.names.empty())
                        (void)VLibNetbiosInterface(entry.interfaceDevice).Destroy();
                delete state.table;
                state.table = nullptr;
                (void)lock.Release();
            }
        }
        delete state.tableLock;
        state.tableLock = nullptr;
    }
    return status;
}

CStatus VLibVirtualName::Init(const wchar_t* name) noexcept
{
    (void)InitializePersistentTable(false);
    try
    {
        _name = name ? name : L"";
        for (wchar_t& c : _name)
            c = static_cast<wchar_t>(reinterpret_cast<uintptr_t>(::CharUpperW(reinterpret_cast<LPWSTR>(c))));
    }
    catch (...)
    {
        _name.clear();
    }
    _isVersion6OrLater = VLibNet::IsVersion6OrLater();
    _initialised = true;
    return CStatus::Success();
}

CStatus VLibVirtualName::IsExistInNetwork(bool& exists, const wchar_t* macAddress) noexcept
{
    exists = false;
    VLibNetbios nb;
    VLibNet netInfo;
    BYTE wanted[6] = {};
    const IP_ADAPTER_INFO* adapters = nullptr;
    CStatus status = CStatus::Success();
    if (macAddress)
    {
        char text[64] = {};
        if (!::WideCharToMultiByte(CP_ACP, 0, macAddress, -1, text, sizeof(text), nullptr, nullptr))
            return Traced(L"ConvertMacAddress", CStatus::Failure(CStatus::kWin32, ::GetLastError()));
        if ((status = VLibNet::ParseMacAddress(wanted, text)).IsFailed())
            return Traced(L"ConvertMacAddress", status);
    }
    else
    {
        if ((status = netInfo.Open()).IsFailed())
            return Traced(L"netInfo.Open()", status);
        if ((status = netInfo.GetAdaptersInfo(adapters)).IsFailed())
            return Traced(L"netInfo.GetAdaptersInfo()", status);
    }
    LANA_ENUM lanas{};
    if ((status = VLibNetbios::GetLanaInfo(lanas)).IsFailed())
        return Traced(L"VLibNetbios::GetLanaInfo()", status);

    for (UCHAR i = 0; i < lanas.length && !exists; ++i)
    {
        status = CStatus::Success();
        nb.Set(lanas.lana[i], _name);
        if ((status = nb.Reset()).IsFailed())
        {
            (void)Traced(L"nb.Reset()", status);
            continue;
        }
        BYTE address[6] = {};
        if ((status = nb.GetMAC(address)).IsFailed())
        {
            (void)Traced(L"nb.GetMAC()", status);
            continue;
        }
        bool qualifies = macAddress && std::memcmp(address, wanted, sizeof(address)) == 0;
        for (const IP_ADAPTER_INFO* adapter = adapters; !qualifies && adapter; adapter = adapter->Next)
            qualifies = std::memcmp(address, adapter->Address, sizeof(address)) == 0;
        if (!qualifies)
            continue;
        bool listed = false;
        const CStatus asked = nb.CheckForDuplicate(listed);
        if (asked.IsFailed())
            (void)Traced(L"nb.CheckForDuplicate()", asked);
        else if (listed)
            exists = true;
    }
    if (!exists)
    {
        VLIB_TRACE(L"Trying to resolve and ping IPv4 addresses for virtual name %s.", _name.c_str());
        (void)IsExistInNetworkByPinging(exists, AF_INET);
    }
    if (!exists)
    {
        VLIB_TRACE(L"Trying to resolve and ping IPv6 addresses for virtual name %s.", _name.c_str());
        (void)IsExistInNetworkByPinging(exists, AF_INET6);
    }
    if (!macAddress)
        (void)netInfo.Close();
    return status;
}

CStatus VLibVirtualName::IsExistInNetworkByPinging(bool& alive, int family) noexcept
{
    alive = false;
    std::unique_ptr<BYTE[]> buffer;
    ULONG size = 0;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int call = 0; call < kAddressListCalls; ++call)
    {
        result = KvEntry().GetAdaptersAddresses(family, kAddressFlags, nullptr,
                                                reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
        if (result != ERROR_BUFFER_OVERFLOW)
            break;
        size = std::max(size, kAddressBufferMinimum);
        buffer.reset(new (std::nothrow) BYTE[size]());
        if (!buffer)
            return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    if (result != ERROR_SUCCESS)
        return CStatus::Failure(CStatus::kWin32, result);
    const auto* ownAddresses = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get());

    const WORD type = family == AF_INET6 ? DNS_TYPE_AAAA : DNS_TYPE_A;
    DNS_RECORD* answered = nullptr;
    if (KvEntry().DnsQuery_W(_name.c_str(), type, kDnsOptions, nullptr, &answered, nullptr) != 0)
        return CStatus::Success();
    const std::unique_ptr<DNS_RECORD, DnsListFree> records(answered);

    VLibPinger pinger;
    for (const DNS_RECORD* record = records.get(); record; record = record->pNext)
    {
        if (record->wType != type || (record->Flags.S.Section != DnsSectionAnswer))
            continue;
        sockaddr_storage address{};
        if (family == AF_INET)
        {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
            v4->sin_family = AF_INET;
            v4->sin_addr.s_addr = record->Data.A.IpAddress;
        }
        else
        {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
            v6->sin6_family = AF_INET6;
            std::memcpy(&v6->sin6_addr, &record->Data.AAAA.Ip6Address, 16);
        }
        if (IsLocalAddress(family, reinterpret_cast<const sockaddr*>(&address), ownAddresses))
            continue;
        wchar_t text[kAddressText] = {};
        DWORD textLength = kAddressText;
        if (::WSAAddressToStringW(reinterpret_cast<sockaddr*>(&address), kSocketAddressLength, nullptr, text,
                                  &textLength) != 0)
            continue;
        VLIB_TRACE(L"Pinging %s to check if virtual name %s is alive.", text, _name.c_str());
        bool replied = false;
        const CStatus pinged = pinger.Ping(replied, text, kEchoTimeoutMs);
        if (pinged.IsFailed())
        {
            VLIB_TRACE(L"Pinging %s failed. [%d, %d]", text, static_cast<int>(pinged.GetCategory()),
                       static_cast<int>(pinged.GetCode()));
            continue;
        }
        if (replied)
        {
            VLIB_TRACE(L"%s is alive.", text);
            alive = true;
            break;
        }
    }
    return CStatus::Success();
}
