// The lab's cluster engine through the entry-point table, as the wizard calls it.
#include "ClusterCalls.h"
#include "ClusterResults.h"
#include "LabCluster.h"
#include "LabScenario.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
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
