// The calls that reach beyond this computer or change its identity, and the
// local calls whose failures the program must handle but Wine cannot provoke
// on demand. Code makes them only through this table; the program links the
// system backend (the real functions), the lab edition and the tests link the
// lab backend. Adding an entry is one line here: a simulated entry also needs
// a function of the same name in the lab backend, a local one does not (the
// lab forwards it to the real function unless a fault is set).
#pragma once

#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <lmcons.h>
#include <process.h>
#include <nb30.h>
#include <windns.h>
#include <winsvc.h>
#include <winternl.h>

#include "qlxapi.h"

// How an entry reports a failure, so a lab fault fails it in its own terms:
// KvFailsBy::LastError  FALSE or null, the error in GetLastError
// KvFailsBy::Code       returns the error (LSTATUS)
// KvFailsBy::HResult    returns the error as an HRESULT
// KvFailsBy::Cluster    non-zero or null, the error in QLXApiGetLastError
// KvFailsBy::NcbCode    the NetBIOS return code, in the control block and returned
enum class KvFailsBy
{
    LastError,
    Code,
    HResult,
    Cluster,
    NcbCode
};

// The completion routine of an ICMPv6 echo, as this SDK's icmpapi.h declares it.
#ifdef PIO_APC_ROUTINE_DEFINED
using KvIcmpApcRoutine = PIO_APC_ROUTINE;
#else
using KvIcmpApcRoutine = FARPROC;
#endif

// X(name, return type, parameter list, failure kind)
// Simulated by the lab: what lies beyond this computer.
#define KV_SIMULATED_ENTRY_POINTS(X)                                                                                   \
    X(RegConnectRegistryW, LSTATUS, (LPCWSTR machineName, HKEY root, PHKEY result), Code)                              \
    X(ADsOpenObject, HRESULT,                                                                                          \
      (LPCWSTR pathName, LPCWSTR userName, LPCWSTR password, DWORD reserved, REFIID riid, void** object), HResult)    \
    X(GetComputerNameW, BOOL, (LPWSTR buffer, LPDWORD size), LastError)                                                \
    X(NetRenameMachineInDomain, NET_API_STATUS,                                                                        \
      (LPCWSTR server, LPCWSTR newName, LPCWSTR account, LPCWSTR password, DWORD options), Code)                       \
    X(InitiateSystemShutdownW, BOOL, (LPWSTR machineName, LPWSTR message, DWORD timeout, BOOL force, BOOL reboot),    \
      LastError)                                                                                                       \
    X(Netbios, UCHAR, (PNCB ncb), NcbCode)                                                                             \
    X(GetAdaptersInfo, ULONG, (PIP_ADAPTER_INFO adapters, PULONG size), Code)                                          \
    X(GetAdaptersAddresses, ULONG,                                                                                     \
      (ULONG family, ULONG flags, PVOID reserved, PIP_ADAPTER_ADDRESSES addresses, PULONG size), Code)                \
    X(DnsQuery_W, DNS_STATUS,                                                                                          \
      (PCWSTR name, WORD type, DWORD options, PIP4_ARRAY servers, PDNS_RECORD* results, PVOID* reserved), Code)       \
    X(DnsFree, VOID, (PVOID data, DNS_FREE_TYPE freeType), Code)                                                       \
    X(IcmpCreateFile, HANDLE, (VOID), LastError)                                                                       \
    X(IcmpSendEcho, DWORD,                                                                                             \
      (HANDLE icmp, IPAddr destination, LPVOID requestData, WORD requestSize, PIP_OPTION_INFORMATION options,         \
       LPVOID replyBuffer, DWORD replySize, DWORD timeout),                                                            \
      LastError)                                                                                                       \
    X(IcmpCloseHandle, BOOL, (HANDLE icmp), LastError)                                                                 \
    X(Icmp6CreateFile, HANDLE, (VOID), LastError)                                                                      \
    X(Icmp6SendEcho2, DWORD,                                                                                           \
      (HANDLE icmp, HANDLE event, KvIcmpApcRoutine apcRoutine, PVOID apcContext, struct sockaddr_in6* source,         \
       struct sockaddr_in6* destination, LPVOID requestData, WORD requestSize, PIP_OPTION_INFORMATION options,        \
       LPVOID replyBuffer, DWORD replySize, DWORD timeout),                                                            \
      LastError)                                                                                                       \
    X(NtCreateFile, NTSTATUS,                                                                                          \
      (PHANDLE file, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK ioStatus,                    \
       PLARGE_INTEGER allocationSize, ULONG fileAttributes, ULONG shareAccess, ULONG disposition, ULONG options,       \
       PVOID eaBuffer, ULONG eaLength),                                                                                \
      Code)                                                                                                            \
    X(NtClose, NTSTATUS, (HANDLE handle), Code)                                                                        \
    X(DeviceIoControl, BOOL,                                                                                           \
      (HANDLE device, DWORD code, LPVOID input, DWORD inputSize, LPVOID output, DWORD outputSize, LPDWORD returned,   \
       LPOVERLAPPED overlapped),                                                                                       \
      LastError)

// Real in the lab too, unless a fault is set.
#define KV_LOCAL_ENTRY_POINTS(X)                                                                                       \
    X(OpenSCManagerW, SC_HANDLE, (LPCWSTR machineName, LPCWSTR databaseName, DWORD access), LastError)                 \
    X(OpenServiceW, SC_HANDLE, (SC_HANDLE manager, LPCWSTR serviceName, DWORD access), LastError)                      \
    X(QueryServiceStatus, BOOL, (SC_HANDLE service, LPSERVICE_STATUS status), LastError)                               \
    X(StartServiceW, BOOL, (SC_HANDLE service, DWORD argc, LPCWSTR* argv), LastError)                                  \
    X(ControlService, BOOL, (SC_HANDLE service, DWORD control, LPSERVICE_STATUS status), LastError)                    \
    X(GetServiceKeyNameW, BOOL, (SC_HANDLE manager, LPCWSTR displayName, LPWSTR keyName, LPDWORD size), LastError)    \
    X(RegOpenKeyExW, LSTATUS, (HKEY key, LPCWSTR subkey, DWORD options, REGSAM access, PHKEY result), Code)            \
    X(RegCreateKeyExW, LSTATUS,                                                                                        \
      (HKEY key, LPCWSTR subkey, DWORD reserved, LPWSTR className, DWORD options, REGSAM access,                       \
       LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition),                                             \
      Code)                                                                                                            \
    X(RegQueryValueExW, LSTATUS,                                                                                       \
      (HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size), Code)                  \
    X(RegSetValueExW, LSTATUS,                                                                                         \
      (HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size), Code)                   \
    X(RegDeleteTreeW, LSTATUS, (HKEY key, LPCWSTR subkey), Code)                                                       \
    X(RegDeleteValueW, LSTATUS, (HKEY key, LPCWSTR valueName), Code)                                                   \
    X(RegEnumKeyExW, LSTATUS,                                                                                          \
      (HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved, LPWSTR className,                     \
       LPDWORD classLength, PFILETIME lastWrite),                                                                      \
      Code)                                                                                                            \
    X(RegEnumValueW, LSTATUS,                                                                                          \
      (HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved, LPDWORD type, LPBYTE data,            \
       LPDWORD size),                                                                                                  \
      Code)                                                                                                            \
    X(CreateProcessW, BOOL,                                                                                            \
      (LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,                                 \
       LPSECURITY_ATTRIBUTES threadSecurity, BOOL inheritHandles, DWORD flags, LPVOID environment,                     \
       LPCWSTR directory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION process),                                      \
      LastError)                                                                                                       \
    X(ChangeServiceConfigW, BOOL,                                                                                      \
      (SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl, LPCWSTR binaryPath,                  \
       LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies, LPCWSTR account, LPCWSTR password,                 \
       LPCWSTR displayName),                                                                                           \
      LastError)                                                                                                       \
    X(ChangeServiceConfig2W, BOOL, (SC_HANDLE service, DWORD infoLevel, LPVOID info), LastError)                       \
    X(OpenProcessToken, BOOL, (HANDLE process, DWORD access, PHANDLE token), LastError)                                \
    X(GetModuleFileNameW, DWORD, (HMODULE module, LPWSTR fileName, DWORD size), LastError)                             \
    X(_beginthreadex, uintptr_t,                                                                                       \
      (void* security, unsigned stackSize, _beginthreadex_proc_type start, void* argument, unsigned flags,            \
       unsigned* threadId),                                                                                            \
      LastError)                                                                                                       \
    X(GetProcAddress, FARPROC, (HMODULE module, LPCSTR name), LastError)                                               \
    X(LookupPrivilegeValueW, BOOL, (LPCWSTR systemName, LPCWSTR name, PLUID luid), LastError)                         \
    X(AdjustTokenPrivileges, BOOL,                                                                                     \
      (HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD length, PTOKEN_PRIVILEGES previousState,      \
       PDWORD returnLength),                                                                                           \
      LastError)

// The cluster client library, simulated by the lab. The system backend loads
// it at run time, so a computer without it still starts the wizard.
#define KV_CLUSTER_ENTRY_POINTS(X)                                                                                     \
    X(QLXFillCntlInfo, int, (uint32_t version, uint32_t flags, uint32_t reserved, QLXCntlInfo** cntlInfo), Cluster)   \
    X(QLXApiInit, int, (uint32_t flags, QLXCntlInfo* cntlInfo), Cluster)                                              \
    X(QLXFreeCntlInfo, void, (QLXCntlInfo** cntlInfo), Cluster)                                                       \
    X(QLXClusterOpenLocal, QLXHANDLE, (uint32_t systems, uint32_t flags), Cluster)                                     \
    X(QLXObjGetNames, int,                                                                                             \
      (QLXHANDLE cluster, uint32_t kind, uint32_t flags, QLXNames** names, const QLXNamesFilter* filter), Cluster)   \
    X(QLXObjGetAttribute, int,                                                                                         \
      (QLXHANDLE cluster, uint32_t kind, const char* objectName, const char* attributeName, uint32_t flags,           \
       QLXAttr** attribute, uint32_t reserved),                                                                        \
      Cluster)                                                                                                         \
    X(QLXAttrGetStr, int, (const QLXAttr* attribute, const char* key, uint32_t flags, char** text, uint32_t reserved), \
      Cluster)                                                                                                         \
    X(QLXObjGetState, int,                                                                                             \
      (QLXHANDLE cluster, uint32_t kind, const char* objectName, const char* system, QLXStates** states,              \
       const QLXStateFilter* filter),                                                                                  \
      Cluster)                                                                                                         \
    X(QLXResGetGrpName, int, (QLXHANDLE cluster, const char* resourceName, char** groupName, uint32_t flags),         \
      Cluster)                                                                                                         \
    X(QLXGrpOffline, int,                                                                                              \
      (QLXHANDLE cluster, const char* groupName, const char* system, uint32_t options, uint32_t reserved), Cluster)   \
    X(QLXApiGetLastError, QLXError, (void), Cluster)                                                                   \
    X(QLXFreeObjNames, void, (QLXNames** names), Cluster)                                                             \
    X(QLXFreeAttr, void, (QLXAttr** attribute), Cluster)                                                              \
    X(QLXFreeStr, void, (char** text), Cluster)                                                                        \
    X(QLXFreeObjState, void, (QLXStates** states), Cluster)

#define KV_ENTRY_POINTS(X)                                                                                             \
    KV_SIMULATED_ENTRY_POINTS(X)                                                                                       \
    KV_CLUSTER_ENTRY_POINTS(X)                                                                                         \
    KV_LOCAL_ENTRY_POINTS(X)

struct KvEntryPointTable
{
#define KV_ENTRY_FIELD(name, result, params, failsBy) result(WINAPI* name) params;
    KV_ENTRY_POINTS(KV_ENTRY_FIELD)
#undef KV_ENTRY_FIELD
};

// The table of this build.
const KvEntryPointTable& KvEntry() noexcept;
