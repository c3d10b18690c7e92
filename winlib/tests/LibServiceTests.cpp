// Lab services in Wine's real service manager; waits run on a fake clock; the lab fails and counts calls.
#include "FakeClock.h"
#include "LabFaults.h"
#include "LabServiceInstaller.h"
#include "LibLogger.h"
#include "LibSCM.h"
#include "LibService.h"
#include "RecordingLogOutput.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <tuple>
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
    return unique_schandle(::OpenServiceW(scm.get(), name.c_str(), SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP));
}

bool Pending(DWORD state) { return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING; }

// Waits in real time until the manager reports a state that is not pending: what a fake poll needs.
void Settle(const std::wstring& name)
{
    const unique_schandle service = Handle(name);
    SERVICE_STATUS status{};
    status.dwCurrentState = SERVICE_START_PENDING; // stays pending if no query succeeds
    const ULONGLONG start = ::GetTickCount64();
    while (::QueryServiceStatus(service.get(), &status) && Pending(status.dwCurrentState) && ::GetTickCount64() - start < 10000)
        ::Sleep(10);
    EXPECT_FALSE(Pending(status.dwCurrentState)) << "last error " << ::GetLastError();
}

CStatus OpenByName(const std::wstring& name, VLibService& s) { return s.Open(name.c_str(), kAllAccess, nullptr, kManagerAllAccess); }

std::pair<uint32_t, uint32_t> Pair(const CStatus& status) { return {status.GetCategory(), status.GetCode()}; }

// Registers the lab service "KvSvcTest" for one test; records the traces and runs every wait on the fake clock.
class LibServiceTest : public ::testing::Test
{
protected:
    void SetUp() override { KvLab::ResetFaults(); }
    void TearDown() override { RemoveLabService(_name, nullptr); }
    void Install(const LabServiceTimings& timings = {}, bool start = false)
    {
        RemoveLabService(_name, nullptr);
        DWORD error = 0;
        EXPECT_TRUE(InstallLabService(_name, _name + L" Display", SERVICE_DEMAND_START, timings, &error)) << error;
        EXPECT_TRUE(!start || ::StartServiceW(Handle(_name).get(), 0, nullptr)) << ::GetLastError();
    }
    Traces TakeTraces() { return _output.TakeTraces(); }

    const std::wstring _name = L"KvSvcTest";
    CFakeClock _clock;
    CScopedRecordingOutput _output;
};

// A wait for the start of a real service; before the settleAt-th fake sleep the test lets it leave
// START_PENDING; failQuery fails that status query. There is one query more than sleeps.
struct WaitCase
{
    const char* name;
    LabServiceTimings timings;
    bool started;
    DWORD timeoutMs;
    uint32_t category, code;
    std::vector<DWORD> sleeps;
    size_t settleAt = 0, failQuery = 0;
};

class WaitTest : public LibServiceTest, public ::testing::WithParamInterface<WaitCase> {};

const DWORD kUnbounded = VLibService::kWaitWithoutLimit;
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
    KvLab::FailCall(Entry::QueryServiceStatus, static_cast<uint32_t>(c.failQuery), ERROR_ACCESS_DENIED);
    _clock.onSleep = [&](size_t sleeps) { if (sleeps == c.settleAt) Settle(_name); };
    EXPECT_EQ(std::make_pair(c.category, c.code), Pair(service.WaitForStart(c.timeoutMs)));
    EXPECT_EQ(c.sleeps, _clock.sleeps);
    EXPECT_EQ(c.sleeps.size() + 1, KvLab::CallCount(Entry::QueryServiceStatus));
    EXPECT_EQ(c.code == 258 ? Traces{L"Wait timed out for service KvSvcTest"}
              : c.code == 5 ? Traces{L"(5) Failed to query service status of KvSvcTest."} : Traces{}, TakeTraces());
}

INSTANTIATE_TEST_SUITE_P(Waits, WaitTest, ::testing::ValuesIn(kWaits), [](const auto& i) { return std::string(i.param.name); });

// A failing call of the manager (the call-th of entry, none for 0) ends in status 2/error; its last trace has it.
struct FaultCase
{
    const char* name;
    Entry entry; uint32_t call, error;
    const LabServiceTimings* started;          // null: installed only
    const wchar_t* suffix;                     // to the service's name
    CStatus (*operation)(VLibService& opened); // after a successful open, if any
};

class FaultTest : public LibServiceTest, public ::testing::WithParamInterface<FaultCase> {};

const auto kStart = +[](VLibService& service) { return service.Start(0, nullptr); };
const auto kStop = +[](VLibService& service) { return service.Stop(); };
const LabServiceTimings kHung{1000, 0, 0, 0, 0, 1}; // hung in its start, the service refuses a stop itself

// Only a missing service (1060) or a bad name may be a display name, whose key name is looked up.
const FaultCase kFaults[] = {
    {"Manager", Entry::OpenSCManagerW, 1, ERROR_ACCESS_DENIED, nullptr, L"", nullptr},
    {"ServiceDenied", Entry::OpenServiceW, 1, ERROR_ACCESS_DENIED, nullptr, L"", nullptr},
    {"KeyNameSize", Entry::GetServiceKeyNameW, 1, ERROR_ACCESS_DENIED, nullptr, L" Display", nullptr},
    {"KeyName", Entry::GetServiceKeyNameW, 2, ERROR_NOT_ENOUGH_MEMORY, nullptr, L" Display", nullptr},
    {"ByKeyName", Entry::OpenServiceW, 2, ERROR_ACCESS_DENIED, nullptr, L" Display", nullptr},
    {"StartQuery", Entry::QueryServiceStatus, 1, ERROR_ACCESS_DENIED, nullptr, L"", kStart},
    {"Start", Entry::StartServiceW, 1, ERROR_SERVICE_DISABLED, nullptr, L"", kStart},
    {"StopQuery", Entry::QueryServiceStatus, 1, ERROR_INVALID_HANDLE, &kNeverStarts, L"", kStop},
    {"StopRefused", Entry::ControlService, 0, ERROR_SERVICE_CANNOT_ACCEPT_CTRL, &kHung, L"", kStop},
};

INSTANTIATE_TEST_SUITE_P(Calls, FaultTest, ::testing::ValuesIn(kFaults), [](const auto& i) { return std::string(i.param.name); });

TEST_P(FaultTest, FailsWithTheCallsErrorAndTracesIt)
{
    const FaultCase& c = GetParam();
    Install(c.started ? *c.started : LabServiceTimings{}, c.started != nullptr);
    KvLab::FailCall(c.entry, c.call, c.error);
    VLibService service;
    CStatus status = OpenByName(_name + c.suffix, service);
    if (status.IsSuccess() && c.operation)
        status = c.operation(service);
    EXPECT_EQ(std::make_pair(2u, c.error), Pair(status));
    const Traces traces = TakeTraces();
    EXPECT_TRUE(!traces.empty() && traces.back().rfind(L"(" + std::to_wstring(c.error) + L")", 0) == 0) << c.error;
}

// A real start and stop, each waited for; none is asked for when the service is already there.
TEST_F(LibServiceTest, StartAndStopOnlyWhatIsNotAlreadyThere)
{
    Install({200, 200}); // milliseconds in each pending state
    VLibService service;
    ASSERT_TRUE(OpenByName(_name, service).IsSuccess());
    EXPECT_TRUE(service.Stop().IsSuccess()) << "a stopped service gets no stop request";
    _clock.onSleep = [&](size_t) { Settle(_name); };
    ASSERT_TRUE(service.Start(0, nullptr).IsSuccess());
    ASSERT_TRUE(service.WaitForStart(5000).IsSuccess());
    EXPECT_TRUE(service.Start(0, nullptr).IsSuccess()) << "a running service gets no start request";
    ASSERT_TRUE(service.Stop().IsSuccess());
    EXPECT_TRUE(service.WaitForStop(5000).IsSuccess());
    EXPECT_TRUE(service.WaitForStop(0).IsSuccess()) << "already stopped";
}

// A service that does not exist is "not installed"; one that cannot be opened is not known to be.
TEST_F(LibServiceTest, InstalledByKeyNameByDisplayNameAndMissing)
{
    Install();
    VLibSCM manager;
    ASSERT_TRUE(manager.Open(nullptr, kManagerAllAccess).IsSuccess());
    const std::tuple<std::wstring, uint32_t, bool> lookups[] = { // name, error of its open, installed
        {_name, 0, true}, {_name + L" Display", 0, true}, {L"KvSvcTestNone", 0, false}, {_name, ERROR_ACCESS_DENIED, false}};
    for (const auto& [lookup, error, expected] : lookups)
    {
        KvLab::FailCall(Entry::OpenServiceW, error ? 1 : 0, error);
        bool installed = !expected;
        EXPECT_EQ(std::make_pair(error ? 2u : 0u, error), Pair(manager.IsServiceInstalled(lookup.c_str(), installed))) << lookup;
        EXPECT_EQ(expected, installed) << lookup;
    }
}
} // namespace
