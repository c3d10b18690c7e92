// The lab's cluster engine through the entry-point table, as the wizard calls it.
#include "ClusterCalls.h"
#include "ClusterResults.h"
#include "LabCluster.h"
#include "LabScenario.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace
{
// Every result a test takes is freed by the time it ends.
class LabClusterTest : public ::testing::Test
{
protected:
    void TearDown() override { EXPECT_EQ(_live, KvLab::ClusterLiveResults()) << "results left unfreed"; }

    CLabScenario _lab;
    const long _live = KvLab::ClusterLiveResults();
};

// The wizard reads a failure's error on the thread that made the call; no other thread sees it.
TEST_F(LabClusterTest, AFailureIsTheLastErrorOfItsThreadOnly)
{
    ASSERT_TRUE(_lab.SetClusterPresent());
    ASSERT_NE(0, KvEntry().QLXGrpOffline(OpenCluster(), "SG", nullptr, 0, 0));
    const QLXError error = KvEntry().QLXApiGetLastError();
    EXPECT_EQ(Error(20, 50020), Error(error.errorClass, error.errorNumber));
    EXPECT_NE(nullptr, std::strstr(error.text, "SG")) << error.text;
    QLXError other{};
    std::thread([&other] { other = KvEntry().QLXApiGetLastError(); }).join();
    EXPECT_EQ(Error(), Error(other.errorClass, other.errorNumber));
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
