// The lab's network: NetBIOS, the adapter lists, DNS, echo requests and the
// NetBT device, answered from the lab registry (layout in LabNetworkStore.h).
// One file each: LabNetbios, LabIpHelper, LabDns, LabIcmp, LabNetbtDevice.
#pragma once

#include "EntryPoints.h"

namespace KvLab
{
UCHAR WINAPI Netbios(PNCB ncb);
ULONG WINAPI GetAdaptersInfo(PIP_ADAPTER_INFO adapters, PULONG size);
ULONG WINAPI GetAdaptersAddresses(ULONG family, ULONG flags, PVOID reserved, PIP_ADAPTER_ADDRESSES addresses,
                                  PULONG size);
DNS_STATUS WINAPI DnsQuery_W(PCWSTR name, WORD type, DWORD options, PIP4_ARRAY servers, PDNS_RECORD* results,
                             PVOID* reserved);
VOID WINAPI DnsFree(PVOID data, DNS_FREE_TYPE freeType);
HANDLE WINAPI IcmpCreateFile(VOID);
DWORD WINAPI IcmpSendEcho(HANDLE icmp, IPAddr destination, LPVOID requestData, WORD requestSize,
                          PIP_OPTION_INFORMATION options, LPVOID replyBuffer, DWORD replySize, DWORD timeout);
BOOL WINAPI IcmpCloseHandle(HANDLE icmp);
HANDLE WINAPI Icmp6CreateFile(VOID);
DWORD WINAPI Icmp6SendEcho2(HANDLE icmp, HANDLE event, KvIcmpApcRoutine apcRoutine, PVOID apcContext,
                            struct sockaddr_in6* source, struct sockaddr_in6* destination, LPVOID requestData,
                            WORD requestSize, PIP_OPTION_INFORMATION options, LPVOID replyBuffer, DWORD replySize,
                            DWORD timeout);
NTSTATUS NTAPI NtCreateFile(PHANDLE file, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes,
                            PIO_STATUS_BLOCK ioStatus, PLARGE_INTEGER allocationSize, ULONG fileAttributes,
                            ULONG shareAccess, ULONG disposition, ULONG options, PVOID eaBuffer, ULONG eaLength);
NTSTATUS NTAPI NtClose(HANDLE handle);
BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputSize, LPVOID output,
                            DWORD outputSize, LPDWORD returned, LPOVERLAPPED overlapped);

// DNS answers handed out and not yet freed.
long NetworkLiveResults() noexcept;
} // namespace KvLab
