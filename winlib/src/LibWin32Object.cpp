// VLibWin32Object: see LibWin32Object.h.
#include "LibWin32Object.h"

#include "LibLogger.h"

VLibWin32Object::~VLibWin32Object()
{
    (void)VLibWin32Object::Close();
}

bool VLibWin32Object::IsOpen() const noexcept
{
    return _handle != nullptr && _handle != INVALID_HANDLE_VALUE;
}

CStatus VLibWin32Object::Close() noexcept
{
    CStatus status = CStatus::Success();
    if (IsOpen() && !::CloseHandle(_handle))
    {
        const DWORD error = ::GetLastError();
        VLIB_TRACE(L"Failed to close handle. Error=%d.", static_cast<int>(error));
    }
    _handle = nullptr;
    return status;
}

CStatus VLibWin32Object::Attach(HANDLE handle) noexcept
{
    (void)Close();
    _handle = handle;
    CStatus status = CStatus::Success();
    return status;
}

HANDLE VLibWin32Object::Detach() noexcept
{
    HANDLE handle = _handle;
    _handle = nullptr;
    return handle;
}
