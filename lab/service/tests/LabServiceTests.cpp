// The lab service under Wine's real service control manager.
#include "LabServiceInstaller.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <process.h>
#include <windows.h>

#include <string>
#include <vector>

namespace
{
using States = std::vector<DWORD>;
constexpr DWORD kStartPending = SERVICE_START_PENDING, kRunning = SERVICE_RUNNING;
constexpr DWORD kStopPending = SERVICE_STOP_PENDING, kStopped = SERVICE_STOPPED;

// Runs the service executable from the command line; its exit code.
intptr_t RunExe(const std::wstring& args)
{
    const std::wstring exe = LabServiceExePath();
    return _wspawnl(_P_WAIT, exe.c_str(), (L"\"" + exe + L"\"").c_str(), args.c_str(), nullptr);
}

struct LifeCase
{
    const char* label;
    LabServiceTimings timings;
    States started; // from the start until the last of these
    States ended;   // then until stopped; passing through STOP_PENDING needs a stop request
    DWORD exitCode, specificCode;
};

// A service name of its own per test, removed before and after.
class LabServiceTest : public ::testing::TestWithParam<LifeCase>
{
protected:
    void SetUp() override
    {
        static int serial = 0;
        _name = L"KvLabSvc_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
        RemoveLabService(_name, nullptr);
        _scm.reset(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        ASSERT_TRUE(_scm);
    }
    void TearDown() override
    {
        _svc.reset();
        DWORD error = 0;
        EXPECT_TRUE(RemoveLabService(_name, &error) || error == ERROR_SERVICE_DOES_NOT_EXIST) << error;
    }
    unique_schandle Open() { return unique_schandle(::OpenServiceW(_scm.get(), _name.c_str(), SERVICE_ALL_ACCESS)); }
    // Polls until the service reaches `until` (or 5 s pass): each distinct state once, in order,
    // leaving out `from` while the service has not yet left it.
    States Watch(DWORD until, DWORD from = 0)
    {
        States states;
        DWORD needed = 0;
        for (const ULONGLONG start = ::GetTickCount64();
             (states.empty() || states.back() != until) && ::GetTickCount64() - start < 5000; ::Sleep(10)) {
            if (!::QueryServiceStatusEx(_svc.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&_last),
                                        sizeof(_last), &needed))
                break;
            if (states.empty() ? _last.dwCurrentState != from : states.back() != _last.dwCurrentState)
                states.push_back(_last.dwCurrentState);
        }
        return states;
    }

    std::wstring _name;
    unique_schandle _scm, _svc;
    SERVICE_STATUS_PROCESS _last{};
};

TEST_P(LabServiceTest, PassesThroughItsStates)
{
    const LifeCase& c = GetParam();
    DWORD error = 0;
    ASSERT_TRUE(InstallLabService(_name, L"Display " + _name, SERVICE_DEMAND_START, c.timings, &error)) << error;
    _svc = Open();
    ASSERT_TRUE(::StartServiceW(_svc.get(), 0, nullptr)) << ::GetLastError();
    EXPECT_EQ(c.started, Watch(c.started.back()));
    const unique_handle process(::OpenProcess(SYNCHRONIZE, FALSE, _last.dwProcessId));
    if (c.ended.front() == kStopPending) {
        ::Sleep(300);
        EXPECT_EQ((States{c.started.back()}), Watch(c.started.back()));
        SERVICE_STATUS status{};
        ASSERT_TRUE(::ControlService(_svc.get(), SERVICE_CONTROL_STOP, &status)) << ::GetLastError();
    }
    // The stop request is only seen when the service gets to it.
    EXPECT_EQ(c.ended, Watch(kStopped, c.ended.front() == kStopPending ? c.started.back() : 0));
    EXPECT_EQ(c.exitCode, _last.dwWin32ExitCode);
    EXPECT_EQ(c.specificCode, _last.dwServiceSpecificExitCode);
    EXPECT_TRUE(!process || ::WaitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0) << "threads left running";
}

INSTANTIATE_TEST_SUITE_P(
    Timings, LabServiceTest,
    ::testing::Values(LifeCase{"StartAndStop", {300, 300}, {kStartPending, kRunning}, {kStopPending, kStopped}, 0, 0},
                      LifeCase{"FailStart", {200, 0, 0, 42}, {kStartPending, kStopped}, {kStopped},
                               ERROR_SERVICE_SPECIFIC_ERROR, 42},
                      LifeCase{"StopAfterMs", {100, 0, 300}, {kStartPending, kRunning}, {kRunning, kStopped}, 0, 0},
                      LifeCase{"NeverStart", {0, 300, 0, 0, 1}, {kStartPending}, {kStopPending, kStopped}, 0, 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(LabServiceTest, CommandLineInstallsAndRemoves)
{
    EXPECT_NE(0, RunExe(L"install " + _name + L" \"Lab display\" demand Bogus=1"));
    EXPECT_FALSE(Open()) << "a rejected command must install nothing";
    ASSERT_EQ(0, RunExe(L"install " + _name + L" \"Lab display\" demand FailStart=42"));
    DWORD error = 0, size = 256;
    wchar_t key[256] = {};
    ASSERT_TRUE(::GetServiceKeyNameW(_scm.get(), L"Lab display", key, &size)) << ::GetLastError();
    EXPECT_EQ(_name, key);
    _svc = Open();
    // Timings are read at each start.
    ASSERT_TRUE(::StartServiceW(_svc.get(), 0, nullptr)) << ::GetLastError();
    EXPECT_EQ(kStopped, Watch(kStopped).back());
    EXPECT_EQ(42u, _last.dwServiceSpecificExitCode);
    ASSERT_TRUE(SetLabServiceTimings(_name, {}, &error)) << error;
    ASSERT_TRUE(::StartServiceW(_svc.get(), 0, nullptr)) << ::GetLastError();
    EXPECT_EQ(kRunning, Watch(kRunning).back());
    _svc.reset();
    EXPECT_EQ(0, RunExe(L"remove " + _name)) << "stops the service first";
    EXPECT_FALSE(Open());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), ::GetLastError());
    EXPECT_NE(0, RunExe(L"remove " + _name));
}
} // namespace
