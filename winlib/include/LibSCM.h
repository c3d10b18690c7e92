// The service control manager: finds services by key name or display name.
#pragma once

#include "LibWin32Object.h"

#include <winsvc.h>

class VLibService;

class VLibSCM : public VLibWin32Object
{
public:
    VLibSCM() noexcept = default;
    ~VLibSCM() override;

    // Unlocks the database if it is locked, then closes. Always succeeds.
    [[nodiscard]] CStatus Close() noexcept override;

    // Closes first; machineName null is this computer.
    [[nodiscard]] CStatus Open(const wchar_t* machineName, DWORD access) noexcept;
    [[nodiscard]] CStatus Unlock() noexcept;
    // By key name, falling back to the display name (1060 and 123).
    [[nodiscard]] CStatus OpenServiceW(const wchar_t* name, DWORD access, VLibService& service) noexcept;
    // The key name in process-heap memory that the caller frees (HeapFree);
    // null on failure.
    [[nodiscard]] CStatus GetKeyName(const wchar_t* displayName, wchar_t** keyName) noexcept;
    // A service that does not exist is "not installed", and that is success.
    [[nodiscard]] CStatus IsServiceInstalled(const wchar_t* name, bool& installed) noexcept;

    SC_HANDLE GetManager() const noexcept { return static_cast<SC_HANDLE>(_handle); }

private:
    SC_LOCK _lock = nullptr;
};
