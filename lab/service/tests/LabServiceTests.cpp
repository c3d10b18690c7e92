// The lab service under Wine's real service control manager, installed and removed from its command line.
#include "LabServiceInstaller.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <process.h>

#include <string>
#include <vector>

namespace
{
using States = std::vector<DWORD>;
constexpr DWORD kStartPending = SERVICE_START_PENDING, kRunning = SERVICE_RUNNING;
constexpr DWORD kStopPending = SERVICE_STOP_PENDING, kStopped = SERVICE_STOPPED;

// A service name of its own per test, removed before and after.
class LabServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int serial = 0;
        _name = L"KvLabSvc_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
        RemoveLabService(_name, nullptr);
    }
    void TearDown() override
    {
        _svc.reset();
        DWORD error = 0;
        EXPECT_TRUE(RemoveLabService(_name, &error) || error == ERROR_SERVICE_DOES_NOT_EXIST) << error;
    }
    unique_schandle Open() { return unique_schandle(::OpenServiceW(Scm().get(), _name.c_str(), SERVICE_ALL_ACCESS)); }
    static unique_schandle Scm() { return unique_schandle(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)); }
    // Runs the service executable with a command; its exit code.
    intptr_t Run(const std::wstring& command)
    {
        const std::wstring exe = LabServiceExePath();
        return _wspawnl(_P_WAIT, exe.c_str(), (L"\"" + exe + L"\"").c_str(), command.c_str(), nullptr);
    }
    // Polls until the service reaches `until` (or 5 s pass): each state that differs from the one before,
    // the first from `from`.
    States Watch(DWORD until, DWORD from = 0)
    {
        States states{from};
        DWORD needed = 0;
        for (const ULONGLONG start = ::GetTickCount64(); states.back() != until && ::GetTickCount64() - start < 5000;
             ::Sleep(10))
            if (::QueryServiceStatusEx(_svc.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&_last),
                                       sizeof(_last), &needed) &&
                _last.dwCurrentState != states.back())
                states.push_back(_last.dwCurrentState);
        return States(states.begin() + 1, states.end());
    }

    std::wstring _name;
    unique_schandle _svc;
    SERVICE_STATUS_PROCESS _last{};
};

struct LifeCase
{
    const char* label;
    const wchar_t* timings;
    States started; // from the start until the last of these
    States ended;   // then until stopped; passing through STOP_PENDING needs a stop request
    DWORD specificCode = 0;
};

class LifeTest : public LabServiceTest, public ::testing::WithParamInterface<LifeCase> {};

TEST_P(LifeTest, PassesThroughItsStates)
{
    const LifeCase& c = GetParam();
    ASSERT_EQ(0, Run(L"install " + _name + L" \"Lab display\" demand " + c.timings));
    _svc = Open();
    ASSERT_TRUE(::StartServiceW(_svc.get(), 0, nullptr)) << ::GetLastError();
    EXPECT_EQ(c.started, Watch(c.started.back()));
    const unique_handle process(::OpenProcess(SYNCHRONIZE, FALSE, _last.dwProcessId));
    SERVICE_STATUS status{};
    const bool request = c.ended.front() == kStopPending;
    ASSERT_TRUE(!request || ::ControlService(_svc.get(), SERVICE_CONTROL_STOP, &status)) << ::GetLastError();
    // The stop request is only seen when the service gets to it.
    EXPECT_EQ(c.ended, Watch(kStopped, request ? c.started.back() : 0));
    EXPECT_EQ(std::make_pair(c.specificCode ? DWORD(ERROR_SERVICE_SPECIFIC_ERROR) : 0, c.specificCode),
              std::make_pair(_last.dwWin32ExitCode, _last.dwServiceSpecificExitCode));
    EXPECT_TRUE(!process || ::WaitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0) << "threads left running";
}

INSTANTIATE_TEST_SUITE_P(
    Timings, LifeTest,
    ::testing::Values(
        LifeCase{"StartAndStop", L"StartMs=300 StopMs=300", {kStartPending, kRunning}, {kStopPending, kStopped}},
        LifeCase{"FailStart", L"StartMs=200 FailStart=42", {kStartPending, kStopped}, {kStopped}, 42},
        LifeCase{"StopAfterMs", L"StartMs=100 StopAfterMs=300", {kStartPending, kRunning}, {kRunning, kStopped}},
        LifeCase{"NeverStart", L"StopMs=300 NeverStart=1", {kStartPending}, {kStopPending, kStopped}}),
    [](const auto& info) { return std::string(info.param.label); });

// A bad argument installs nothing; new timings hold from the next start; removing stops the service first.
TEST_F(LabServiceTest, CommandLineRefusesBadArgumentsAndRemoves)
{
    EXPECT_NE(0, Run(L"install " + _name + L" \"Lab display\" demand Bogus=1"));
    EXPECT_FALSE(Open()) << "a rejected command must install nothing";
    ASSERT_EQ(0, Run(L"install " + _name + L" \"Lab display\" demand NeverStart=1"));
    DWORD error = 0, size = 256;
    wchar_t key[256] = {};
    ASSERT_TRUE(::GetServiceKeyNameW(Scm().get(), L"Lab display", key, &size)) << ::GetLastError();
    EXPECT_EQ(_name, key);
    ASSERT_TRUE(SetLabServiceTimings(_name, {}, &error)) << error;
    _svc = Open();
    ASSERT_TRUE(::StartServiceW(_svc.get(), 0, nullptr)) << ::GetLastError();
    Watch(kRunning);
    EXPECT_EQ(kRunning, _last.dwCurrentState);
    _svc.reset();
    EXPECT_EQ(0, Run(L"remove " + _name));
    EXPECT_FALSE(Open());
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST), ::GetLastError());
    EXPECT_NE(0, Run(L"remove " + _name));
}
} // namespace
