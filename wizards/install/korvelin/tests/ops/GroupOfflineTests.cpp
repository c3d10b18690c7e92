// Where a virtual server's network name is online, and taking its group offline.
#include "Util.h"

#include "FakeClock.h"
#include "L10nUtil.h"
#include "LabCluster.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "StringIds.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

namespace
{
using Offline = LabGroupOffline;

std::pair<uint32_t, uint32_t> Result(const CStatus& status) { return {status.GetCategory(), status.GetCode()}; }

// Three systems; EVS1's name lives in group "EVS1-SG", EVS2's in "EVS2-SG".
struct GroupTest : ::testing::Test
{
    GroupTest()
    {
        _lab.AddClusterSystem(L"qlx-a", "0:NODEA,RUNNING");
        _lab.AddClusterSystem(L"qlx-b", "0:NODEB,RUNNING");
        _lab.AddClusterSystem(L"qlx-c", "0:NODEC,RUNNING");
    }
    ~GroupTest() override { EXPECT_EQ(_liveResults, KvLab::ClusterLiveResults()) << "results left unreleased"; }

    QLXHANDLE Handle()
    {
        QLXHANDLE handle = nullptr;
        EXPECT_TRUE(CUtil::InitQLXApiAndGetHandle(handle).IsSuccess());
        return handle;
    }

    // "online group system", or "offline" with what the outs kept.
    std::string Online(const wchar_t* evs, CStatus* result = nullptr)
    {
        bool online = true;
        std::string group = "-", system = "-";
        const CStatus status = CUtil::IsExchSGOnlineInLocalCluster(Handle(), evs, online, group, system);
        if (result)
            *result = status;
        return (online ? "online " : "offline ") + group + " " + system;
    }

    void ExpectLogged(const char* lines) const { EXPECT_TRUE(_log.HasLines(lines)) << lines << "\nnot in:\n" << _log.Untimed(); }

    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"Korvelin", 0x0409)};
    CLabScenario _lab;
    CFakeClock _clock;
    const CLogTail _log;
    const long _liveResults = KvLab::ClusterLiveResults();
};

TEST_F(GroupTest, FindsTheFirstSystemWhereTheNameIsOnline)
{
    _lab.AddClusterGroup(L"EVS1-SG", {{L"qlx-a", 1}, {L"qlx-b", 2}, {L"qlx-c", 2}});
    _lab.AddClusterResource(L"EVS2-Name", L"Lanman", L"EVS2", L"EVS2-SG", {{L"qlx-a", 2}});
    _lab.AddClusterResource(L"EVS1-Disk", L"Disk", L"EVS1", L"EVS1-SG", {{L"qlx-a", 2}});
    _lab.AddClusterResource(L"EVS1-Name", L"lanman", L"Evs1", L"EVS1-SG", {{L"qlx-c", 2}, {L"qlx-a", 1}, {L"qlx-b", 2}});
    _lab.AddClusterResource(L"EVS3-Name", L"Lanman", L"EVS3", L"EVS3-SG", {{L"qlx-a", 1}, {L"qlx-b", 1}});

    EXPECT_EQ("online EVS1-SG qlx-b", Online(L"EVS1")) << "systems in the cluster's order, the first online wins";
    EXPECT_EQ("offline - -", Online(L"EVS3"));
    EXPECT_EQ("offline - -", Online(L"EVS4"));
}

// What is odd about a state result is logged and counts as not online.
TEST_F(GroupTest, OddStatesAreNotOnline)
{
    _lab.AddClusterResource(L"EVS1-Name", L"Lanman", L"EVS1", L"EVS1-SG", {});
    _lab.AddClusterResource(L"EVS2-Name", L"Lanman", L"EVS2", L"EVS2-SG", {{L"qlx-a", 4}});
    EXPECT_EQ("offline - -", Online(L"EVS1"));
    ExpectLogged(KV_LOG_LINE("WARNING", IDS_LOG_INFORMATION, "Resource EVS1-Name has no state on any system."));
    EXPECT_EQ("offline - -", Online(L"EVS2"));
    ExpectLogged(KV_LOG_LINE("WARNING", IDS_LOG_INFORMATION, "Resource EVS2-Name has state 4 on a system."));
}

TEST_F(GroupTest, NoLanmanResourceIsNoFailure)
{
    _lab.AddClusterResource(L"EVS1-Disk", L"Disk", L"EVS1", L"EVS1-SG", {{L"qlx-a", 2}});
    CStatus status;
    EXPECT_EQ("offline - -", Online(L"EVS1", &status));
    EXPECT_TRUE(status.IsSuccess());
    EXPECT_FALSE(_log.Has(KV_MESSAGE_TAG(IDS_LOG_CLUSTER_CALL_FAILED)));
}

// Each failing call gives category 33 with the library's number.
struct OnlineFailureCase
{
    const char* name;
    const wchar_t* function;
    const char* shown;
    const char* callerLine;
};

struct OnlineFailureTest : GroupTest, ::testing::WithParamInterface<OnlineFailureCase> {};

TEST_P(OnlineFailureTest, GivesTheLibrarysNumber)
{
    const OnlineFailureCase& c = GetParam();
    _lab.AddClusterResource(L"EVS1-Name", L"Lanman", L"EVS1", L"EVS1-SG", {{L"qlx-b", 2}});
    QLXHANDLE handle = Handle();
    _lab.SetClusterFailure(c.function, 20, 4712, "Not now.");
    bool online = false;
    std::string group = "-", system = "-";
    EXPECT_EQ(std::pair(33u, 4712u),
              Result(CUtil::IsExchSGOnlineInLocalCluster(handle, L"EVS1", online, group, system)));
    EXPECT_EQ(c.shown, (online ? "online " : "offline ") + group + " " + system);
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_INFORMATION, "Not now."));
    ExpectLogged(c.callerLine);
}

INSTANTIATE_TEST_SUITE_P(Calls, OnlineFailureTest, ::testing::Values(
    OnlineFailureCase{"Resources", L"QLXObjGetNames", "offline - -",
                      KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "CUtil::GetLanmanResources() failed: category 33, code 4712.")},
    OnlineFailureCase{"VirtualName", L"QLXObjGetAttribute", "offline - -",
                      KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "CUtil::GetVirtualName() failed: category 33, code 4712.")},
    OnlineFailureCase{"State", L"QLXObjGetState", "offline - -",
                      KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "CUtil::GetState() failed: category 33, code 4712.")},
    // The flag and the system are set before the group is asked for.
    OnlineFailureCase{"GroupName", L"QLXResGetGrpName", "online - qlx-b",
                      KV_LOG_LINE("ERROR", IDS_LOG_CLUSTER_CALL_FAILED,
                                "QLXResGetGrpName() failed: QLX error class 20, number 4712.")}),
    [](const auto& info) { return std::string(info.param.name); });

// How long the offline request waits, on the fake clock.
struct OfflineCase
{
    const char* name;
    Offline offline;
    uint32_t category, code;
    size_t waits;
};

struct OfflineTest : GroupTest, ::testing::WithParamInterface<OfflineCase> {};

TEST_P(OfflineTest, PollsOnceASecondUntilOffline)
{
    const OfflineCase& c = GetParam();
    _lab.AddClusterGroup(L"EVS1-SG", {{L"qlx-a", 2}, {L"qlx-b", 1}}, c.offline);
    _lab.AddClusterResource(L"EVS1-Name", L"Lanman", L"EVS1", L"EVS1-SG", {{L"qlx-a", 2}});
    EXPECT_EQ(std::pair(c.category, c.code), Result(CUtil::OfflineServiceGrp(Handle(), "EVS1-SG", "qlx-a")));
    EXPECT_EQ(std::vector<DWORD>(c.waits, 1000), _clock.sleeps);
    EXPECT_EQ(c.category ? "online EVS1-SG qlx-a" : "offline - -", Online(L"EVS1"));
}

INSTANTIATE_TEST_SUITE_P(Groups, OfflineTest, ::testing::Values(
    OfflineCase{"AtTheFirstPoll", {Offline::AfterPolls, 0}, 0, 0, 0},
    OfflineCase{"AfterThreePolls", {Offline::AfterPolls, 3}, 0, 0, 3},
    OfflineCase{"AtTheLastPoll", {Offline::AfterPolls, 300}, 0, 0, 300},
    OfflineCase{"Never", {Offline::Never}, 1, 229, 301},
    OfflineCase{"Refused", {Offline::Refuse, 0, 20, 4713, "Group is frozen."}, 33, 4713, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A group that reports nothing for the system is waited for, with one log line
// however many polls there are (here two); a failed poll (the third) ends the wait.
TEST_F(GroupTest, AGroupWithoutStateIsWaitedForAndLoggedOnceUntilAPollFails)
{
    _lab.AddClusterGroup(L"EVS1-SG", {{L"qlx-b", 2}}, {Offline::Never});
    QLXHANDLE handle = Handle();
    KvLab::FailCall(KvLab::Entry::QLXObjGetState, 3, 4714);
    EXPECT_EQ(std::pair(33u, 4714u), Result(CUtil::OfflineServiceGrp(handle, "EVS1-SG", "qlx-a")));
    EXPECT_EQ(std::vector<DWORD>(2, 1000), _clock.sleeps);
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "CUtil::GetState() failed: category 33, code 4714."));
    const std::string line = KV_LOG_LINE("WARNING", IDS_LOG_INFORMATION,
                                         "Group EVS1-SG reports no state on qlx-a; still waiting.");
    const std::string log = _log.Untimed();
    EXPECT_NE(std::string::npos, log.find(line)) << log;
    EXPECT_EQ(log.find(line), log.rfind(line));
}
} // namespace
