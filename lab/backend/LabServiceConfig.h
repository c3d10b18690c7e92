// What the lab records of the services' configuration that Wine accepts but
// does not keep, so tests can read it back. Key layout below
// HKLM\SOFTWARE\KorvelinLab\Services:
//
//   <service key name>\FailureActions   the failure actions last set for the service
//       "ResetPeriod"       REG_DWORD, seconds
//       "RebootMessage"     REG_DWORD 1: a reboot message was given (not null, not empty)
//       "Command"           REG_DWORD 1: a command was given (not null, not empty)
//       "Actions"           REG_BINARY, the SC_ACTION array as given: type and delay
//                           (ms), 8 bytes each; empty when none were given
#pragma once

#include <windows.h>
#include <winsvc.h>

#include <optional>
#include <string>
#include <vector>

struct LabFailureActions
{
    DWORD resetPeriod = 0;
    bool rebootMessage = false;
    bool command = false;
    std::vector<SC_ACTION> actions;
};

namespace KvLab
{
// The lab's OpenServiceW tells which service a handle it gave out stands for.
void RememberServiceName(SC_HANDLE service, const wchar_t* keyName) noexcept;
// After a successful SERVICE_CONFIG_FAILURE_ACTIONS change of that service.
void RecordFailureActions(SC_HANDLE service, const SERVICE_FAILURE_ACTIONSW& failureActions) noexcept;
// nullopt: none recorded.
std::optional<LabFailureActions> RecordedFailureActions(const std::wstring& serviceKeyName);
} // namespace KvLab
