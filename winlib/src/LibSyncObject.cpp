// VLibSyncObject: see LibSyncObject.h.
#include "LibSyncObject.h"

#include "LibLogger.h"

CStatus VLibSyncObject::Wait(DWORD timeoutMs) noexcept
{
    CStatus status = CStatus::Success();
    const DWORD result = ::WaitForSingleObject(_handle, timeoutMs);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED)
        return status;

    const DWORD code = result == WAIT_TIMEOUT ? WAIT_TIMEOUT : ::GetLastError();
    status.Set(CStatus::kWin32, code);
    VLIB_TRACE(L"(%d) Wait operation has failed.", static_cast<int>(code));
    return status;
}

CStatus VLibSyncObject::Notify(uint32_t, uint64_t) noexcept
{
    CStatus status = CStatus::Success();
    return status;
}

CStatus VLibSyncObject::Release() noexcept
{
    CStatus status = CStatus::Success();
    return status;
}
