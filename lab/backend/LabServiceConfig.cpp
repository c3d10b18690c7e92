// The lab's record of the services' configuration: see LabServiceConfig.h.
#include "LabServiceConfig.h"

#include "LabState.h"
#include "UniqueResource.h"

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace KvLab
{
namespace
{
std::mutex g_namesLock;
std::unordered_map<SC_HANDLE, std::wstring> g_names;

std::wstring FailureActionsPath(const std::wstring& keyName)
{
    return std::wstring(kRootKey) + L"\\Services\\" + keyName + L"\\FailureActions";
}

// The service manager knows the service's display name, which is unique, and
// the key name that goes with it; the handle needs the right to query.
std::wstring QueriedKeyName(SC_HANDLE service)
{
    DWORD size = 0;
    if (::QueryServiceConfigW(service, nullptr, 0, &size) || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return {};
    std::vector<BYTE> buffer(size);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    const unique_schandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    wchar_t name[257] = {};
    DWORD length = ARRAYSIZE(name);
    if (!::QueryServiceConfigW(service, config, size, &size) || !config->lpDisplayName || !manager ||
        !::GetServiceKeyNameW(manager.get(), config->lpDisplayName, name, &length))
        return {};
    return name;
}

// Handle values are used again once closed, and closing is no entry of the
// table: a handle the lab handed out is trusted only when it cannot be queried.
std::wstring KeyNameOf(SC_HANDLE service)
{
    std::wstring name = QueriedKeyName(service);
    if (!name.empty())
        return name;
    std::lock_guard<std::mutex> guard(g_namesLock);
    const auto found = g_names.find(service);
    return found == g_names.end() ? std::wstring() : found->second;
}

bool IsKeyName(const std::wstring& name)
{
    return !name.empty() && name.find(L'\\') == std::wstring::npos;
}
} // namespace

void RememberServiceName(SC_HANDLE service, const wchar_t* keyName) noexcept
{
    try
    {
        std::lock_guard<std::mutex> guard(g_namesLock);
        g_names[service] = keyName;
    }
    catch (...)
    {
    }
}

void RecordFailureActions(SC_HANDLE service, const SERVICE_FAILURE_ACTIONSW& failureActions) noexcept
{
    try
    {
        const std::wstring name = KeyNameOf(service);
        if (!IsKeyName(name))
            return;
        const auto given = [](const wchar_t* text) { return text && *text ? 1 : 0; };
        const DWORD count = failureActions.lpsaActions ? failureActions.cActions : 0;
        const std::wstring path = FailureActionsPath(name);
        SetNumber(path, L"ResetPeriod", failureActions.dwResetPeriod);
        SetNumber(path, L"RebootMessage", given(failureActions.lpRebootMsg));
        SetNumber(path, L"Command", given(failureActions.lpCommand));
        SetValue(path, L"Actions", REG_BINARY, failureActions.lpsaActions, count * sizeof(SC_ACTION));
    }
    catch (...)
    {
    }
}

std::optional<LabFailureActions> RecordedFailureActions(const std::wstring& serviceKeyName)
{
    unique_hkey key;
    if (!IsKeyName(serviceKeyName) || ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, FailureActionsPath(serviceKeyName).c_str(), 0,
                                                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    LabFailureActions recorded;
    recorded.resetPeriod = ReadDword(key.get(), L"ResetPeriod").value_or(0);
    recorded.rebootMessage = ReadDword(key.get(), L"RebootMessage").value_or(0) != 0;
    recorded.command = ReadDword(key.get(), L"Command").value_or(0) != 0;
    const std::vector<BYTE> actions = ReadRaw(key.get(), L"Actions", REG_BINARY).value_or(std::vector<BYTE>());
    recorded.actions.resize(actions.size() / sizeof(SC_ACTION));
    if (!recorded.actions.empty())
        memcpy(recorded.actions.data(), actions.data(), recorded.actions.size() * sizeof(SC_ACTION));
    return recorded;
}
} // namespace KvLab
