// VLibSCM: see LibSCM.h.
#include "LibSCM.h"

#include "EntryPoints.h"
#include "LibLogger.h"
#include "LibService.h"

#include <cassert>

namespace
{
// Key names from GetKeyName live on the process heap.
struct HeapText
{
    wchar_t* text = nullptr;
    ~HeapText()
    {
        if (text)
            ::HeapFree(::GetProcessHeap(), 0, text);
    }
};

} // namespace

VLibSCM::~VLibSCM()
{
    (void)VLibSCM::Close();
}

CStatus VLibSCM::Close() noexcept
{
    if (IsOpen())
    {
        (void)Unlock();
        ::CloseServiceHandle(GetManager());
        _handle = nullptr;
    }
    return CStatus::Success();
}

CStatus VLibSCM::Open(const wchar_t* machineName, DWORD access) noexcept
{
    CStatus status = CStatus::Success();
    (void)Close();
    SC_HANDLE manager = KvEntry().OpenSCManagerW(machineName, SERVICES_ACTIVE_DATABASEW, access);
    if (!manager)
    {
        status.Set(CStatus::kWin32, ::GetLastError());
        return status;
    }
    _handle = manager;
    return status;
}

CStatus VLibSCM::Unlock() noexcept
{
    assert(IsOpen());
    CStatus status = CStatus::Success();
    if (_lock)
    {
        if (!::UnlockServiceDatabase(_lock))
            status.Set(CStatus::kWin32, ::GetLastError());
        _lock = nullptr;
    }
    return status;
}

CStatus VLibSCM::OpenServiceW(const wchar_t* name, DWORD access, VLibService& service) noexcept
{
    assert(IsOpen());
    assert(name);
    CStatus status = service.Open(GetManager(), name, access);
    if (status.IsSuccess())
        return status;

    VLIB_TRACE(L"(%d) OpenService failed for %s, dwAccess=%d", static_cast<int>(status.GetCode()), name,
               static_cast<int>(access));
    if (status.GetCode() != ERROR_SERVICE_DOES_NOT_EXIST && status.GetCode() != ERROR_INVALID_NAME)
        return status;

    // The name may be a display name.
    HeapText keyName;
    status = GetKeyName(name, &keyName.text);
    if (status.IsFailed())
    {
        VLIB_TRACE(L"(%d) GetKeyName failed for %s", static_cast<int>(status.GetCode()), name);
        return status;
    }
    status = service.Open(GetManager(), keyName.text, access);
    if (status.IsFailed())
        VLIB_TRACE(L"(%d) Failed to open svc %s(%s), access=%d", static_cast<int>(status.GetCode()), name,
                   keyName.text, static_cast<int>(access));
    return status;
}

CStatus VLibSCM::GetKeyName(const wchar_t* displayName, wchar_t** keyName) noexcept
{
    assert(IsOpen());
    assert(displayName);
    assert(keyName);
    CStatus status = CStatus::Success();
    *keyName = nullptr;

    DWORD size = 0;
    if (KvEntry().GetServiceKeyNameW(GetManager(), displayName, nullptr, &size))
    {
        // Cannot succeed without a buffer; treat as "no such display name".
        status.Set(CStatus::kWin32, ERROR_SERVICE_DOES_NOT_EXIST);
        return status;
    }
    DWORD error = ::GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER)
    {
        status.Set(CStatus::kWin32, error);
        VLIB_TRACE(L"(%d) GetServiceKeyName failed. DispName=%s.", static_cast<int>(error), displayName);
        return status;
    }

    const DWORD characters = size + 1;
    HeapText buffer;
    buffer.text =
        static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, characters * sizeof(wchar_t)));
    if (!buffer.text)
    {
        error = ::GetLastError();
        status.Set(CStatus::kWin32, error);
        VLIB_TRACE(L"(%d) Failed to alloc mem. size=%d.", static_cast<int>(error),
                   static_cast<int>(characters * sizeof(wchar_t)));
        return status;
    }
    DWORD bufferSize = characters;
    if (!KvEntry().GetServiceKeyNameW(GetManager(), displayName, buffer.text, &bufferSize))
    {
        error = ::GetLastError();
        status.Set(CStatus::kWin32, error);
        VLIB_TRACE(L"(%d) GetServiceKeyName failed. DispName=%s.", static_cast<int>(error), displayName);
        return status;
    }
    *keyName = buffer.text;
    buffer.text = nullptr;
    return status;
}

CStatus VLibSCM::IsServiceInstalled(const wchar_t* name, bool& installed) noexcept
{
    assert(IsOpen());
    assert(name);
    installed = false;
    VLibService service;
    CStatus status = OpenServiceW(name, GENERIC_READ, service);
    if (status.IsSuccess())
    {
        installed = true;
        return status;
    }
    if (status.GetCategory() == CStatus::kWin32 && status.GetCode() == ERROR_SERVICE_DOES_NOT_EXIST)
    {
        status.SetSuccess();
        return status;
    }
    VLIB_TRACE(L"(%d) OpenService failed for '%s'", static_cast<int>(status.GetCode()), name);
    return status;
}
