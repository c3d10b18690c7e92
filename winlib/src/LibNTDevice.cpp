// VLibNTDevice and VLibNetbiosInterface: see LibNTDevice.h.
#include "LibNTDevice.h"

#include "EntryPoints.h"
#include "LibLogger.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace
{
constexpr ACCESS_MASK kInterfaceAccess = 0x00100003; // synchronise, read data, write data
constexpr ULONG kNormal = 0x80;
constexpr ULONG kShareReadWrite = 3;
constexpr ULONG kOpenExisting = 3;
constexpr size_t kNameOffset = 12;
constexpr DWORD kNameBytes = 76;

CStatus Traced(const wchar_t* step, const CStatus& status) noexcept
{
    VLIB_TRACE(L"%s returned %d, 0x%.08X", step, static_cast<int>(status.GetCategory()), status.GetCode());
    return status;
}
} // namespace

VLibNTDevice::VLibNTDevice(std::wstring deviceName) noexcept
    : _deviceName(std::move(deviceName)), _valid(!_deviceName.empty())
{
}

VLibNTDevice::~VLibNTDevice()
{
    (void)Close();
}

CStatus VLibNTDevice::_NotOpen() const noexcept
{
    return CStatus::Failure(CStatus::kWin32, _valid ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
}

CStatus VLibNTDevice::Open(ACCESS_MASK access, ULONG attributes, ULONG shareAccess, ULONG disposition, ULONG options,
                           void* extendedAttributes, ULONG extendedLength) noexcept
{
    if (_open)
    {
        VLIB_TRACE(L"Device (%s) is already open, so closing before opening again.", _deviceName.c_str());
        (void)Close();
    }
    UNICODE_STRING path{};
    path.Buffer = const_cast<wchar_t*>(_deviceName.c_str());
    path.Length = static_cast<USHORT>(_deviceName.size() * sizeof(wchar_t));
    path.MaximumLength = path.Length;
    OBJECT_ATTRIBUTES object{};
    InitializeObjectAttributes(&object, &path, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    const NTSTATUS status = KvEntry().NtCreateFile(&handle, access, &object, &io, nullptr, attributes, shareAccess,
                                                   disposition, options, extendedAttributes, extendedLength);
    if (status < 0)
    {
        const ULONG error = ::RtlNtStatusToDosError(status);
        VLIB_TRACE(L"NtCreateFile(%s) returned 0x%.08X", _deviceName.c_str(), static_cast<unsigned>(error));
        return CStatus::Failure(CStatus::kWin32, error);
    }
    if (!handle || handle == INVALID_HANDLE_VALUE)
    {
        VLIB_TRACE(L"NtCreateFile(%s) returned invalid handle (0x%.08X)", _deviceName.c_str(),
                   static_cast<unsigned>(reinterpret_cast<uintptr_t>(handle)));
        return CStatus::Failure(CStatus::kWin32, ERROR_INVALID_HANDLE);
    }
    _handle = handle;
    _open = true;
    return CStatus::Success();
}

CStatus VLibNTDevice::Close() noexcept
{
    if (!_open)
        return _NotOpen();
    const NTSTATUS status = KvEntry().NtClose(_handle);
    if (status < 0)
        (void)Traced(L"NtDll.NtClose()", CStatus::Failure(CStatus::kWin32, ::RtlNtStatusToDosError(status)));
    _handle = nullptr;
    _open = false;
    return CStatus::Success();
}

CStatus VLibNTDevice::Ioctl(DWORD code, void* input, DWORD inputLength, void* output, DWORD outputLength) noexcept
{
    if (!_open)
        return _NotOpen();
    DWORD returned = 0;
    if (KvEntry().DeviceIoControl(_handle, code, input, inputLength, output, outputLength, &returned, nullptr))
        return CStatus::Success();
    const DWORD error = ::GetLastError();
    if (error != ERROR_MORE_DATA)
        VLIB_TRACE(L"DeviceIoControl(0x%.08X, 0x%.08X, 0x%.08X, 0x%.08X, 0x%.08X, 0x%.08X) returned 0x%.08X",
                   static_cast<unsigned>(code), static_cast<unsigned>(reinterpret_cast<uintptr_t>(input)),
                   static_cast<unsigned>(inputLength), static_cast<unsigned>(reinterpret_cast<uintptr_t>(output)),
                   static_cast<unsigned>(outputLength), static_cast<unsigned>(returned), static_cast<unsigned>(error));
    return CStatus::Failure(CStatus::kWin32, error);
}

CStatus VLibNetbiosInterface::Destroy() noexcept
{
    CStatus status = CStatus::Success();
    if (!IsOpen())
    {
        status = Open(kInterfaceAccess, kNormal, kShareReadWrite, kOpenExisting, 0, nullptr, 0);
        if (status.IsFailed())
            (void)Traced(L"Open()", status);
    }
    if (status.IsSuccess())
    {
        // 8 zero bytes, the name's room (76) as a 32-bit field, then the name in UTF-16.
        std::unique_ptr<BYTE[]> request(new (std::nothrow) BYTE[kRequestLength]());
        if (!request)
            status = CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
        else
        {
            std::memcpy(request.get() + 8, &kNameBytes, sizeof(kNameBytes));
            const size_t nameBytes = std::min<size_t>(DeviceName().size() * sizeof(wchar_t), kNameBytes);
            std::memcpy(request.get() + kNameOffset, DeviceName().data(), nameBytes);
            status = Ioctl(kDeleteInterface, request.get(), kRequestLength, nullptr, 0);
            if (status.IsFailed())
                (void)Traced(L"Ioctl(IOCTL_VLIB_NETBIOS_IF_DELETE)", status);
        }
    }
    (void)Close();
    return status;
}
