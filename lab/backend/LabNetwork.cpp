// KvLab network: see LabNetwork.h. Not built yet: a computer without network.
#include "LabNetwork.h"

namespace KvLab
{
UCHAR WINAPI Netbios(PNCB ncb)
{
    if (!ncb)
        return NRC_BADDR;
    if (ncb->ncb_command == NCBENUM && ncb->ncb_buffer && ncb->ncb_length >= sizeof(LANA_ENUM))
        reinterpret_cast<LANA_ENUM*>(ncb->ncb_buffer)->length = 0;
    ncb->ncb_retcode = ncb->ncb_command == NCBENUM ? NRC_GOODRET : NRC_BRIDGE;
    return ncb->ncb_retcode;
}

ULONG WINAPI GetAdaptersInfo(PIP_ADAPTER_INFO, PULONG)
{
    return ERROR_NO_DATA;
}

ULONG WINAPI GetAdaptersAddresses(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG)
{
    return ERROR_NO_DATA;
}

DNS_STATUS WINAPI DnsQuery_W(PCWSTR, WORD, DWORD, PIP4_ARRAY, PDNS_RECORD* results, PVOID*)
{
    if (results)
        *results = nullptr;
    return DNS_ERROR_RCODE_NAME_ERROR;
}

VOID WINAPI DnsFree(PVOID, DNS_FREE_TYPE)
{
}

HANDLE WINAPI IcmpCreateFile(VOID)
{
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
}

DWORD WINAPI IcmpSendEcho(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD)
{
    ::SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

BOOL WINAPI IcmpCloseHandle(HANDLE)
{
    ::SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

HANDLE WINAPI Icmp6CreateFile(VOID)
{
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
}

DWORD WINAPI Icmp6SendEcho2(HANDLE, HANDLE, KvIcmpApcRoutine, PVOID, struct sockaddr_in6*, struct sockaddr_in6*,
                            LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD)
{
    ::SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}

NTSTATUS NTAPI NtCreateFile(PHANDLE file, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER, ULONG,
                            ULONG, ULONG, ULONG, PVOID, ULONG)
{
    if (file)
        *file = nullptr;
    return static_cast<NTSTATUS>(0xC0000034L); // STATUS_OBJECT_NAME_NOT_FOUND
}

NTSTATUS NTAPI NtClose(HANDLE)
{
    return static_cast<NTSTATUS>(0xC0000008L); // STATUS_INVALID_HANDLE
}

BOOL WINAPI DeviceIoControl(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED)
{
    ::SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
} // namespace KvLab
