// Service control against Wine's real service control manager, with services of the lab's own executable.
#include "LabServiceInstaller.h"
#include "LibLogger.h"
#include "LibSCM.h"
#include "LibService.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <tuple>
#include <vector>

namespace
{
constexpr DWORD kAllAccess = 0xF01FF;
constexpr DWORD kManagerAllAccess = 0xF003F;

// Scripted status queries and sleeps: the test sees every poll and nothing waits for real.
class CScriptedService : public VLibService
{
public:
    explicit CScriptedService(std::vector<DWORD> states)
    {
        s_states = std::move(states);
        s_sleeps.clear();
        s_queries = 0;
        _queryStatus = &Query;
        _sleep = &Sleep;
    }

    // The state each query reports, in order; the last one repeats.
    inline static std::vector<DWORD> s_states;
    inline static std::vector<DWORD> s_sleeps;
    inline static size_t s_queries = 0;

private:
    static BOOL WINAPI Query(SC_HANDLE, LPSERVICE_STATUS status)
    {
        *status = SERVICE_STATUS{};
        status->dwCurrentState = s_states[std::min(s_queries++, s_states.size() - 1)];
        return TRUE;
    }
    static void WINAPI Sleep(DWORD ms) { s_sleeps.push_back(ms); }
};

// Registers a lab service for one test and removes it afterwards.
class LibServiceTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        RemoveLabService(_installed, nullptr);
        VLibThreadLogQueue::Global().ClearAll();
    }

    std::wstring Install(const wchar_t* suffix, const LabServiceTimings& timings = {})
    {
        const std::wstring name = std::wstring(L"KvSvcTest") + suffix;
        RemoveLabService(name, nullptr);
        DWORD error = 0;
        EXPECT_TRUE(InstallLabService(name, name + L" Display", SERVICE_DEMAND_START, timings, &error)) << error;
        return _installed = name;
    }

    std::wstring _installed; // one service a test
};

// One scripted wait: the states the queries report, and how it ends.
struct WaitCase
{
    const char* name;
    CStatus (VLibService::*wait)(DWORD timeoutMs);
    DWORD timeoutMs;
    std::vector<DWORD> states;
    uint32_t category, code;
    std::vector<DWORD> sleeps; // one more query than sleeps, each time
};

class WaitTest : public LibServiceTest, public ::testing::WithParamInterface<WaitCase>
{
};

const WaitCase kWaits[] = {
    // Every 50 ms, then the remainder, then the time-out.
    {"Timeout120", &VLibService::WaitForStop, 120, {SERVICE_STOP_PENDING}, 2, 258, {50, 50, 20}},
    {"Timeout100", &VLibService::WaitForStop, 100, {SERVICE_STOP_PENDING}, 2, 258, {50, 50}},
    {"Timeout30", &VLibService::WaitForStop, 30, {SERVICE_STOP_PENDING}, 2, 258, {30}},
    {"Timeout0", &VLibService::WaitForStop, 0, {SERVICE_STOP_PENDING}, 2, 258, {}},
    // Leaving the pending state fails at the next poll; with a limit, the check comes only after the first one.
    {"StopsWhileStarting", &VLibService::WaitForStart, 60000,
     {SERVICE_STOPPED, SERVICE_START_PENDING, SERVICE_STOPPED}, 6, 1, {50, 50}},
    {"UnboundedNotPending", &VLibService::WaitForStart, VLibService::kWaitWithoutLimit, {SERVICE_STOPPED}, 6, 1, {}},
    {"UnboundedUntilRunning", &VLibService::WaitForStart, VLibService::kWaitWithoutLimit,
     {SERVICE_START_PENDING, SERVICE_START_PENDING, SERVICE_START_PENDING, SERVICE_RUNNING}, 0, 0, {100, 100, 100}},
};
} // namespace

TEST_P(WaitTest, PollsOnScheduleAndEndsInItsStatus)
{
    const std::wstring name = Install(L"Wait");
    CScriptedService service(GetParam().states);
    ASSERT_TRUE(service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess).IsSuccess());
    VLibThreadLogQueue::Global().RegisterThread();
    const CStatus status = (service.*GetParam().wait)(GetParam().timeoutMs);
    EXPECT_EQ(GetParam().category, status.GetCategory());
    EXPECT_EQ(GetParam().code, status.GetCode());
    EXPECT_EQ(GetParam().sleeps, CScriptedService::s_sleeps);
    EXPECT_EQ(GetParam().sleeps.size() + 1, CScriptedService::s_queries);
    EXPECT_EQ(GetParam().code == 258 ? 1u : 0u, VLibThreadLogQueue::Global().CountForThisThread()); // "Wait timed out"
}

INSTANTIATE_TEST_SUITE_P(Waits, WaitTest, ::testing::ValuesIn(kWaits),
                         [](const ::testing::TestParamInfo<WaitCase>& info) { return info.param.name; });

TEST_F(LibServiceTest, RestartOfARealServiceAndNoControlWhenAlreadyThere)
{
    const std::wstring name = Install(L"Restart", {200, 200}); // milliseconds in each pending state
    VLibService service;
    ASSERT_TRUE(service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess).IsSuccess());
    EXPECT_TRUE(service.Stop().IsSuccess()) << "stopping a stopped service sends nothing";
    ASSERT_TRUE(service.Start(0, nullptr).IsSuccess());
    ASSERT_TRUE(service.WaitForStart(5000).IsSuccess());
    EXPECT_TRUE(service.Start(0, nullptr).IsSuccess()) << "starting a running service sends nothing";
    ASSERT_TRUE(service.Stop().IsSuccess());
    EXPECT_TRUE(service.WaitForStop(5000).IsSuccess());
}

// The same two endings with Wine's real service manager: a service that gives
// up while starting, and one that never finishes starting.
TEST_F(LibServiceTest, RealServiceThatStopsWhileStartingAndOneThatNeverStarts)
{
    for (const auto& [timings, timeoutMs, category, code] :
         {std::tuple<LabServiceTimings, DWORD, uint32_t, uint32_t>{{300, 0, 0, 42, 0}, 10000, 6, 1},
          std::tuple<LabServiceTimings, DWORD, uint32_t, uint32_t>{{0, 0, 0, 0, 1}, 300, 2, 258}})
    {
        RemoveLabService(_installed, nullptr);
        const std::wstring name = Install(L"Ending", timings);
        VLibService service;
        ASSERT_TRUE(service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess).IsSuccess());
        ASSERT_TRUE(service.Start(0, nullptr).IsSuccess());
        const CStatus status = service.WaitForStart(timeoutMs);
        EXPECT_EQ(category, status.GetCategory());
        EXPECT_EQ(code, status.GetCode());
    }
}

TEST_F(LibServiceTest, InstalledByKeyNameByDisplayNameAndMissing)
{
    const std::wstring name = Install(L"Installed");
    VLibSCM manager;
    ASSERT_TRUE(manager.Open(nullptr, kManagerAllAccess).IsSuccess());

    const std::pair<std::wstring, bool> lookups[] = {
        {name, true}, {name + L" Display", true}, {L"KvSvcTestNoSuchService", false}};
    for (const auto& [lookup, expected] : lookups)
    {
        bool installed = !expected;
        EXPECT_TRUE(manager.IsServiceInstalled(lookup.c_str(), installed).IsSuccess()) << lookup;
        EXPECT_EQ(expected, installed) << lookup;
    }
    VLibService byDisplay, missing;
    ASSERT_TRUE(manager.OpenServiceW((name + L" Display").c_str(), GENERIC_READ, byDisplay).IsSuccess());
    EXPECT_EQ(name, byDisplay.GetServiceName()) << "opened under its key name";
    const CStatus status = missing.Open(L"KvSvcTestNoSuchService", kAllAccess, nullptr, kManagerAllAccess);
    EXPECT_EQ(2u, status.GetCategory());
    EXPECT_EQ(static_cast<uint32_t>(ERROR_SERVICE_DOES_NOT_EXIST), status.GetCode());
    EXPECT_FALSE(missing.IsOpen());
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
