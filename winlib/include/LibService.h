// One service: open, start, stop and wait for a state.
#pragma once

#include "LibWin32Object.h"

#include <winsvc.h>

#include <string>

class VLibService : public VLibWin32Object
{
public:
    // Polling interval of a finite wait, and of the unbounded one.
    static constexpr DWORD kPollMs = 50;
    static constexpr DWORD kUnboundedPollMs = 100;
    static constexpr DWORD kWaitWithoutLimit = 0xFFFFFFFF;

    VLibService() noexcept = default;
    ~VLibService() override;

    [[nodiscard]] CStatus Close() noexcept override;
    HANDLE Detach() noexcept override;

    // Through a manager of its own, which is closed again before returning.
    [[nodiscard]] virtual CStatus Open(const wchar_t* serviceName, DWORD serviceAccess, const wchar_t* machineName,
                                       DWORD managerAccess) noexcept;
    [[nodiscard]] virtual CStatus Open(SC_HANDLE manager, const wchar_t* serviceName, DWORD access) noexcept;
    // Does nothing for a running service; does not wait.
    [[nodiscard]] virtual CStatus Start(DWORD argc, const wchar_t** argv) noexcept;
    [[nodiscard]] virtual CStatus WaitForStart(DWORD timeoutMs) noexcept;
    // Does nothing for a stopped service; does not wait.
    [[nodiscard]] virtual CStatus Stop() noexcept;
    [[nodiscard]] virtual CStatus WaitForStop(DWORD timeoutMs) noexcept;
    // Leaving the pending state for a third one is 6/1; running out of time
    // is 2/258.
    [[nodiscard]] virtual CStatus WaitForServiceStatus(DWORD desired, DWORD pending, DWORD timeoutMs) noexcept;

    SC_HANDLE GetServiceHandle() const noexcept { return static_cast<SC_HANDLE>(_handle); }
    const std::wstring& GetServiceName() const noexcept { return _serviceName; }

private:
    [[nodiscard]] CStatus _Query(SERVICE_STATUS& status) noexcept;

    std::wstring _serviceName;
    std::wstring _displayName; // kept for the library's other users
};
