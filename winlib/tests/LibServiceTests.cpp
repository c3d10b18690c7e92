// Services of the lab's own executable in Wine's real service manager; waits run on a fake clock, and the
// lab backend fails the manager's calls on demand and counts them.
#include "FakeClock.h"
#include "LabFaults.h"
#include "LabServiceInstaller.h"
#include "LibLogger.h"
#include "LibSCM.h"
#include "LibService.h"
#include "RecordingLogOutput.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using KvLab::Entry;
using Traces = std::vector<std::wstring>;
constexpr DWORD kAllAccess = 0xF01FF, kManagerAllAccess = 0xF003F;
const LabServiceTimings kNeverStarts{0, 0, 0, 0, 1};

// The service manager's handle of a lab service, for what the test does past the library.
unique_schandle Handle(const std::wstring& name)
{
    unique_schandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    return unique_schandle(
        ::OpenServiceW(scm.get(), name.c_str(), SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP));
}

// Waits in real time until the service manager reports a state other than
// `pending`: the condition a fake poll needs.
void Settle(const std::wstring& name, DWORD pending)
{
    const unique_schandle service = Handle(name);
    SERVICE_STATUS status{};
    for (const ULONGLONG start = ::GetTickCount64(); ::GetTickCount64() - start < 10000; ::Sleep(10))
    {
        ASSERT_TRUE(::QueryServiceStatus(service.get(), &status)) << ::GetLastError();
        if (status.dwCurrentState != pending)
            return;
    }
    FAIL() << "the service stayed in state " << status.dwCurrentState;
}

CStatus OpenByName(const std::wstring& name, VLibService& service)
{
    return service.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess);
}

std::pair<uint32_t, uint32_t> Pair(const CStatus& status) { return {status.GetCategory(), status.GetCode()}; }

// Registers the lab service "KvSvcTest" for one test and removes it afterwards;
// records the library's traces and runs every wait on the fake clock.
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
        RemoveLabService(_name, nullptr);
        VLibThreadLogQueue::Global().ClearAll();
        VLibThreadLogQueue::Global().SetLogImpl(_previousOutput);
    }
    void Install(const LabServiceTimings& timings = {}, bool start = false)
    {
        RemoveLabService(_name, nullptr);
        DWORD error = 0;
        EXPECT_TRUE(InstallLabService(_name, _name + L" Display", SERVICE_DEMAND_START, timings, &error)) << error;
        EXPECT_TRUE(!start || ::StartServiceW(Handle(_name).get(), 0, nullptr)) << ::GetLastError();
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

    const std::wstring _name = L"KvSvcTest";
    CFakeClock _clock;
    CRecordingOutput _output;
    VLibLogImpl* _previousOutput = nullptr;
};

// A wait for the start of a real service; before the settleAt-th fake sleep the
// test lets it leave START_PENDING; failQuery fails that status query.
struct WaitCase
{
    const char* name;
    LabServiceTimings timings;
    bool started;
    DWORD timeoutMs;
    uint32_t category, code; // of the status
    std::vector<DWORD> sleeps; // one query more than sleeps, each time
    size_t settleAt = 0;
    uint32_t failQuery = 0;
};

class WaitTest : public LibServiceTest, public ::testing::WithParamInterface<WaitCase> {};

constexpr DWORD kUnbounded = VLibService::kWaitWithoutLimit;

const WaitCase kWaits[] = {
    // Every 50 ms, then the remainder, then the time-out.
    {"Timeout120", kNeverStarts, true, 120, 2, 258, {50, 50, 20}},
    {"Timeout0", kNeverStarts, true, 0, 2, 258, {}},
    {"UntilRunning", {500}, true, 60000, 0, 0, {50, 50}, 2},
    {"UnboundedUntilRunning", {500}, true, kUnbounded, 0, 0, {100, 100, 100}, 3},
    // Leaving the pending state fails at the next poll; with a limit, the check comes only after the first one.
    {"NotPending", {}, false, 60000, 6, 1, {50}},
    {"UnboundedNotPending", {}, false, kUnbounded, 6, 1, {}},
    // A failed query ends the wait wherever it comes.
    {"FirstQueryFails", kNeverStarts, true, 60000, 2, 5, {}, 0, 1},
    {"PollFails", kNeverStarts, true, 60000, 2, 5, {50, 50}, 0, 3},
    {"UnboundedPollFails", kNeverStarts, true, kUnbounded, 2, 5, {100}, 0, 2},
};

TEST_P(WaitTest, PollsOnScheduleAndEndsInItsStatus)
{
    const WaitCase& c = GetParam();
    Install(c.timings, c.started);
    VLibService service;
    ASSERT_TRUE(OpenByName(_name, service).IsSuccess());
    KvLab::FailCall(Entry::QueryServiceStatus, c.failQuery, ERROR_ACCESS_DENIED);
    _clock.onSleep = [&](size_t sleeps) { if (sleeps == c.settleAt) Settle(_name, SERVICE_START_PENDING); };
    TakeTraces();
    EXPECT_EQ(std::make_pair(c.category, c.code), Pair(service.WaitForStart(c.timeoutMs)));
    EXPECT_EQ(c.sleeps, _clock.sleeps);
    EXPECT_EQ(c.sleeps.size() + 1, KvLab::CallCount(Entry::QueryServiceStatus));
    EXPECT_EQ(c.code == 258 ? Traces{L"Wait timed out for service KvSvcTest"}
              : c.code == 5 ? Traces{L"(5) Failed to query service status of KvSvcTest."} : Traces{}, TakeTraces());
}

INSTANTIATE_TEST_SUITE_P(Waits, WaitTest, ::testing::ValuesIn(kWaits),
                         [](const ::testing::TestParamInfo<WaitCase>& info) { return info.param.name; });

// A failing call of the service manager (the call-th of entry, none for 0):
// the status 2/error, and the trace that the failure leaves last.
struct FaultCase
{
    const char* name;
    Entry entry;
    uint32_t call, error;
    const LabServiceTimings* started; // null: installed only
    const wchar_t* suffix;                   // to the service's name
    CStatus (*operation)(VLibService& opened); // after a successful open, if any
    std::wstring trace;
};

class FaultTest : public LibServiceTest, public ::testing::WithParamInterface<FaultCase> {};

const auto kStart = +[](VLibService& service) { return service.Start(0, nullptr); };
const auto kStop = +[](VLibService& service) { return service.Stop(); };
// Hung in its start, the service itself refuses a stop request.
const LabServiceTimings kHung{1000, 0, 0, 0, 0, 1};

// Only a missing service (1060) or a bad name may be a display name, whose key name is looked up.
INSTANTIATE_TEST_SUITE_P(
    Calls, FaultTest,
    ::testing::Values(
        FaultCase{"Manager", Entry::OpenSCManagerW, 1, ERROR_ACCESS_DENIED, nullptr, L"", nullptr,
                  L"(5) Failed to open the service manager. service = 'KvSvcTest'"},
        FaultCase{"ServiceDenied", Entry::OpenServiceW, 1, ERROR_ACCESS_DENIED, nullptr, L"", nullptr,
                  L"(5) Failed to open the service 'KvSvcTest'."},
        FaultCase{"KeyNameSize", Entry::GetServiceKeyNameW, 1, ERROR_ACCESS_DENIED, nullptr, L" Display", nullptr,
                  L"(5) Failed to open the service 'KvSvcTest Display'."},
        FaultCase{"KeyName", Entry::GetServiceKeyNameW, 2, ERROR_NOT_ENOUGH_MEMORY, nullptr, L" Display", nullptr,
                  L"(8) Failed to open the service 'KvSvcTest Display'."},
        FaultCase{"ByKeyName", Entry::OpenServiceW, 2, ERROR_ACCESS_DENIED, nullptr, L" Display", nullptr,
                  L"(5) Failed to open the service 'KvSvcTest Display'."},
        FaultCase{"StartQuery", Entry::QueryServiceStatus, 1, ERROR_ACCESS_DENIED, nullptr, L"", kStart,
                  L"(5) Failed to query service status of KvSvcTest."},
        FaultCase{"Start", Entry::StartServiceW, 1, ERROR_SERVICE_DISABLED, nullptr, L"", kStart,
                  L"(1058) Failed to start the service KvSvcTest. State=1."},
        FaultCase{"StopQuery", Entry::QueryServiceStatus, 1, ERROR_INVALID_HANDLE, &kNeverStarts, L"", kStop,
                  L"(6) Failed to query service status of KvSvcTest."},
        FaultCase{"StopRefused", Entry::ControlService, 0, ERROR_SERVICE_CANNOT_ACCEPT_CTRL, &kHung, L"", kStop,
                  L"(1061) ControlService failed for service KvSvcTest. state = 2."}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST_P(FaultTest, FailsWithTheCallsErrorAndTracesTheWayOut)
{
    const FaultCase& c = GetParam();
    Install(c.started ? *c.started : LabServiceTimings{}, c.started != nullptr);
    KvLab::FailCall(c.entry, c.call, c.error);
    TakeTraces();
    VLibService service;
    CStatus status = OpenByName(_name + c.suffix, service);
    if (status.IsSuccess() && c.operation)
        status = c.operation(service);
    EXPECT_EQ(std::make_pair(2u, c.error), Pair(status));
    const Traces traces = TakeTraces();
    EXPECT_EQ(c.trace, traces.empty() ? L"" : traces.back());
}

// A real start and stop, each waited for; none is asked for when the service is already there.
TEST_F(LibServiceTest, StartAndStopOnlyWhatIsNotAlreadyThere)
{
    Install({200, 200}); // milliseconds in each pending state
    VLibService service;
    ASSERT_TRUE(OpenByName(_name, service).IsSuccess());
    EXPECT_TRUE(service.Stop().IsSuccess()) << "a stopped service gets no stop request";
    ASSERT_TRUE(service.Start(0, nullptr).IsSuccess());
    _clock.onSleep = [&](size_t) { Settle(_name, SERVICE_START_PENDING); };
    ASSERT_TRUE(service.WaitForStart(5000).IsSuccess());
    EXPECT_TRUE(service.Start(0, nullptr).IsSuccess()) << "a running service gets no start request";
    ASSERT_TRUE(service.Stop().IsSuccess());
    _clock.onSleep = [&](size_t) { Settle(_name, SERVICE_STOP_PENDING); };
    EXPECT_TRUE(service.WaitForStop(5000).IsSuccess());
    EXPECT_TRUE(service.WaitForStop(0).IsSuccess()) << "already stopped";
}

// A service that does not exist is "not installed"; one that cannot be opened is not known to be.
TEST_F(LibServiceTest, InstalledByKeyNameByDisplayNameAndMissing)
{
    Install();
    VLibSCM manager;
    ASSERT_TRUE(manager.Open(nullptr, kManagerAllAccess).IsSuccess());
    const std::wstring display = _name + L" Display", missing = L"KvSvcTestNone";
    for (const auto& [lookup, expected] : {std::pair(_name, true), {display, true}, {missing, false}})
    {
        bool installed = !expected;
        EXPECT_TRUE(manager.IsServiceInstalled(lookup.c_str(), installed).IsSuccess()) << lookup;
        EXPECT_EQ(expected, installed) << lookup;
    }
    KvLab::FailCall(Entry::OpenServiceW, 1, ERROR_ACCESS_DENIED);
    bool installed = true;
    EXPECT_EQ(std::make_pair(2u, 5u), Pair(manager.IsServiceInstalled(_name.c_str(), installed)));
    EXPECT_FALSE(installed);
}
} // namespace
