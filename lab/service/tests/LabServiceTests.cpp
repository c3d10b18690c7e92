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

struct LifeCase
{
    const char* label;
    const wchar_t* timings;
    DWORD stopIn;  // the state in which a stop is requested, if any
    States states; // from the start until stopped
    DWORD specificCode = 0;
};

// Runs the service executable with a command; its exit code.
intptr_t RunExe(const std::wstring& command)
{
    const std::wstring exe = LabServiceExePath();
    return _wspawnl(_P_WAIT, exe.c_str(), (L"\"" + exe + L"\"").c_str(), command.c_str(), nullptr);
}

// A service name of its own per case, removed at the end even if the case failed half-way.
class LifeTest : public ::testing::TestWithParam<LifeCase>
{
protected:
    ~LifeTest() override { RemoveLabService(_name, nullptr); }

    inline static int _serial = 0;
    const std::wstring _name =
        L"KvLabSvc_" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::to_wstring(++_serial);
};

TEST_P(LifeTest, PassesThroughItsStates)
{
    const LifeCase& c = GetParam();
    const std::wstring install = L"install " + _name + L" \"Lab display\" demand ";
    EXPECT_NE(0, RunExe(install + L"Bogus=1")) << "refused, and it installs nothing: the next install succeeds";
    ASSERT_EQ(0, RunExe(install + c.timings));
    const unique_schandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    unique_schandle svc(::OpenServiceW(scm.get(), _name.c_str(), SERVICE_ALL_ACCESS));
    ASSERT_TRUE(::StartServiceW(svc.get(), 0, nullptr)) << ::GetLastError();
    // Polled, as nothing signals a state change: each new state until stopped or 5 s pass.
    States states;
    unique_handle process;
    SERVICE_STATUS_PROCESS now{};
    DWORD needed = 0, state = 0;
    for (const ULONGLONG end = ::GetTickCount64() + 5000; state != kStopped && ::GetTickCount64() < end; ::Sleep(10))
        if (::QueryServiceStatusEx(svc.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&now), sizeof(now),
                                   &needed) && now.dwCurrentState != state)
        {
            states.push_back(state = now.dwCurrentState);
            if (!process)
                process.reset(::OpenProcess(SYNCHRONIZE, FALSE, now.dwProcessId));
            SERVICE_STATUS status{};
            EXPECT_TRUE(state != c.stopIn || ::ControlService(svc.get(), SERVICE_CONTROL_STOP, &status))
                << ::GetLastError();
        }
    EXPECT_EQ(c.states, states);
    EXPECT_EQ(std::make_pair(c.specificCode ? DWORD(ERROR_SERVICE_SPECIFIC_ERROR) : 0, c.specificCode),
              std::make_pair(now.dwWin32ExitCode, now.dwServiceSpecificExitCode));
    EXPECT_TRUE(!process || ::WaitForSingleObject(process.get(), 5000) == WAIT_OBJECT_0) << "threads left running";
    svc.reset(); // removal is complete only once no handle is left
    EXPECT_EQ(0, RunExe(L"remove " + _name));
    EXPECT_NE(0, RunExe(L"remove " + _name)) << "nothing left to remove";
}

INSTANTIATE_TEST_SUITE_P(Timings, LifeTest, ::testing::Values(
    LifeCase{"StartAndStop", L"StartMs=300 StopMs=300", kRunning, {kStartPending, kRunning, kStopPending, kStopped}},
    LifeCase{"FailStart", L"StartMs=200 FailStart=42", 0, {kStartPending, kStopped}, 42},
    LifeCase{"StopAfterMs", L"StartMs=100 StopAfterMs=300", 0, {kStartPending, kRunning, kStopped}},
    LifeCase{"NeverStart", L"StopMs=300 NeverStart=1", kStartPending, {kStartPending, kStopPending, kStopped}}),
    [](const auto& info) { return std::string(info.param.label); });
} // namespace
