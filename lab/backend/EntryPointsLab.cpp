// The lab backend: the node's surroundings simulated from the lab's registry,
// and the local calls forwarded to the real functions unless a fault is set.
#include "EntryPoints.h"

#include "LabCluster.h"
#include "LabDirectory.h"
#include "LabFaults.h"
#include "LabNetwork.h"
#include "LabNetworkStore.h"
#include "LabLocalNode.h"
#include "LabRegistryWatch.h"
#include "LabServiceConfig.h"
#include "LabState.h"
#include "UniqueResource.h"

#include <cstring>
#include <cwctype>
#include <map>
#include <mutex>

namespace KvLab
{
namespace
{
// Whether a lab node of that name exists and answers; read once per registry
// generation, as every registry access of the program connects first.
bool IsReachableNode(const std::wstring& node)
{
    static std::mutex lock;
    static uint64_t generation = 0;
    static std::map<std::wstring, bool> known;
    const uint64_t now = RegistryGeneration();
    std::lock_guard<std::mutex> guard(lock);
    if (now != generation)
    {
        known.clear();
        generation = now;
    }
    std::wstring folded = node;
    for (wchar_t& c : folded)
        c = static_cast<wchar_t>(::towlower(c));
    const auto found = known.find(folded);
    if (found != known.end())
        return found->second;
    unique_hkey nodeKey;
    const std::wstring nodePath = std::wstring(kNodesKey) + L"\\" + node;
    const bool reachable =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, nodePath.c_str(), 0, KEY_QUERY_VALUE, &nodeKey) == ERROR_SUCCESS &&
        ReadDword(nodeKey.get(), L"Unreachable").value_or(0) == 0;
    known.emplace(folded, reachable);
    return reachable;
}

// A computer's name without the leading "\\" a caller may give.
std::wstring NodeName(const wchar_t* machineName)
{
    return machineName[0] == L'\\' && machineName[1] == L'\\' ? machineName + 2 : machineName;
}

// The local computer's own registry is the real one; a lab node's is its
// subtree; anything else is a computer that cannot be reached.
LSTATUS WINAPI RegConnectRegistryW(LPCWSTR machineName, HKEY root, PHKEY result)
{
    if (const auto failed = TakeFailure<LSTATUS>(Entry::RegConnectRegistryW))
        return *failed;
    if (IsLocalComputer(machineName))
        return ::RegConnectRegistryW(nullptr, root, result);

    const std::wstring node = NodeName(machineName);
    if (!IsReachableNode(node))
        return ERROR_BAD_NETPATH;

    const std::wstring rootPath = NodeRootPath(node, root);
    if (rootPath.empty())
        return ERROR_INVALID_HANDLE;
    return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, rootPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, result,
                             nullptr);
}

// Directory objects come from the lab's domain; every bind is recorded.
HRESULT WINAPI ADsOpenObject(LPCWSTR pathName, LPCWSTR userName, LPCWSTR password, DWORD reserved, REFIID riid,
                             void** object)
{
    if (const auto failed = TakeFailure<HRESULT>(Entry::ADsOpenObject))
        return *failed;
    return OpenDirectoryObject(pathName, userName, password, reserved, riid, object);
}

// The lab's local node name, so that every operation, the log and the rename
// agree on one name.
BOOL WINAPI GetComputerNameW(LPWSTR buffer, LPDWORD size)
{
    if (const auto failed = TakeFailure<BOOL>(Entry::GetComputerNameW))
        return *failed;
    if (!size)
    {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::wstring name = LocalComputerName();
    if (!buffer || *size <= name.size())
    {
        *size = static_cast<DWORD>(name.size() + 1);
        ::SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    name.copy(buffer, name.size());
    buffer[name.size()] = L'\0';
    *size = static_cast<DWORD>(name.size());
    return TRUE;
}

// The lab's domain renames this node's computer account at once; the node
// takes the new name at its next simulated start. Another computer is not
// renamed from here: one that cannot be reached gives 53, as a remote call
// does; a lab node answers ERROR_NOT_SUPPORTED, as NetValidateName documents
// for a remote computer that does not support the call.
NET_API_STATUS WINAPI NetRenameMachineInDomain(LPCWSTR server, LPCWSTR newName, LPCWSTR, LPCWSTR, DWORD options)
{
    if (const auto failed = TakeFailure<NET_API_STATUS>(Entry::NetRenameMachineInDomain))
        return *failed;
    try
    {
        if (!IsLocalComputer(server))
            return IsReachableNode(NodeName(server)) ? ERROR_NOT_SUPPORTED : ERROR_BAD_NETPATH;
        return RenameLocalNode(newName, options);
    }
    catch (...)
    {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// Wine accepts every request and does nothing; the lab records the requests
// the node or a reachable lab node would take, for the lab's reboot to act on.
// The shutdown privilege is the caller's to enable and not checked here.
BOOL WINAPI InitiateSystemShutdownW(LPWSTR machineName, LPWSTR, DWORD timeout, BOOL force, BOOL reboot)
{
    if (const auto failed = TakeFailure<BOOL>(Entry::InitiateSystemShutdownW))
        return *failed;
    try
    {
        if (!IsLocalComputer(machineName) && !IsReachableNode(NodeName(machineName)))
        {
            ::SetLastError(ERROR_BAD_NETPATH);
            return FALSE;
        }
        if (RecordShutdownRequest({machineName ? machineName : L"", timeout, force != FALSE, reboot != FALSE}))
            return TRUE;
        ::SetLastError(ERROR_CANTWRITE);
    }
    catch (...)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return FALSE;
}

// A local entry: the real function, unless a fault is set for this call.
template <Entry entry, auto real> struct Forward;
template <Entry entry, typename Result, typename... Args, Result(WINAPI* real)(Args...)>
struct Forward<entry, real>
{
    static Result WINAPI Call(Args... args)
    {
        if (const auto failed = TakeFailure<Result>(entry))
            return *failed;
        return real(args...);
    }
};

// Remembers which service the handle stands for, for the record of its
// failure actions.
template <> struct Forward<Entry::OpenServiceW, &::OpenServiceW>
{
    static SC_HANDLE WINAPI Call(SC_HANDLE manager, LPCWSTR serviceName, DWORD access)
    {
        if (const auto failed = TakeFailure<SC_HANDLE>(Entry::OpenServiceW))
            return *failed;
        const SC_HANDLE service = ::OpenServiceW(manager, serviceName, access);
        if (service)
            RememberServiceName(service, serviceName);
        return service;
    }
};

// Wine accepts failure actions and stores nothing: the lab records them.
template <> struct Forward<Entry::ChangeServiceConfig2W, &::ChangeServiceConfig2W>
{
    static BOOL WINAPI Call(SC_HANDLE service, DWORD infoLevel, LPVOID info)
    {
        if (const auto failed = TakeFailure<BOOL>(Entry::ChangeServiceConfig2W))
            return *failed;
        if (!::ChangeServiceConfig2W(service, infoLevel, info))
            return FALSE;
        if (infoLevel == SERVICE_CONFIG_FAILURE_ACTIONS && info)
            RecordFailureActions(service, *static_cast<const SERVICE_FAILURE_ACTIONSW*>(info));
        return TRUE;
    }
};

// The process is real; the lab records what was started, for a test to check
// the command and to end the process it caused.
template <> struct Forward<Entry::CreateProcessW, &::CreateProcessW>
{
    static BOOL WINAPI Call(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                            LPSECURITY_ATTRIBUTES threadSecurity, BOOL inheritHandles, DWORD flags, LPVOID environment,
                            LPCWSTR directory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION process)
    {
        if (const auto failed = TakeFailure<BOOL>(Entry::CreateProcessW))
            return *failed;
        // CreateProcessW may write into the command line: keep it as given.
        LabStartedProcess record;
        try
        {
            record.commandLine = commandLine ? commandLine : L"";
        }
        catch (...)
        {
        }
        if (!::CreateProcessW(application, commandLine, processSecurity, threadSecurity, inheritHandles, flags,
                              environment, directory, startup, process))
            return FALSE;
        record.processId = process->dwProcessId;
        try
        {
            (void)RecordStartedProcess(record);
        }
        catch (...)
        {
        }
        return TRUE;
    }
};

// A fault of ERROR_INSUFFICIENT_BUFFER is a program whose path is too long
// for the buffer: its own folder, then a name that does not fit, cut as
// Windows cuts it (size - 1 characters, the terminator, size returned).
template <> struct Forward<Entry::GetModuleFileNameW, &::GetModuleFileNameW>
{
    static DWORD WINAPI Call(HMODULE module, LPWSTR fileName, DWORD size)
    {
        const std::optional<DWORD> fault = TakeFault(Entry::GetModuleFileNameW);
        if (!fault)
            return ::GetModuleFileNameW(module, fileName, size);
        if (*fault != ERROR_INSUFFICIENT_BUFFER || size == 0)
        {
            ::SetLastError(*fault);
            return 0;
        }
        wchar_t real[MAX_PATH] = {};
        const DWORD length = ::GetModuleFileNameW(module, real, MAX_PATH);
        std::wstring path(real, length);
        path.resize(path.find_last_of(L'\\') + 1);
        path.append(size, L'n');
        path.copy(fileName, size - 1);
        fileName[size - 1] = L'\0';
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
};

// Wine looks privileges up only by its own computer name (1722 for any
// other). The lab's name for this computer is this computer too, and a lab
// node, a Windows computer like this one, knows the same privileges; a
// computer that cannot be reached is not asked.
template <> struct Forward<Entry::LookupPrivilegeValueW, &::LookupPrivilegeValueW>
{
    static BOOL WINAPI Call(LPCWSTR systemName, LPCWSTR name, PLUID luid)
    {
        if (const auto failed = TakeFailure<BOOL>(Entry::LookupPrivilegeValueW))
            return *failed;
        bool simulated = false;
        try
        {
            std::wstring node = systemName ? systemName : L"";
            if (node.compare(0, 2, L"\\\\") == 0)
                node.erase(0, 2);
            simulated = IsLocalComputer(systemName) || IsReachableNode(node);
        }
        catch (...)
        {
        }
        return ::LookupPrivilegeValueW(simulated ? nullptr : systemName, name, luid);
    }
};

// Wine's IP Helper lacks entry points that every Windows from 6.0 on has; the
// program only resolves them (none is called), so the lab answers for them
// with a stand-in that refuses, as a computer of that version would hold them.
INT_PTR WINAPI IpHelperStandIn()
{
    return ERROR_NOT_SUPPORTED;
}

template <> struct Forward<Entry::GetProcAddress, &::GetProcAddress>
{
    static FARPROC WINAPI Call(HMODULE module, LPCSTR name)
    {
        if (const auto failed = TakeFailure<FARPROC>(Entry::GetProcAddress))
            return *failed;
        if (const FARPROC found = ::GetProcAddress(module, name))
            return found;
        const DWORD error = ::GetLastError();
        static const HMODULE ipHelper = ::GetModuleHandleW(L"iphlpapi.dll");
        const bool byName = reinterpret_cast<ULONG_PTR>(name) > 0xFFFF;
        if (module && module == ipHelper && byName)
            for (const char* known : {"ConvertIpv4MaskToLength", "InitializeUnicastIpAddressEntry",
                                      "CreateUnicastIpAddressEntry", "DeleteUnicastIpAddressEntry"})
                if (std::strcmp(name, known) == 0)
                    return &IpHelperStandIn;
        ::SetLastError(error);
        return nullptr;
    }
};

// Wine's manager refuses a control the service does not accept with 1052
// even while the service's start or stop is pending; Windows then answers
// 1061, with the service's status.
template <> struct Forward<Entry::ControlService, &::ControlService>
{
    static BOOL WINAPI Call(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status)
    {
        if (const auto failed = TakeFailure<BOOL>(Entry::ControlService))
            return *failed;
        if (::ControlService(service, control, status))
            return TRUE;
        const DWORD error = ::GetLastError();
        SERVICE_STATUS now{};
        if (error == ERROR_INVALID_SERVICE_CONTROL && ::QueryServiceStatus(service, &now) &&
            (now.dwCurrentState == SERVICE_START_PENDING || now.dwCurrentState == SERVICE_STOP_PENDING))
        {
            if (status)
                *status = now;
            ::SetLastError(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
            return FALSE;
        }
        ::SetLastError(error);
        return FALSE;
    }
};
// The name check's calls: the lab's network, or this computer's real one
// when the lab's network says so (scripts/lab --real-network, and the tests
// that hold the lab against real servers). The real network takes no lab
// faults: it fails as it fails.
#define KV_LAB_REAL_NETWORK_ENTRIES(X)                                                                                 \
    X(Netbios)                                                                                                         \
    X(GetAdaptersInfo)                                                                                                 \
    X(GetAdaptersAddresses)                                                                                            \
    X(DnsQuery_W)                                                                                                      \
    X(DnsFree)                                                                                                         \
    X(IcmpCreateFile)                                                                                                  \
    X(IcmpSendEcho)                                                                                                    \
    X(IcmpCloseHandle)                                                                                                 \
    X(Icmp6CreateFile)                                                                                                 \
    X(Icmp6SendEcho2)

template <auto lab, auto real> struct OnEitherNetwork;
template <typename Result, typename... Args, Result(WINAPI* lab)(Args...), Result(WINAPI* real)(Args...)>
struct OnEitherNetwork<lab, real>
{
    static Result WINAPI Call(Args... args)
    {
        return Network()->real ? real(args...) : lab(args...);
    }
};
} // namespace
} // namespace KvLab

const KvEntryPointTable& KvEntry() noexcept
{
    static const KvEntryPointTable table = [] {
        KvEntryPointTable lab = {
#define KV_LAB_SIMULATED(name, result, params, failsBy) &KvLab::name,
#define KV_LAB_LOCAL(name, result, params, failsBy) &KvLab::Forward<KvLab::Entry::name, &::name>::Call,
            KV_SIMULATED_ENTRY_POINTS(KV_LAB_SIMULATED) KV_CLUSTER_ENTRY_POINTS(KV_LAB_SIMULATED)
                KV_LOCAL_ENTRY_POINTS(KV_LAB_LOCAL)
#undef KV_LAB_LOCAL
#undef KV_LAB_SIMULATED
        };
#define KV_LAB_EITHER(name) lab.name = &KvLab::OnEitherNetwork<&KvLab::name, &::name>::Call;
        KV_LAB_REAL_NETWORK_ENTRIES(KV_LAB_EITHER)
#undef KV_LAB_EITHER
        return lab;
    }();
    return table;
}
