// The lab service under Wine's real service control manager.
#include "LabServiceInstaller.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace
{
using States = std::vector<DWORD>;
constexpr DWORD kStopped = SERVICE_STOPPED, kStartPending = SERVICE_START_PENDING, kRunning = SERVICE_RUNNING;

struct Watched
{
    States states; // each distinct state once, in the order seen
    std::set<DWORD> checkpoints;
    SERVICE_STATUS_PROCESS last{};
    ULONGLONG ms = 0;
};

// Polls the service until it reaches `until` (or 5 s pass).
Watched Watch(SC_HANDLE service, DWORD until)
{
    Watched w;
    const ULONGLONG start = ::GetTickCount64();
    for (DWORD needed = 0; ::GetTickCount64() - start < 5000; ::Sleep(10)) {
        if (!::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&w.last),
                                    sizeof(w.last), &needed))
            break;
        if (w.states.empty() || w.states.back() != w.last.dwCurrentState)
            w.states.push_back(w.last.dwCurrentState);
        w.checkpoints.insert(w.last.dwCheckPoint);
        if (w.last.dwCurrentState == until)
            break;
    }
    w.ms = ::GetTickCount64() - start;
    return w;
}

// A service name of its own per test, removed before and after.
class LabServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        _name = L"KvLabSvc_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::wstring(test, test + strlen(test));
        RemoveLabService(_name, nullptr);
        _scm.reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        ASSERT_TRUE(_scm);
    }
    void TearDown() override
    {
        DWORD error = 0;
        if (!RemoveLabService(_name, &error)) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), error);
        }
    }
    unique_schandle Install(const LabServiceTimings& t)
    {
        DWORD error = 0;
        EXPECT_TRUE(InstallLabService(_name, L"Display " + _name, SERVICE_DEMAND_START, t, &error)) << error;
        return Open();
    }
    unique_schandle Open() { return unique_schandle(::OpenServiceW(_scm.get(), _name.c_str(), SERVICE_ALL_ACCESS)); }

    std::wstring _name;
    unique_schandle _scm;
};

TEST_F(LabServiceTest, StartAndStopPassThroughPendingStatesAndTheProcessExits)
{
    const unique_schandle svc = Install({300, 300});
    ASSERT_TRUE(::StartServiceW(svc.get(), 0, nullptr)) << ::GetLastError();
    Watched w = Watch(svc.get(), SERVICE_RUNNING);
    EXPECT_EQ((States{kStartPending, kRunning}), w.states);
    EXPECT_GE(w.ms, 200u);
    EXPECT_GE(w.checkpoints.size(), 3u) << "checkpoint moves while pending, 0 once running";
    EXPECT_TRUE(w.last.dwControlsAccepted & SERVICE_ACCEPT_STOP);

    unique_handle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, w.last.dwProcessId));
    ASSERT_TRUE(process);
    SERVICE_STATUS status{};
    ASSERT_TRUE(::ControlService(svc.get(), SERVICE_CONTROL_INTERROGATE, &status)) << ::GetLastError();
    EXPECT_EQ(kRunning, status.dwCurrentState);
    ASSERT_TRUE(::ControlService(svc.get(), SERVICE_CONTROL_STOP, &status)) << ::GetLastError();
    w = Watch(svc.get(), SERVICE_STOPPED);
    EXPECT_EQ((States{SERVICE_STOP_PENDING, kStopped}), w.states);
    EXPECT_GE(w.ms, 200u);
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), w.last.dwWin32ExitCode);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(process.get(), 5000)) << "threads left running";
    DWORD exitCode = 1;
    EXPECT_TRUE(::GetExitCodeProcess(process.get(), &exitCode));
    EXPECT_EQ(0u, exitCode);
}

TEST_F(LabServiceTest, FailedStartNeverRunsAndEachStartRereadsItsTimings)
{
    const unique_schandle svc = Install({200, 0, 0, 42});
    ASSERT_TRUE(::StartServiceW(svc.get(), 0, nullptr)) << ::GetLastError();
    Watched w = Watch(svc.get(), SERVICE_STOPPED);
    EXPECT_EQ((States{kStartPending, kStopped}), w.states);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR), w.last.dwWin32ExitCode);
    EXPECT_EQ(42u, w.last.dwServiceSpecificExitCode);

    DWORD error = 0;
    ASSERT_TRUE(SetLabServiceTimings(_name, {0, 0, 300}, &error)) << error;
    ASSERT_TRUE(::StartServiceW(svc.get(), 0, nullptr)) << ::GetLastError();
    EXPECT_EQ(kRunning, Watch(svc.get(), SERVICE_RUNNING).last.dwCurrentState);
    w = Watch(svc.get(), SERVICE_STOPPED);
    EXPECT_EQ((States{kRunning, kStopped}), w.states) << "stops by itself";
    EXPECT_GE(w.ms, 200u);
    EXPECT_EQ(static_cast<DWORD>(NO_ERROR), w.last.dwWin32ExitCode);
}

TEST_F(LabServiceTest, HungStartKeepsItsCheckpointUntilStopped)
{
    const unique_schandle svc = Install({0, 0, 0, 0, 1});
    ASSERT_TRUE(::StartServiceW(svc.get(), 0, nullptr)) << ::GetLastError();
    ::Sleep(400);
    const Watched w = Watch(svc.get(), SERVICE_START_PENDING);
    EXPECT_EQ(kStartPending, w.last.dwCurrentState);
    EXPECT_EQ(1u, w.last.dwCheckPoint);
    SERVICE_STATUS status{};
    ASSERT_TRUE(::ControlService(svc.get(), SERVICE_CONTROL_STOP, &status)) << ::GetLastError();
    EXPECT_EQ(kStopped, Watch(svc.get(), SERVICE_STOPPED).last.dwCurrentState);
}

TEST_F(LabServiceTest, NamesResolveAndRemoveStopsAndDeletesEverything)
{
    unique_schandle svc = Install({});
    DWORD error = 0;
    EXPECT_FALSE(InstallLabService(_name, L"other", SERVICE_DEMAND_START, {}, &error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_EXISTS), error);
    wchar_t key[256] = {};
    DWORD size = 256;
    ASSERT_TRUE(::GetServiceKeyNameW(_scm.get(), (L"Display " + _name).c_str(), key, &size)) << ::GetLastError();
    EXPECT_EQ(_name, key);

    ASSERT_TRUE(::StartServiceW(svc.get(), 0, nullptr)) << ::GetLastError();
    Watch(svc.get(), SERVICE_RUNNING);
    svc.reset();
    ASSERT_TRUE(RemoveLabService(_name, &error)) << error;
    EXPECT_FALSE(Open());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), ::GetLastError());
    unique_hkey params;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, LabServiceParametersKey(_name).c_str(), 0, KEY_READ, &params));
    EXPECT_FALSE(SetLabServiceTimings(_name, {}, &error)) << "must not create a half service key";
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), error);
}

TEST_F(LabServiceTest, CommandLineInstallsAndRemoves)
{
    const auto run = [](const std::wstring& args) {
        std::wstring cmd = L"\"" + LabServiceExePath() + L"\" " + args;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        DWORD code = ~0ul;
        if (::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            const unique_handle process(pi.hProcess), thread(pi.hThread);
            if (::WaitForSingleObject(pi.hProcess, 10000) == WAIT_OBJECT_0)
                ::GetExitCodeProcess(pi.hProcess, &code);
        }
        return code;
    };
    EXPECT_NE(0ul, run(L"install " + _name + L" \"Lab display\" demand Bogus=1"));
    EXPECT_FALSE(Open()) << "a rejected command must install nothing";
    EXPECT_NE(0ul, run(L"")) << "not started by the SCM";

    ASSERT_EQ(0ul, run(L"install " + _name + L" \"Lab display\" auto StartMs=250"));
    DWORD value = 0, size = sizeof(value);
    EXPECT_EQ(ERROR_SUCCESS, ::RegGetValueW(HKEY_LOCAL_MACHINE, LabServiceParametersKey(_name).c_str(), L"StartMs",
                                            RRF_RT_REG_DWORD, nullptr, &value, &size));
    EXPECT_EQ(250u, value);
    std::vector<BYTE> config(8192);
    DWORD needed = 0;
    ASSERT_TRUE(::QueryServiceConfigW(Open().get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                                      static_cast<DWORD>(config.size()), &needed));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data())->dwStartType);

    EXPECT_EQ(0ul, run(L"remove " + _name));
    EXPECT_FALSE(Open());
    EXPECT_NE(0ul, run(L"remove " + _name));
}
} // namespace
