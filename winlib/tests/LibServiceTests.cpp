// Service control against Wine's real service control manager, with services
// registered from the lab's service executable.
#include "LabServiceInstaller.h"
#include "LibLogger.h"
#include "LibSCM.h"
#include "LibService.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
constexpr DWORD kAllAccess = 0xF01FF;
constexpr DWORD kManagerAllAccess = 0xF003F;

// Replaces the status query and the sleep with scripted ones: the test sees
// every poll and nothing waits for real.
class CScriptedService : public VLibService
{
public:
    CScriptedService()
    {
        s_states.clear();
        s_sleeps.clear();
        s_queries = 0;
        _queryStatus = &Query;
        _sleep = &Sleep;
    }

    // The state each query reports, in order; the last one repeats.
    static std::vector<DWORD> s_states;
    static std::vector<DWORD> s_sleeps;
    static size_t s_queries;

private:
    static BOOL WINAPI Query(SC_HANDLE, LPSERVICE_STATUS status)
    {
        const size_t index = s_queries < s_states.size() ? s_queries : s_states.size() - 1;
        ++s_queries;
        *status = SERVICE_STATUS{};
        status->dwCurrentState = s_states[index];
        return TRUE;
    }
    static void WINAPI Sleep(DWORD ms) { s_sleeps.push_back(ms); }
};
std::vector<DWORD> CScriptedService::s_states;
std::vector<DWORD> CScriptedService::s_sleeps;
size_t CScriptedService::s_queries = 0;

// Registers lab services for one test and removes them afterwards.
class LibServiceTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (const std::wstring& name : _installed)
            RemoveLabService(name, nullptr);
        VLibThreadLogQueue::Global().ClearAll();
    }

    std::wstring Install(const wchar_t* suffix, const LabServiceTimings& timings = {})
    {
        const std::wstring name = std::wstring(L"KvSvcTest") + suffix;
        RemoveLabService(name, nullptr);
        DWORD error = 0;
        EXPECT_TRUE(InstallLabService(name, name + L" Display", SERVICE_DEMAND_START, timings, &error)) << error;
        _installed.push_back(name);
        return name;
    }

    std::vector<std::wstring> _installed;
};

struct ScheduleCase
{
    DWORD timeoutMs;
    std::vector<DWORD> sleeps;
};

class WaitScheduleTest : public LibServiceTest, public ::testing::WithParamInterface<ScheduleCase>
{
};
} // namespace

TEST_P(WaitScheduleTest, PollsEvery50msThenTheRemainderAndTimesOut)
{
    const std::wstring name = Install(L"Schedule");
    CScriptedService service;
    ASSERT_TRUE(service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess).IsSuccess());
    CScriptedService::s_states = {SERVICE_STOP_PENDING};
    VLibThreadLogQueue::Global().RegisterThread();

    const CStatus status = service.WaitForStop(GetParam().timeoutMs);
    EXPECT_EQ(2u, status.GetCategory());
    EXPECT_EQ(258u, status.GetCode());
    EXPECT_EQ(GetParam().sleeps, CScriptedService::s_sleeps);
    EXPECT_EQ(GetParam().sleeps.size() + 1, CScriptedService::s_queries);
    EXPECT_EQ(1u, VLibThreadLogQueue::Global().CountForThisThread()) << "Wait timed out for service ...";
}

INSTANTIATE_TEST_SUITE_P(Timeouts, WaitScheduleTest,
                         ::testing::Values(ScheduleCase{120, {50, 50, 20}}, ScheduleCase{100, {50, 50}},
                                           ScheduleCase{30, {30}}, ScheduleCase{0, {}}));

TEST_F(LibServiceTest, LeavingThePendingStateFailsAtTheNextPoll)
{
    const std::wstring name = Install(L"Leaves");
    CScriptedService service;
    ASSERT_TRUE(service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess).IsSuccess());

    // Finite: the pending check comes only after the first poll.
    CScriptedService::s_states = {SERVICE_STOPPED, SERVICE_START_PENDING, SERVICE_STOPPED};
    CStatus status = service.WaitForStart(60000);
    EXPECT_EQ(6u, status.GetCategory());
    EXPECT_EQ(1u, status.GetCode());
    EXPECT_EQ(2u, CScriptedService::s_sleeps.size());

    // Without limit: a service neither running nor pending fails at once.
    CScriptedService::s_states = {SERVICE_STOPPED};
    CScriptedService::s_sleeps.clear();
    CScriptedService::s_queries = 0;
    status = service.WaitForServiceStatus(SERVICE_RUNNING, SERVICE_START_PENDING, VLibService::kWaitWithoutLimit);
    EXPECT_EQ(6u, status.GetCategory());
    EXPECT_TRUE(CScriptedService::s_sleeps.empty());

    CScriptedService::s_states = {SERVICE_START_PENDING, SERVICE_START_PENDING, SERVICE_START_PENDING,
                                  SERVICE_RUNNING};
    CScriptedService::s_queries = 0;
    status = service.WaitForServiceStatus(SERVICE_RUNNING, SERVICE_START_PENDING, VLibService::kWaitWithoutLimit);
    EXPECT_TRUE(status.IsSuccess());
    EXPECT_EQ((std::vector<DWORD>{100, 100, 100}), CScriptedService::s_sleeps);
}

TEST_F(LibServiceTest, RestartOfARealServiceAndNoControlWhenAlreadyThere)
{
    LabServiceTimings timings;
    timings.startMs = 200;
    timings.stopMs = 200;
    const std::wstring name = Install(L"Restart", timings);
    VLibService service;
    ASSERT_TRUE(service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess).IsSuccess());
    EXPECT_EQ(name, service.GetServiceName());

    EXPECT_TRUE(service.Stop().IsSuccess()) << "stopping a stopped service sends nothing";
    ASSERT_TRUE(service.Start(0, nullptr).IsSuccess());
    ASSERT_TRUE(service.WaitForStart(5000).IsSuccess());
    EXPECT_TRUE(service.Start(0, nullptr).IsSuccess()) << "starting a running service sends nothing";
    ASSERT_TRUE(service.Stop().IsSuccess());
    ASSERT_TRUE(service.WaitForStop(5000).IsSuccess());
    EXPECT_TRUE(service.Stop().IsSuccess());
}

TEST_F(LibServiceTest, ServiceThatStopsWhileStartingGives6Slash1)
{
    LabServiceTimings timings;
    timings.startMs = 300;
    timings.failStart = 42;
    const std::wstring name = Install(L"FailStart", timings);
    VLibService service;
    ASSERT_TRUE(service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess).IsSuccess());
    ASSERT_TRUE(service.Start(0, nullptr).IsSuccess());
    const CStatus status = service.WaitForStart(10000);
    EXPECT_EQ(6u, status.GetCategory());
    EXPECT_EQ(1u, status.GetCode());
}

TEST_F(LibServiceTest, ServiceThatNeverStartsRunsOutOfTime)
{
    LabServiceTimings timings;
    timings.neverStart = 1;
    const std::wstring name = Install(L"Never", timings);
    VLibService service;
    ASSERT_TRUE(service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess).IsSuccess());
    ASSERT_TRUE(service.Start(0, nullptr).IsSuccess());
    const CStatus status = service.WaitForStart(300);
    EXPECT_EQ(2u, status.GetCategory());
    EXPECT_EQ(258u, status.GetCode());
}

TEST_F(LibServiceTest, InstalledByKeyNameByDisplayNameAndMissing)
{
    const std::wstring name = Install(L"Installed");
    VLibSCM manager;
    ASSERT_TRUE(manager.Open(nullptr, kManagerAllAccess).IsSuccess());

    bool installed = false;
    EXPECT_TRUE(manager.IsServiceInstalled(name.c_str(), installed).IsSuccess());
    EXPECT_TRUE(installed);
    installed = false;
    EXPECT_TRUE(manager.IsServiceInstalled((name + L" Display").c_str(), installed).IsSuccess());
    EXPECT_TRUE(installed) << "found through its display name";
    installed = true;
    EXPECT_TRUE(manager.IsServiceInstalled(L"KvSvcTestNoSuchService", installed).IsSuccess());
    EXPECT_FALSE(installed);

    VLibService byDisplay;
    ASSERT_TRUE(manager.OpenServiceW((name + L" Display").c_str(), GENERIC_READ, byDisplay).IsSuccess());
    EXPECT_EQ(name, byDisplay.GetServiceName()) << "opened under its key name";
}

TEST_F(LibServiceTest, OpeningAMissingServiceGives1060)
{
    VLibService service;
    const CStatus status = service.Open(L"KvSvcTestNoSuchService", kAllAccess, nullptr, kManagerAllAccess);
    EXPECT_EQ(2u, status.GetCategory());
    EXPECT_EQ(static_cast<uint32_t>(ERROR_SERVICE_DOES_NOT_EXIST), status.GetCode());
    EXPECT_FALSE(service.IsOpen());
}

TEST(LibSCMTests, CloseOfANeverOpenedManagerAndASecondCloseSucceed)
{
    VLibSCM manager;
    EXPECT_TRUE(manager.Close().IsSuccess());
    ASSERT_TRUE(manager.Open(nullptr, kManagerAllAccess).IsSuccess());
    EXPECT_TRUE(manager.Close().IsSuccess());
    EXPECT_TRUE(manager.Close().IsSuccess());
    EXPECT_FALSE(manager.IsOpen());
}
