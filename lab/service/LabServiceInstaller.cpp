#include "LabServiceInstaller.h"

#include "UniqueResource.h"

#include <utility>

namespace
{
const wchar_t kExeName[] = L"KorvelinLabService.exe";

bool Fail(DWORD* error, DWORD code)
{
    if (error)
        *error = code;
    return false;
}

bool FailLast(DWORD* error)
{
    const DWORD code = ::GetLastError();
    return Fail(error, code != ERROR_SUCCESS ? code : ERROR_GEN_FAILURE);
}

bool Succeed(DWORD* error)
{
    if (error)
        *error = ERROR_SUCCESS;
    return true;
}

LSTATUS WriteDword(HKEY key, const wchar_t* name, DWORD value)
{
    return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// The service's own key must exist already: creating Parameters below a
// missing one would leave a half service entry behind.
LSTATUS WriteTimings(const std::wstring& name, const LabServiceTimings& t)
{
    const std::wstring serviceKey = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
    unique_hkey service;
    LSTATUS rc = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, serviceKey.c_str(), 0, KEY_CREATE_SUB_KEY, &service);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SERVICE_DOES_NOT_EXIST;
    if (rc != ERROR_SUCCESS)
        return rc;
    unique_hkey params;
    rc = ::RegCreateKeyExW(service.get(), L"Parameters", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                           nullptr, &params, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    const std::pair<const wchar_t*, DWORD> values[] = {
        {L"StartMs", t.startMs},         {L"StopMs", t.stopMs},         {L"StopAfterMs", t.stopAfterMs},
        {L"FailStart", t.failStart},     {L"NeverStart", t.neverStart}, {L"RefuseStop", t.refuseStop},
    };
    for (const auto& [valueName, value] : values)
        if ((rc = WriteDword(params.get(), valueName, value)) != ERROR_SUCCESS)
            return rc;
    return ERROR_SUCCESS;
}

bool QueryState(SC_HANDLE service, DWORD* state)
{
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                                &needed))
        return false;
    *state = status.dwCurrentState;
    return true;
}

// True once the service is stopped, false on time-out or a failed query.
bool StopAndWait(SC_HANDLE service, DWORD waitMs, DWORD* error)
{
    const ULONGLONG deadline = ::GetTickCount64() + waitMs;
    for (DWORD state = 0;;) {
        if (!QueryState(service, &state))
            return FailLast(error);
        if (state == SERVICE_STOPPED)
            return Succeed(error);
        // A service that refuses while its start is pending is asked again
        // (Wine refuses with 1052, Windows with 1061).
        SERVICE_STATUS status{};
        if (state != SERVICE_STOP_PENDING && !::ControlService(service, SERVICE_CONTROL_STOP, &status)) {
            const DWORD code = ::GetLastError();
            if (code != ERROR_SERVICE_CANNOT_ACCEPT_CTRL && code != ERROR_INVALID_SERVICE_CONTROL &&
                code != ERROR_SERVICE_NOT_ACTIVE)
                return Fail(error, code);
        }
        if (::GetTickCount64() >= deadline)
            return Fail(error, ERROR_SERVICE_REQUEST_TIMEOUT);
        ::Sleep(20);
    }
}
} // namespace

std::wstring LabServiceParametersKey(const std::wstring& name)
{
    return L"SYSTEM\\CurrentControlSet\\Services\\" + name + L"\\Parameters";
}

DWORD LabServiceStarts(const std::wstring& name) noexcept
{
    try
    {
        DWORD starts = 0;
        DWORD size = sizeof(starts);
        if (::RegGetValueW(HKEY_LOCAL_MACHINE, LabServiceParametersKey(name).c_str(), kLabServiceStartsValue,
                           RRF_RT_REG_DWORD, nullptr, &starts, &size) != ERROR_SUCCESS)
            return 0;
        return starts;
    }
    catch (...)
    {
        return 0;
    }
}

std::wstring LabServiceExePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + kExeName;
}

bool InstallLabService(const std::wstring& name, const std::wstring& displayName, DWORD startType,
                       const LabServiceTimings& timings, DWORD* error)
{
    const std::wstring exe = LabServiceExePath();
    if (exe.empty())
        return FailLast(error);
    if (::GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES)
        return Fail(error, ERROR_FILE_NOT_FOUND);
    unique_schandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    if (!scm)
        return FailLast(error);
    // Quoted: the build folder may contain spaces.
    const std::wstring command = L"\"" + exe + L"\"";
    unique_schandle service(::CreateServiceW(scm.get(), name.c_str(), displayName.c_str(), DELETE,
                                             SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_NORMAL,
                                             command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service)
        return FailLast(error);
    const LSTATUS rc = WriteTimings(name, timings);
    if (rc != ERROR_SUCCESS) {
        ::DeleteService(service.get());
        return Fail(error, static_cast<DWORD>(rc));
    }
    return Succeed(error);
}

bool SetLabServiceTimings(const std::wstring& name, const LabServiceTimings& timings, DWORD* error)
{
    const LSTATUS rc = WriteTimings(name, timings);
    return rc == ERROR_SUCCESS ? Succeed(error) : Fail(error, static_cast<DWORD>(rc));
}

bool RemoveLabService(const std::wstring& name, DWORD* error, DWORD waitMs)
{
    unique_schandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm)
        return FailLast(error);
    unique_schandle service(
        ::OpenServiceW(scm.get(), name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service)
        return FailLast(error);
    DWORD stopError = ERROR_SUCCESS;
    const bool stopped = StopAndWait(service.get(), waitMs, &stopError);
    // Deleted even if it would not stop: the SCM removes it when it finally does.
    if (!::DeleteService(service.get()))
        return FailLast(error);
    return stopped ? Succeed(error) : Fail(error, stopError);
}
