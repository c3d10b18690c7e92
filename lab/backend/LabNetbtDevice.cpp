// The lab's NetBT devices: "\Device\NetBt_If<n>" opens when the lab's network
// has that interface (layout in LabNetworkStore.h); every request to an open
// device is recorded and succeeds with nothing returned.
#include "LabNetwork.h"

#include "LabFaults.h"
#include "LabNetworkHandles.h"
#include "LabNetworkStore.h"
#include "LabState.h"

namespace KvLab
{
namespace
{
constexpr NTSTATUS kStatusInvalidHandle = static_cast<NTSTATUS>(0xC0000008L);
constexpr NTSTATUS kStatusInvalidParameter = static_cast<NTSTATUS>(0xC000000DL);
constexpr NTSTATUS kStatusNoMemory = static_cast<NTSTATUS>(0xC0000017L);
constexpr NTSTATUS kStatusObjectNameNotFound = static_cast<NTSTATUS>(0xC0000034L);
constexpr NTSTATUS kStatusObjectNameCollision = static_cast<NTSTATUS>(0xC0000035L);
constexpr NTSTATUS kStatusAccessDenied = static_cast<NTSTATUS>(0xC0000022L);
// Dispositions (FILE_OPEN, FILE_CREATE, FILE_OPEN_IF): a device can only be opened.
constexpr ULONG kFileOpen = 1, kFileCreate = 2, kFileOpenIf = 3;
// A device is no directory: opening it as one fails, as NT refuses it.
constexpr ULONG kFileDirectoryFile = 0x1;
constexpr NTSTATUS kStatusNotADirectory = static_cast<NTSTATUS>(0xC0000103L);
} // namespace

NTSTATUS NTAPI NtCreateFile(PHANDLE file, ACCESS_MASK, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK ioStatus,
                            PLARGE_INTEGER, ULONG, ULONG, ULONG disposition, ULONG options, PVOID, ULONG)
{
    if (const auto failed = TakeFailure<NTSTATUS>(Entry::NtCreateFile))
        return *failed;
    if (!file || !attributes || !attributes->ObjectName || !ioStatus)
        return kStatusInvalidParameter;
    try
    {
        const UNICODE_STRING& name = *attributes->ObjectName;
        const std::wstring path = name.Buffer ? std::wstring(name.Buffer, name.Length / sizeof(wchar_t)) : L"";
        for (const std::wstring& device : Network()->netbtInterfaces)
        {
            if (!SameText(device, path))
                continue;
            if (disposition != kFileOpen && disposition != kFileOpenIf)
                return disposition == kFileCreate ? kStatusObjectNameCollision : kStatusAccessDenied;
            if (options & kFileDirectoryFile)
                return kStatusNotADirectory;
            const HANDLE handle = OpenLabHandle({LabHandleKind::NetbtDevice, device});
            if (!handle)
                return kStatusNoMemory;
            *file = handle;
            ioStatus->Status = 0;
            ioStatus->Information = FILE_OPENED;
            return 0;
        }
        return kStatusObjectNameNotFound;
    }
    catch (...)
    {
        return kStatusNoMemory;
    }
}

NTSTATUS NTAPI NtClose(HANDLE handle)
{
    if (const auto failed = TakeFailure<NTSTATUS>(Entry::NtClose))
        return *failed;
    return CloseLabHandle(handle, {LabHandleKind::NetbtDevice}) ? 0 : kStatusInvalidHandle;
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputSize, LPVOID, DWORD outputSize,
                            LPDWORD returned, LPOVERLAPPED)
{
    if (const auto failed = TakeFailure<BOOL>(Entry::DeviceIoControl))
        return *failed;
    try
    {
        const auto handle = FindLabHandle(device);
        if (!handle || handle->kind != LabHandleKind::NetbtDevice)
        {
            ::SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        const auto* bytes = static_cast<const BYTE*>(input);
        if (!RecordDeviceRequest({handle->device, code,
                                  input ? std::vector<BYTE>(bytes, bytes + inputSize) : std::vector<BYTE>(),
                                  outputSize}))
        {
            ::SetLastError(ERROR_CANTWRITE);
            return FALSE;
        }
        if (returned)
            *returned = 0;
        return TRUE;
    }
    catch (...)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}
} // namespace KvLab
