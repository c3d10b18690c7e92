// VLibService: see LibService.h.
#include "LibService.h"

#include "EntryPoints.h"
#include "LibClock.h"
#include "LibLogger.h"
#include "LibSCM.h"

#include <cassert>

VLibService::~VLibService()
{
    (void)VLibService::Close();
}

CStatus VLibService::Close() noexcept
{
    if (IsOpen())
    {
        ::CloseServiceHandle(GetServiceHandle());
        _handle = nullptr;
    }
    _serviceName.clear();
    return CStatus::Success();
}

HANDLE VLibService::Detach() noexcept
{
    _serviceName.clear();
    return VLibWin32Object::Detach();
}

CStatus VLibService::Open(const wchar_t* serviceName, DWORD serviceAccess, const wchar_t* machineName,
                          DWORD managerAccess) noexcept
{
    (void)Close();
    VLibSCM manager;
    CStatus status = manager.Open(machineName, managerAccess);
    if (status.IsFailed())
    {
        VLIB_TRACE(L"(%d) Failed to open the service manager. service = '%s'", static_cast<int>(status.GetCode()),
                   serviceName ? serviceName : L"");
        return status;
    }
    status = manager.OpenServiceW(serviceName, serviceAccess, *this);
    if (status.IsFailed())
        VLIB_TRACE(L"(%d) Failed to open the service '%s'.", static_cast<int>(status.GetCode()), serviceName);
    return status;
}

CStatus VLibService::Open(SC_HANDLE manager, const wchar_t* serviceName, DWORD access) noexcept
{
    assert(serviceName);
    CStatus status = CStatus::Success();
    (void)Close();
    SC_HANDLE service = KvEntry().OpenServiceW(manager, serviceName, access);
    if (!service)
    {
        const DWORD error = ::GetLastError();
        status.Set(CStatus::kWin32, error);
        VLIB_TRACE(L"(%d) Failed to open service %s.", static_cast<int>(error), serviceName);
        return status;
    }
    _handle = service;
    try
    {
        _serviceName = serviceName;
    }
    catch (...)
    {
        // Only the traces use the name.
    }
    return status;
}

CStatus VLibService::_Query(SERVICE_STATUS& serviceStatus) noexcept
{
    CStatus status = CStatus::Success();
    if (!KvEntry().QueryServiceStatus(GetServiceHandle(), &serviceStatus))
    {
        const DWORD error = ::GetLastError();
        status.Set(CStatus::kWin32, error);
        VLIB_TRACE(L"(%d) Failed to query service status of %s.", static_cast<int>(error), _serviceName.c_str());
    }
    return status;
}

CStatus VLibService::Start(DWORD argc, const wchar_t** argv) noexcept
{
    assert(IsOpen());
    SERVICE_STATUS serviceStatus{};
    CStatus status = _Query(serviceStatus);
    if (status.IsFailed() || serviceStatus.dwCurrentState == SERVICE_RUNNING)
        return status;
    if (!KvEntry().StartServiceW(GetServiceHandle(), argc, argv))
    {
        const DWORD error = ::GetLastError();
        status.Set(CStatus::kWin32, error);
        VLIB_TRACE(L"(%d) Failed to start the service %s. State=%d.", static_cast<int>(error), _serviceName.c_str(),
                   static_cast<int>(serviceStatus.dwCurrentState));
    }
    return status;
}

CStatus VLibService::Stop() noexcept
{
    assert(IsOpen());
    SERVICE_STATUS serviceStatus{};
    CStatus status = _Query(serviceStatus);
    if (status.IsFailed() || serviceStatus.dwCurrentState == SERVICE_STOPPED)
        return status;
    if (!KvEntry().ControlService(GetServiceHandle(), SERVICE_CONTROL_STOP, &serviceStatus))
    {
        const DWORD error = ::GetLastError();
        status.Set(CStatus::kWin32, error);
        VLIB_TRACE(L"(%d) ControlService failed for service %s. state = %d.", static_cast<int>(error),
                   _serviceName.c_str(), static_cast<int>(serviceStatus.dwCurrentState));
    }
    return status;
}

CStatus VLibService::WaitForStart(DWORD timeoutMs) noexcept
{
    return WaitForServiceStatus(SERVICE_RUNNING, SERVICE_START_PENDING, timeoutMs);
}

CStatus VLibService::WaitForStop(DWORD timeoutMs) noexcept
{
    return WaitForServiceStatus(SERVICE_STOPPED, SERVICE_STOP_PENDING, timeoutMs);
}

CStatus VLibService::WaitForServiceStatus(DWORD desired, DWORD pending, DWORD timeoutMs) noexcept
{
    assert(IsOpen());
    SERVICE_STATUS serviceStatus{};
    CStatus status = _Query(serviceStatus);
    if (status.IsFailed() || serviceStatus.dwCurrentState == desired)
        return status;

    if (timeoutMs == kWaitWithoutLimit)
    {
        for (;;)
        {
            if (serviceStatus.dwCurrentState != pending)
            {
                status.Set(CStatus::kService, 1);
                return status;
            }
            VLibClock::Current().Sleep(kUnboundedPollMs);
            status = _Query(serviceStatus);
            if (status.IsFailed() || serviceStatus.dwCurrentState == desired)
                return status;
        }
    }

    // Whole intervals, then one short poll for the remainder, so the total
    // time slept is the time-out.
    const DWORD wholePolls = timeoutMs / kPollMs;
    const DWORD remainder = timeoutMs % kPollMs;
    const DWORD polls = wholePolls + (remainder ? 1 : 0);
    for (DWORD poll = 1; poll <= polls; ++poll)
    {
        VLibClock::Current().Sleep(poll <= wholePolls ? kPollMs : remainder);
        status = _Query(serviceStatus);
        if (status.IsFailed() || serviceStatus.dwCurrentState == desired)
            return status;
        if (serviceStatus.dwCurrentState != pending)
        {
            status.Set(CStatus::kService, 1);
            return status;
        }
    }
    status.Set(CStatus::kWin32, WAIT_TIMEOUT);
    VLIB_TRACE(L"Wait timed out for service %s", _serviceName.c_str());
    return status;
}
