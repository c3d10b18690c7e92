// The lab's cluster engine through the entry-point table, as the wizard calls it.
#include "ClusterCalls.h"
#include "ClusterResults.h"
#include "LabCluster.h"
#include "LabScenario.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace
{
int InitApi()
{
    unique_qlx_cntlinfo info;
    return KvEntry().QLXFillCntlInfo(QLX_CNTL_INFO_VERSION, 0, 0, &info) || KvEntry().QLXApiInit(0, info.get());
}

// Every result a test takes is freed by the time it ends.
class LabClusterTest : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_EQ(_live, KvLab::ClusterLiveResults()) << "results left unfreed"; }

    CLabScenario _lab;
    const long _live = KvLab::ClusterLiveResults();
};

// Attributes are keyed by the system's name; an unknown object or attribute is refused.
TEST_F(LabClusterTest, AttributesRefuseOtherKeysAndObjects)
{
    ASSERT_TRUE(_lab.AddClusterSystem(L"qlx-1", "1:NODE1,x") && _lab.AddClusterSystem(L"qlx-2", "2:NODE2,"));
    ASSERT_TRUE(_lab.AddClusterResource(L"NN", L"Lanman", L"EVS1", L"EVS1-SG", {}));
    EXPECT_EQ("50022", AttributeText(QLX_OBJ_SYSTEM, "qlx-2", "SysInfo", "qlx-1"));
    EXPECT_EQ("50022", AttributeText(QLX_OBJ_SYSTEM, "qlx-2", "SysInfo", nullptr));
    EXPECT_EQ("50020", AttributeText(QLX_OBJ_SYSTEM, "", "SysInfo", ""));
    EXPECT_EQ("50021", AttributeText(QLX_OBJ_RESOURCE, "NN", "Owner", nullptr));
}

struct OfflineCase
{
    const char* label;
    LabGroupOffline offline;
    std::vector<int> polls; // 1: offline; the first in a second process, as the wizard's next one would poll
    Error refusal{};
};

class GroupOfflineTest : public LabClusterTest, public ::testing::WithParamInterface<OfflineCase>
{
};

int PollInSecondProcess(const char* group)
{
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(program) + L"\" --poll-group=" +
                           std::wstring(group, group + std::strlen(group));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    const unique_handle child(process.hProcess), thread(process.hThread);
    DWORD exitCode = 3;
    if (::WaitForSingleObject(child.get(), 30000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(child.get(), &exitCode);
    return static_cast<int>(exitCode);
}

// Polls before the request do not count; once offline the group's resources answer offline too, others do not.
TEST_P(GroupOfflineTest, AnswersTheRequestAndGoesOfflineAsSet)
{
    const OfflineCase& c = GetParam();
    const LabStates online{{L"qlx-1", 2}, {L"qlx-2", 1}};
    ASSERT_TRUE(_lab.AddClusterSystem(L"qlx-1", "1:NODE1,") && _lab.AddClusterSystem(L"qlx-2", "2:NODE2,"));
    ASSERT_TRUE(_lab.AddClusterGroup(L"SG", online, c.offline) && _lab.AddClusterGroup(L"Other", online));
    ASSERT_TRUE(_lab.AddClusterResource(L"NN", L"Lanman", L"EVS1", L"SG", online) &&
                _lab.AddClusterResource(L"Other-NN", L"Lanman", L"EVS2", L"Other", online));
    ASSERT_EQ(0, PollGroupOnce("SG"));
    const int requested = KvEntry().QLXGrpOffline(OpenCluster(), "SG", nullptr, 0, 0);
    const QLXError error = KvEntry().QLXApiGetLastError();
    EXPECT_EQ(c.refusal, requested ? Error(error.errorClass, error.errorNumber) : Error());
    if (requested)
    {
        EXPECT_STREQ(c.offline.text.c_str(), error.text);
    }
    std::vector<int> polls{PollInSecondProcess("SG")};
    while (polls.size() < c.polls.size())
        polls.push_back(PollGroupOnce("SG"));
    EXPECT_EQ(c.polls, polls);
    const States offline{{"qlx-1", 1}, {"qlx-2", 1}}, asAdded{{"qlx-1", 2}, {"qlx-2", 1}};
    EXPECT_EQ(c.polls.back() ? offline : asAdded, StatesOf(QLX_OBJ_RESOURCE, "NN"));
    EXPECT_EQ(asAdded, StatesOf(QLX_OBJ_RESOURCE, "Other-NN"));
}

INSTANTIATE_TEST_SUITE_P(Modes, GroupOfflineTest, ::testing::Values(
    OfflineCase{"AtTheFirstPoll", {}, {1, 1}},
    OfflineCase{"AfterTwoPolls", {LabGroupOffline::AfterPolls, 2}, {0, 0, 1, 1}},
    OfflineCase{"Never", {LabGroupOffline::Never}, {0, 0, 0}},
    OfflineCase{"Refused", {LabGroupOffline::Refuse, 0, 21, 51234, "busy"}, {0, 0}, {21, 51234}}),
    [](const auto& info) { return std::string(info.param.label); });

struct FailureCase
{
    const char* label;
    std::function<bool(CLabScenario&)> setUp;
    std::function<int()> call; // 0 on success
    Error error;
    const char* text;
};

class ClusterFailureTest : public LabClusterTest, public ::testing::WithParamInterface<FailureCase>
{
};

// Every failure reaches the calling thread's last error, and no other thread's.
TEST_P(ClusterFailureTest, FailsWithItsErrorOnThisThreadOnly)
{
    const FailureCase& c = GetParam();
    ASSERT_TRUE(c.setUp(_lab));
    ASSERT_NE(0, c.call());
    const QLXError error = KvEntry().QLXApiGetLastError();
    EXPECT_EQ(c.error, Error(error.errorClass, error.errorNumber));
    EXPECT_NE(nullptr, std::strstr(error.text, c.text)) << error.text;
    QLXError other{};
    std::thread([&other] { other = KvEntry().QLXApiGetLastError(); }).join();
    EXPECT_EQ(Error(), Error(other.errorClass, other.errorNumber));
}

bool NoCluster(CLabScenario&)
{
    return true;
}

bool EmptyCluster(CLabScenario& lab)
{
    return lab.SetClusterPresent();
}

INSTANTIATE_TEST_SUITE_P(Calls, ClusterFailureTest, ::testing::Values(
    FailureCase{"NoClusterInit", NoCluster, InitApi, {20, 50010}, "no cluster"},
    FailureCase{"NoClusterOpen", NoCluster, [] { return OpenCluster() ? 0 : 1; }, {20, 50010}, "no cluster"},
    FailureCase{"UnknownGroup", EmptyCluster, [] { return KvEntry().QLXGrpOffline(OpenCluster(), "SG", nullptr, 0, 0); },
                {20, 50020}, "SG"},
    FailureCase{"NoHandle", EmptyCluster, [] {
                    unique_qlx_names names;
                    return KvEntry().QLXObjGetNames(nullptr, QLX_OBJ_SYSTEM, 0, &names, nullptr); },
                {20, 50011}, ""}),
    [](const auto& info) { return std::string(info.param.label); });

// A stored failure lasts as long as its key.
TEST_F(LabClusterTest, StoredFailureEndsWhenCleared)
{
    ASSERT_TRUE(_lab.SetClusterFailure(L"QLXObjGetNames", 20, QLX_ERROR_NO_OBJECTS, "") &&
                _lab.AddClusterSystem(L"qlx-1", ""));
    EXPECT_EQ(std::nullopt, Names(QLX_OBJ_SYSTEM));
    ASSERT_TRUE(_lab.ClearClusterFailure(L"QLXObjGetNames"));
    EXPECT_EQ(Strings{"qlx-1"}, Names(QLX_OBJ_SYSTEM));
}

// Each result lives until the free of its own kind, which nulls the caller's pointer; a freed one is no
// longer taken back.
TEST_F(LabClusterTest, ResultsLiveUntilFreedByTheirOwnKind)
{
    ASSERT_TRUE(_lab.AddClusterSystem(L"qlx-1", "1:NODE1,") && _lab.AddClusterGroup(L"SG", {{L"qlx-1", 2}}) &&
                _lab.AddClusterResource(L"NN", L"Lanman", L"EVS1", L"SG", {}));
    const KvEntryPointTable& qlx = KvEntry();
    const QLXHANDLE cluster = OpenCluster();
    QLXCntlInfo* info = nullptr;
    QLXNames* names = nullptr;
    QLXAttr* attr = nullptr;
    char* group = nullptr;
    QLXStates* states = nullptr;
    ASSERT_EQ(0, qlx.QLXFillCntlInfo(QLX_CNTL_INFO_VERSION, 0, 0, &info) +
                     qlx.QLXObjGetNames(cluster, QLX_OBJ_SYSTEM, 0, &names, nullptr) +
                     qlx.QLXObjGetAttribute(cluster, QLX_OBJ_SYSTEM, "qlx-1", "SysInfo", 0, &attr, 0) +
                     qlx.QLXResGetGrpName(cluster, "NN", &group, 0) +
                     qlx.QLXObjGetState(cluster, QLX_OBJ_GROUP, "SG", nullptr, &states, nullptr));
    EXPECT_EQ(_live + 5, KvLab::ClusterLiveResults());
    QLXStates* wrongKind = reinterpret_cast<QLXStates*>(names);
    qlx.QLXFreeObjState(&wrongKind);
    EXPECT_EQ(nullptr, wrongKind);
    EXPECT_EQ(_live + 5, KvLab::ClusterLiveResults());
    QLXCntlInfo* const freedInfo = info;
    QLXAttr* const freedAttr = attr;
    qlx.QLXFreeCntlInfo(&info);
    qlx.QLXFreeObjNames(&names);
    qlx.QLXFreeAttr(&attr);
    qlx.QLXFreeStr(&group);
    qlx.QLXFreeObjState(&states);
    EXPECT_TRUE(!info && !names && !attr && !group && !states);
    qlx.QLXFreeStr(nullptr);
    qlx.QLXFreeStr(&group);
    char* text = nullptr;
    EXPECT_NE(0, qlx.QLXAttrGetStr(freedAttr, "qlx-1", 0, &text, 0));
    EXPECT_NE(0, qlx.QLXApiInit(0, freedInfo));
    EXPECT_EQ(Error(20, 50011), LastError());
}
} // namespace
