// Registers and removes the lab's service executable under any name, for tests
// and the lab scripts. Every function reports a Win32 error code through
// `error` (may be null) when it returns false.
#pragma once

#include <windows.h>

#include <string>

// How the service behaves at its next start; all optional, 0 means "off".
// Stored as REG_DWORD values under Services\<name>\Parameters.
struct LabServiceTimings
{
    DWORD startMs = 0;     // time in START_PENDING before RUNNING
    DWORD stopMs = 0;      // time in STOP_PENDING after a stop request
    DWORD stopAfterMs = 0; // stops by itself this long after RUNNING
    DWORD failStart = 0;   // stops from START_PENDING with this service-specific code
    DWORD neverStart = 0;  // stays in START_PENDING until stopped
    DWORD refuseStop = 0;  // accepts no stop while in START_PENDING, as a hung service does (1061)
};

// The registry key holding a service's behaviour, below HKLM.
std::wstring LabServiceParametersKey(const std::wstring& name);

// The service counts its starts under its Parameters key, just before it
// reports RUNNING, so others can tell that it was started again.
constexpr wchar_t kLabServiceStartsValue[] = L"Starts";
// How often the service has reached RUNNING; 0 if it never has or is missing.
DWORD LabServiceStarts(const std::wstring& name) noexcept;

// KorvelinLabService.exe in the folder of the calling executable.
std::wstring LabServiceExePath();

// Creates the service (own process, LocalSystem) and writes its timings.
// Fails with ERROR_SERVICE_EXISTS if the name is taken; nothing is left
// behind if writing the timings fails.
bool InstallLabService(const std::wstring& name, const std::wstring& displayName, DWORD startType,
                       const LabServiceTimings& timings, DWORD* error);

// Replaces the timings of an installed service; read at its next start.
bool SetLabServiceTimings(const std::wstring& name, const LabServiceTimings& timings, DWORD* error);

// Stops the service if it runs (waiting up to waitMs, asking again while it
// refuses), then deletes it.
// ERROR_SERVICE_DOES_NOT_EXIST if there is none. If it did not stop in time
// it is still marked for deletion, but the call fails with
// ERROR_SERVICE_REQUEST_TIMEOUT.
bool RemoveLabService(const std::wstring& name, DWORD* error, DWORD waitMs = 5000);
