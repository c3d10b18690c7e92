// A tiny service for the lab: registered under whatever name the wizard
// expects, it starts, runs and stops as slowly or as badly as its Parameters
// key says, so the wizard meets real pending, failed and hung services.
//
// Run by hand it installs or removes itself:
//   KorvelinLabService.exe install <name> <display name> [auto|demand] [StartMs=N ...]
//   KorvelinLabService.exe remove <name>
#include "LabServiceInstaller.h"
#include "UniqueResource.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace
{
// Pending states advance their checkpoint this often, so a watcher sees progress.
constexpr DWORD kSliceMs = 100;

struct ServiceState
{
    CRITICAL_SECTION lock;
    SERVICE_STATUS_HANDLE handle = nullptr;
    SERVICE_STATUS status{};
    HANDLE stopRequested = nullptr; // manual reset; lives as long as the process
    bool refuseStop = false;        // while START_PENDING
};

// One service per process; the control handler may still run while the
// service thread reports STOPPED, so nothing here is ever torn down.
ServiceState g_service;

void Report(DWORD state, DWORD waitHint = 0, DWORD win32Exit = NO_ERROR, DWORD specificExit = 0)
{
    ::EnterCriticalSection(&g_service.lock);
    SERVICE_STATUS& s = g_service.status;
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    const bool sameState = s.dwCurrentState == state;
    s.dwCurrentState = state;
    // Stop is taken even while pending, so a hung start can be stopped, unless
    // the service is to refuse it there: the manager then refuses for it.
    const bool refusing = state == SERVICE_START_PENDING && g_service.refuseStop;
    s.dwControlsAccepted = (state == SERVICE_STOPPED || state == SERVICE_STOP_PENDING || refusing)
                               ? 0
                               : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    s.dwWin32ExitCode = win32Exit;
    s.dwServiceSpecificExitCode = specificExit;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    s.dwCheckPoint = pending ? (sameState ? s.dwCheckPoint + 1 : 1) : 0;
    s.dwWaitHint = pending ? waitHint : 0;
    ::SetServiceStatus(g_service.handle, &s);
    ::LeaveCriticalSection(&g_service.lock);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        ::SetEvent(g_service.stopRequested);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        // Re-report what we are, for an SCM that asks instead of remembering.
        ::EnterCriticalSection(&g_service.lock);
        ::SetServiceStatus(g_service.handle, &g_service.status);
        ::LeaveCriticalSection(&g_service.lock);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

LabServiceTimings ReadTimings(const wchar_t* name)
{
    LabServiceTimings t;
    unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, LabServiceParametersKey(name).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return t;
    const auto read = [&](const wchar_t* value, DWORD& out) {
        DWORD type = 0, data = 0, size = sizeof(data);
        if (::RegQueryValueExW(key.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD && size == sizeof(data))
            out = data;
    };
    read(L"StartMs", t.startMs);
    read(L"StopMs", t.stopMs);
    read(L"StopAfterMs", t.stopAfterMs);
    read(L"FailStart", t.failStart);
    read(L"NeverStart", t.neverStart);
    read(L"RefuseStop", t.refuseStop);
    return t;
}

// Stays in `state` for `ms`, advancing the checkpoint. Returns true if a stop
// request cut it short (only when `stoppable`).
bool Pend(DWORD state, DWORD ms, bool stoppable)
{
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (elapsed >= ms)
            return false;
        const DWORD remaining = static_cast<DWORD>(ms - elapsed);
        const DWORD slice = remaining < kSliceMs ? remaining : kSliceMs;
        if (stoppable) {
            if (::WaitForSingleObject(g_service.stopRequested, slice) == WAIT_OBJECT_0)
                return true;
        } else {
            ::Sleep(slice);
        }
        Report(state, remaining + kSliceMs);
    }
}

// Counted before RUNNING is reported, so whoever sees the service running
// also sees this start.
void CountStart(const wchar_t* name)
{
    const DWORD starts = LabServiceStarts(name) + 1;
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, LabServiceParametersKey(name).c_str(), kLabServiceStartsValue, REG_DWORD,
                      &starts, sizeof(starts));
}

void StopSlowly(DWORD stopMs)
{
    Report(SERVICE_STOP_PENDING, stopMs + kSliceMs);
    Pend(SERVICE_STOP_PENDING, stopMs, false);
    Report(SERVICE_STOPPED);
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv)
{
    const wchar_t* name = argc > 0 && argv[0] ? argv[0] : L"";
    g_service.handle = ::RegisterServiceCtrlHandlerExW(name, Control, nullptr);
    if (!g_service.handle)
        return;
    ::ResetEvent(g_service.stopRequested);
    const LabServiceTimings t = ReadTimings(name);
    ::EnterCriticalSection(&g_service.lock);
    g_service.refuseStop = t.refuseStop != 0;
    ::LeaveCriticalSection(&g_service.lock);

    Report(SERVICE_START_PENDING, t.startMs + kSliceMs);
    // A hung start: the checkpoint never moves, only a stop request ends it.
    if (t.neverStart) {
        ::WaitForSingleObject(g_service.stopRequested, INFINITE);
        return StopSlowly(t.stopMs);
    }
    if (Pend(SERVICE_START_PENDING, t.startMs, true))
        return StopSlowly(t.stopMs);
    if (t.failStart)
        return Report(SERVICE_STOPPED, 0, ERROR_SERVICE_SPECIFIC_ERROR, t.failStart);

    CountStart(name);
    Report(SERVICE_RUNNING);
    const DWORD wait = t.stopAfterMs ? t.stopAfterMs : INFINITE;
    if (::WaitForSingleObject(g_service.stopRequested, wait) == WAIT_OBJECT_0)
        return StopSlowly(t.stopMs);
    Report(SERVICE_STOPPED);
}

int Usage()
{
    std::fputs("usage: KorvelinLabService install <name> <display name> [auto|demand] [StartMs=N ...]\n"
                "       KorvelinLabService remove <name>\n",
                stderr);
    return 2;
}

int Failed(const char* what, const std::wstring& name, DWORD error)
{
    std::fprintf(stderr, "%s %ls failed: error %lu\n", what, name.c_str(), static_cast<unsigned long>(error));
    return 1;
}

// Reads "Key=N" into the matching timing; false for anything else.
bool ParseTiming(const std::wstring& arg, LabServiceTimings& t)
{
    const size_t eq = arg.find(L'=');
    if (eq == std::wstring::npos || eq + 1 == arg.size())
        return false;
    const std::wstring key = arg.substr(0, eq);
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(arg.c_str() + eq + 1, &end, 10);
    if (*end != L'\0' || arg[eq + 1] == L'-')
        return false;
    DWORD* field = _wcsicmp(key.c_str(), L"StartMs") == 0       ? &t.startMs
                   : _wcsicmp(key.c_str(), L"StopMs") == 0      ? &t.stopMs
                   : _wcsicmp(key.c_str(), L"StopAfterMs") == 0 ? &t.stopAfterMs
                   : _wcsicmp(key.c_str(), L"FailStart") == 0   ? &t.failStart
                   : _wcsicmp(key.c_str(), L"NeverStart") == 0  ? &t.neverStart
                   : _wcsicmp(key.c_str(), L"RefuseStop") == 0  ? &t.refuseStop
                                                                : nullptr;
    if (!field)
        return false;
    *field = static_cast<DWORD>(value);
    return true;
}

int RunCommand(int argc, wchar_t** argv)
{
    const std::wstring verb = argv[1];
    DWORD error = 0;
    if (verb == L"remove") {
        if (argc != 3)
            return Usage();
        return RemoveLabService(argv[2], &error) ? 0 : Failed("remove", argv[2], error);
    }
    if (argc < 4)
        return Usage();
    DWORD startType = SERVICE_DEMAND_START;
    LabServiceTimings t;
    for (int i = 4; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (i == 4 && (arg == L"auto" || arg == L"demand"))
            startType = arg == L"auto" ? SERVICE_AUTO_START : SERVICE_DEMAND_START;
        else if (!ParseTiming(arg, t)) {
            std::fprintf(stderr, "unknown argument: %ls\n", arg.c_str());
            return 2;
        }
    }
    return InstallLabService(argv[2], argv[3], startType, t, &error) ? 0 : Failed("install", argv[2], error);
}
} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv) {
        std::fputs("cannot read the command line\n", stderr);
        return 1;
    }
    if (argc >= 2 && (std::wcscmp(argv[1], L"install") == 0 || std::wcscmp(argv[1], L"remove") == 0)) {
        const int rc = RunCommand(argc, argv);
        ::LocalFree(argv);
        return rc;
    }
    ::LocalFree(argv);

    ::InitializeCriticalSection(&g_service.lock);
    g_service.stopRequested = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g_service.stopRequested) {
        std::fprintf(stderr, "CreateEvent failed: error %lu\n", ::GetLastError());
        return 1;
    }
    // Own process: the SCM ignores the table's name, ServiceMain gets the real one.
    wchar_t emptyName[] = L"";
    const SERVICE_TABLE_ENTRYW table[] = {{emptyName, ServiceMain}, {nullptr, nullptr}};
    if (!::StartServiceCtrlDispatcherW(table)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT)
            return Usage();
        std::fprintf(stderr, "StartServiceCtrlDispatcher failed: error %lu\n", error);
        return 1;
    }
    return 0;
}
