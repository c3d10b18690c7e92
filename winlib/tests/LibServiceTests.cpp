// Service control against Wine's real service control manager, with services of the lab's own executable.
// Waits run on a fake clock; the lab backend fails the manager's calls on demand and counts them.
#include "FakeClock.h"
#include "LabFaults.h"
#include "LabServiceInstaller.h"
#include "LibLogger.h"
#include "LibSCM.h"
#include "LibService.h"
#include "RecordingLogOutput.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace
{
using KvLab::Entry;
using Traces = std::vector<std::wstring>;
constexpr DWORD kAllAccess = 0xF01FF;
constexpr DWORD kManagerAllAccess = 0xF003F;
const LabServiceTimings kNeverStarts{0, 0, 0, 0, 1};

// The service manager's handle of a lab service, for what the test does past the library.
unique_schandle Handle(const std::wstring& name)
{
    unique_schandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    return unique_schandle(
        ::OpenServiceW(scm.get(), name.c_str(), SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP));
}

// Waits in real time until the service manager reports a state other than
// `pending` (after a stop request when stop is set): the condition a fake poll needs.
void Settle(const std::wstring& name, DWORD pending, bool stop = false)
{
    const unique_schandle service = Handle(name);
    SERVICE_STATUS status{};
    ASSERT_TRUE(!stop || ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) << ::GetLastError();
    for (const ULONGLONG start = ::GetTickCount64(); ::GetTickCount64() - start < 10000; ::Sleep(10))
    {
        ASSERT_TRUE(::QueryServiceStatus(service.get(), &status)) << ::GetLastError();
        if (status.dwCurrentState != pending)
            return;
    }
    FAIL() << "the service stayed in state " << status.dwCurrentState;
}

// Registers a lab service for one test and removes it afterwards; records the
// library's traces and runs every wait on the fake clock.
class LibServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        KvLab::ResetFaults();
        _previousOutput = VLibThreadLogQueue::Global().GetLogImpl();
        VLibThreadLogQueue::Global().SetLogImpl(&_output);
        VLibThreadLogQueue::Global().RegisterThread();
    }
    void TearDown() override
    {
        RemoveLabService(_installed, nullptr);
        VLibThreadLogQueue::Global().ClearAll();
        VLibThreadLogQueue::Global().SetLogImpl(_previousOutput);
    }

    std::wstring Install(const LabServiceTimings& timings = {}, bool start = false)
    {
        const std::wstring name = L"KvSvcTest";
        RemoveLabService(name, nullptr);
        DWORD error = 0;
        EXPECT_TRUE(InstallLabService(name, name + L" Display", SERVICE_DEMAND_START, timings, &error)) << error;
        if (start)
        {
            EXPECT_TRUE(::StartServiceW(Handle(name).get(), 0, nullptr)) << ::GetLastError();
        }
        return _installed = name;
    }

    // The calling thread's traces since the last call, without the dump's frame.
    Traces TakeTraces()
    {
        _output.written.clear();
        VLibThreadLogQueue::Global().Dump();
        Traces traces;
        for (const Written& line : _output.written)
            if (line.module != ".\\LibLogger")
                traces.push_back(line.message);
        return traces;
    }

    CFakeClock _clock;
    CRecordingOutput _output;
    VLibLogImpl* _previousOutput = nullptr;
    std::wstring _installed;
};

// A wait on a real service: before the `at`-th fake sleep the test stops it
// (stopAt) or lets it settle (settleAt); failQuery fails that status query.
struct WaitCase
{
    const char* name;
    LabServiceTimings timings;
    bool started;
    CStatus (VLibService::*wait)(DWORD timeoutMs);
    DWORD timeoutMs;
    uint32_t category, code;
    std::vector<DWORD> sleeps; // one query more than sleeps, each time
    size_t stopAt = 0, settleAt = 0;
    uint32_t failQuery = 0;
};

class WaitTest : public LibServiceTest, public ::testing::WithParamInterface<WaitCase>
{
};

constexpr DWORD kUnbounded = VLibService::kWaitWithoutLimit;

const WaitCase kWaits[] = {
    // Every 50 ms, then the remainder, then the time-out.
    {"Timeout120", kNeverStarts, true, &VLibService::WaitForStart, 120, 2, 258, {50, 50, 20}},
    {"Timeout100", kNeverStarts, true, &VLibService::WaitForStart, 100, 2, 258, {50, 50}},
    {"Timeout30", kNeverStarts, true, &VLibService::WaitForStart, 30, 2, 258, {30}},
    {"Timeout0", kNeverStarts, true, &VLibService::WaitForStart, 0, 2, 258, {}},
    {"AlreadyThere", {}, false, &VLibService::WaitForStop, 60000, 0, 0, {}},
    // Leaving the pending state fails at the next poll; with a limit, the check comes only after the first one.
    {"StopsWhileStarting", kNeverStarts, true, &VLibService::WaitForStart, 60000, 6, 1, {50, 50}, 2},
    {"NotPending", {}, false, &VLibService::WaitForStart, 60000, 6, 1, {50}},
    {"UnboundedNotPending", {}, false, &VLibService::WaitForStart, kUnbounded, 6, 1, {}},
    {"UnboundedStopsWhileStarting", kNeverStarts, true, &VLibService::WaitForStart, kUnbounded, 6, 1, {100, 100}, 2},
    {"UnboundedUntilRunning", {500}, true, &VLibService::WaitForStart, kUnbounded, 0, 0, {100, 100, 100}, 0, 3},
    {"UntilStopped", {0, 500}, true, &VLibService::WaitForStop, 60000, 0, 0, {50, 50}, 0, 2},
    // A failed query ends the wait wherever it comes.
    {"FirstQueryFails", kNeverStarts, true, &VLibService::WaitForStart, 60000, 2, 5, {}, 0, 0, 1},
    {"PollFails", kNeverStarts, true, &VLibService::WaitForStart, 60000, 2, 5, {50, 50}, 0, 0, 3},
    {"UnboundedPollFails", kNeverStarts, true, &VLibService::WaitForStart, kUnbounded, 2, 5, {100}, 0, 0, 2},
};
} // namespace

TEST_P(WaitTest, PollsOnScheduleAndEndsInItsStatus)
{
    const WaitCase& c = GetParam();
    const std::wstring name = Install(c.timings, c.started);
    VLibService service;
    ASSERT_TRUE(service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess).IsSuccess());
    const bool stopping = c.wait == &VLibService::WaitForStop;
    // A started service is stopped before a wait for its stop, which takes a while.
    if (stopping && c.started)
    {
        Settle(name, SERVICE_START_PENDING);
        ASSERT_TRUE(service.Stop().IsSuccess());
    }
    KvLab::ResetFaults();
    KvLab::FailCall(Entry::QueryServiceStatus, c.failQuery, ERROR_ACCESS_DENIED);
    _clock.onSleep = [&](size_t sleeps) {
        if (sleeps == c.stopAt || sleeps == c.settleAt)
            Settle(name, stopping ? SERVICE_STOP_PENDING : SERVICE_START_PENDING, sleeps == c.stopAt);
    };
    TakeTraces();
    const CStatus status = (service.*c.wait)(c.timeoutMs);
    EXPECT_EQ(c.category, status.GetCategory());
    EXPECT_EQ(c.code, status.GetCode());
    EXPECT_EQ(c.sleeps, _clock.sleeps);
    EXPECT_EQ(c.sleeps.size() + 1, KvLab::CallCount(Entry::QueryServiceStatus));
    const Traces expected = c.code == 258 ? Traces{L"Wait timed out for service KvSvcTest"}
                            : c.code == 5 ? Traces{L"(5) Failed to query service status of KvSvcTest."}
                                          : Traces{};
    EXPECT_EQ(expected, TakeTraces());
}

INSTANTIATE_TEST_SUITE_P(Waits, WaitTest, ::testing::ValuesIn(kWaits),
                         [](const ::testing::TestParamInfo<WaitCase>& info) { return info.param.name; });

// A failing call of the service manager: the status and the traces on the way out.
struct FaultCase
{
    const char* name;
    Entry entry;
    uint32_t call;
    DWORD error;
    bool started; // never finishes starting
    std::function<CStatus(const std::wstring& name)> run;
    Traces traces;
};

class FaultTest : public LibServiceTest, public ::testing::WithParamInterface<FaultCase>
{
};

CStatus OpenByName(const std::wstring& name)
{
    VLibService service;
    return service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess);
}

// Opens the service for real, then runs one operation on it.
std::function<CStatus(const std::wstring&)> OnOpened(CStatus (*operation)(VLibService&))
{
    return [operation](const std::wstring& name) {
        VLibService service;
        const CStatus opened = service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess);
        return opened.IsSuccess() ? operation(service) : opened;
    };
}

const auto kStartService = OnOpened([](VLibService& service) { return service.Start(0, nullptr); });
const auto kStopService = OnOpened([](VLibService& service) { return service.Stop(); });
const auto kByDisplayName = [](const std::wstring& name) { return OpenByName(name + L" Display"); };

// An open by display name first fails by key name; then come the given traces.
Traces ByDisplayName(std::initializer_list<std::wstring> then)
{
    Traces traces{L"(1060) Failed to open service KvSvcTest Display.",
                  L"(1060) OpenService failed for KvSvcTest Display, dwAccess=983551"};
    traces.insert(traces.end(), then);
    return traces;
}

INSTANTIATE_TEST_SUITE_P(
    Calls, FaultTest,
    ::testing::Values(FaultCase{"Manager",
                                Entry::OpenSCManagerW,
                                1,
                                ERROR_ACCESS_DENIED,
                                false,
                                OpenByName,
                                {L"(5) Failed to open the service manager. service = 'KvSvcTest'"}},
                      // Only a missing service or a bad name may be a display name.
                      FaultCase{"ServiceDenied",
                                Entry::OpenServiceW,
                                1,
                                ERROR_ACCESS_DENIED,
                                false,
                                OpenByName,
                                {L"(5) Failed to open service KvSvcTest.",
                                 L"(5) OpenService failed for KvSvcTest, dwAccess=983551",
                                 L"(5) Failed to open the service 'KvSvcTest'."}},
                      FaultCase{"KeyNameSize",
                                Entry::GetServiceKeyNameW,
                                1,
                                ERROR_ACCESS_DENIED,
                                false,
                                kByDisplayName,
                                {L"(1060) Failed to open service KvSvcTest Display.",
                                 L"(1060) OpenService failed for KvSvcTest Display, dwAccess=983551",
                                 L"(5) GetServiceKeyName failed. DispName=KvSvcTest Display.",
                                 L"(5) GetKeyName failed for KvSvcTest Display",
                                 L"(5) Failed to open the service 'KvSvcTest Display'."}},
                      FaultCase{"KeyName",
                                Entry::GetServiceKeyNameW,
                                2,
                                ERROR_NOT_ENOUGH_MEMORY,
                                false,
                                kByDisplayName,
                                {L"(1060) Failed to open service KvSvcTest Display.",
                                 L"(1060) OpenService failed for KvSvcTest Display, dwAccess=983551",
                                 L"(8) GetServiceKeyName failed. DispName=KvSvcTest Display.",
                                 L"(8) GetKeyName failed for KvSvcTest Display",
                                 L"(8) Failed to open the service 'KvSvcTest Display'."}},
                      FaultCase{"ByKeyName",
                                Entry::OpenServiceW,
                                2,
                                ERROR_ACCESS_DENIED,
                                false,
                                kByDisplayName,
                                {L"(1060) Failed to open service KvSvcTest Display.",
                                 L"(1060) OpenService failed for KvSvcTest Display, dwAccess=983551",
                                 L"(5) Failed to open service KvSvcTest.",
                                 L"(5) Failed to open svc KvSvcTest Display(KvSvcTest), access=983551",
                                 L"(5) Failed to open the service 'KvSvcTest Display'."}},
                      FaultCase{"StartQuery",
                                Entry::QueryServiceStatus,
                                1,
                                ERROR_ACCESS_DENIED,
                                false,
                                kStartService,
                                {L"(5) Failed to query service status of KvSvcTest."}},
                      FaultCase{"Start",
                                Entry::StartServiceW,
                                1,
                                ERROR_SERVICE_DISABLED,
                                false,
                                kStartService,
                                {L"(1058) Failed to start the service KvSvcTest. State=1."}},
                      FaultCase{"StopQuery",
                                Entry::QueryServiceStatus,
                                1,
                                ERROR_INVALID_HANDLE,
                                true,
                                kStopService,
                                {L"(6) Failed to query service status of KvSvcTest."}},
                      FaultCase{"Stop",
                                Entry::ControlService,
                                1,
                                ERROR_SERVICE_CANNOT_ACCEPT_CTRL,
                                true,
                                kStopService,
                                {L"(1061) ControlService failed for service KvSvcTest. state = 2."}},
                      FaultCase{"Installed",
                                Entry::OpenServiceW,
                                1,
                                ERROR_ACCESS_DENIED,
                                false,
                                [](const std::wstring& name) {
                                    VLibSCM manager;
                                    bool installed = true;
                                    const CStatus opened = manager.Open(nullptr, kManagerAllAccess);
                                    const CStatus status = opened.IsSuccess()
                                                               ? manager.IsServiceInstalled(name.c_str(), installed)
                                                               : opened;
                                    EXPECT_FALSE(installed);
                                    return status;
                                },
                                {L"(5) Failed to open service KvSvcTest.",
                                 L"(5) OpenService failed for KvSvcTest, dwAccess=-2147483648",
                                 L"(5) OpenService failed for 'KvSvcTest'"}}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST_P(FaultTest, FailsWithTheCallsErrorAndTracesTheWayOut)
{
    const FaultCase& c = GetParam();
    const std::wstring name = Install(kNeverStarts, c.started);
    KvLab::ResetFaults();
    KvLab::FailCall(c.entry, c.call, c.error);
    TakeTraces();
    const CStatus status = c.run(name);
    EXPECT_EQ(2u, status.GetCategory());
    EXPECT_EQ(c.error, status.GetCode());
    EXPECT_EQ(c.traces, TakeTraces());
}

// A service hung in its start refuses the stop request itself.
TEST_F(LibServiceTest, StopOfAHungStartIsRefused)
{
    LabServiceTimings hung;
    hung.startMs = 1000;
    hung.refuseStop = 1;
    const CStatus status = kStopService(Install(hung, true));
    EXPECT_EQ(2u, status.GetCategory());
    EXPECT_EQ(static_cast<uint32_t>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL), status.GetCode());
    EXPECT_EQ((Traces{L"(1061) ControlService failed for service KvSvcTest. state = 2."}), TakeTraces());
}

TEST_F(LibServiceTest, RestartOfARealServiceAndNoControlWhenAlreadyThere)
{
    const std::wstring name = Install({200, 200}); // milliseconds in each pending state
    _clock.onSleep = [&](size_t) { Settle(name, SERVICE_START_PENDING); };
    VLibService service;
    ASSERT_TRUE(service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess).IsSuccess());
    EXPECT_TRUE(service.Stop().IsSuccess()) << "stopping a stopped service sends nothing";
    ASSERT_TRUE(service.Start(0, nullptr).IsSuccess());
    ASSERT_TRUE(service.WaitForStart(5000).IsSuccess());
    KvLab::ResetFaults();
    EXPECT_TRUE(service.Start(0, nullptr).IsSuccess()) << "starting a running service sends nothing";
    EXPECT_EQ(0u, KvLab::CallCount(Entry::StartServiceW));
    ASSERT_TRUE(service.Stop().IsSuccess());
    _clock.onSleep = [&](size_t) { Settle(name, SERVICE_STOP_PENDING); };
    EXPECT_TRUE(service.WaitForStop(5000).IsSuccess());
}

TEST_F(LibServiceTest, InstalledByKeyNameByDisplayNameAndMissing)
{
    const std::wstring name = Install();
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
