// VLibSingleLock: see LibSingleLock.h.
#include "LibSingleLock.h"

#include "LibLogger.h"

#include <cassert>

VLibSingleLock::VLibSingleLock(VLibSyncObject* object, bool lockNow) noexcept : _object(object)
{
    assert(object);
    assert(object->IsOpen());
    if (lockNow)
        (void)Wait(INFINITE);
}

VLibSingleLock::~VLibSingleLock()
{
    (void)Release();
}

CStatus VLibSingleLock::Close() noexcept
{
    CStatus status = CStatus::Success();
    return status;
}

CStatus VLibSingleLock::Wait(DWORD timeoutMs) noexcept
{
    assert(!_locked);
    assert(_object);
    assert(_object->IsOpen());
    const CStatus status = _object->Wait(timeoutMs);
    if (status.IsSuccess())
        _locked = true;
    else
        VLIB_TRACE(L"(%d) Wait operation on the object failed.", static_cast<int>(status.GetCode()));
    return status;
}

CStatus VLibSingleLock::Release() noexcept
{
    if (!_locked)
    {
        CStatus status = CStatus::Success();
        return status;
    }
    assert(_object);
    assert(_object->IsOpen());
    const CStatus status = _object->Release();
    if (status.IsSuccess())
        _locked = false;
    else
        VLIB_TRACE(L"(%d) Release operation on the object failed.", static_cast<int>(status.GetCode()));
    return status;
}
