// VLibMutex: see LibMutex.h.
#include "LibMutex.h"

#include "LibLogger.h"

VLibMutex::VLibMutex(bool initialOwner, const wchar_t* name, bool* alreadyExists,
                     SECURITY_ATTRIBUTES* security) noexcept
{
    (void)Create(initialOwner, name, alreadyExists, security);
}

VLibMutex::~VLibMutex()
{
    (void)VLibMutex::Close();
}

CStatus VLibMutex::Close() noexcept
{
    if (IsOpen())
        _name.clear();
    return VLibSyncObject::Close();
}

HANDLE VLibMutex::Detach() noexcept
{
    _name.clear();
    return VLibSyncObject::Detach();
}

CStatus VLibMutex::Create(bool initialOwner, const wchar_t* name, bool* alreadyExists,
                          SECURITY_ATTRIBUTES* security) noexcept
{
    CStatus status = CStatus::Success();
    (void)Close();

    HANDLE handle = ::CreateMutexW(security, initialOwner ? TRUE : FALSE, name);
    const DWORD error = ::GetLastError();
    if (!handle)
    {
        status.Set(CStatus::kWin32, error);
        VLIB_TRACE(L"(%d) CreateMutex failed. Name=%s", static_cast<int>(error), name ? name : L"");
        return status;
    }
    _handle = handle;
    if (alreadyExists && error == ERROR_ALREADY_EXISTS)
        *alreadyExists = true;
    if (name)
    {
        try
        {
            _name = name;
        }
        catch (...)
        {
            // The mutex works without its name; the name is only for traces.
        }
    }
    return status;
}

CStatus VLibMutex::Release() noexcept
{
    CStatus status = CStatus::Success();
    if (!::ReleaseMutex(_handle))
    {
        const DWORD error = ::GetLastError();
        status.Set(CStatus::kWin32, error);
        VLIB_TRACE(L"(%d) ReleaseMutex failed. Name=%s", static_cast<int>(error), _name.c_str());
    }
    return status;
}
