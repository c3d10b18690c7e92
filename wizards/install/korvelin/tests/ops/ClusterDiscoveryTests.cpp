// Cluster discovery: the library's start, every system with its computer name
// and Exchange version, the virtual servers of each node, and the lookups.
#include "Cluster.h"
#include "Util.h"

#include "ExchangeNode.h"
#include "FakeClock.h"
#include "L10nUtil.h"
#include "LabCluster.h"
#include "LabScenario.h"
#include "LabServiceInstaller.h"
#include "LibService.h"
#include "StringIds.h"
#include "UniqueResource.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

namespace
{
const std::wstring kConfigKey = L"SOFTWARE\\HALVERN\\QLX\\ExchConfig";
const std::wstring kServers = L"CN=Servers,CN=Configuration,DC=lab,DC=test";

std::pair<uint32_t, uint32_t> Result(const CStatus& status) { return {status.GetCategory(), status.GetCode()}; }

// A two-node lab cluster: this node NODE1 is system "qlx-a", NODE2 is
// "qlx-b"; the directory dates EVS1 and EVS2, not EVS3.
struct ClusterTest : ::testing::Test
{
    ClusterTest()
    {
        _lab.SetLocalComputerName(L"NODE1");
        _lab.AddNode(L"NODE2");
        _lab.SetDirectoryRoot(L"DC=lab,DC=test", L"CN=Configuration,DC=lab,DC=test",
                              L"CN=Schema,CN=Configuration,DC=lab,DC=test");
        _lab.AddDirectoryObject(kServers, L"msExchServersContainer");
        for (const wchar_t* evs : {L"EVS1", L"EVS2"})
        {
            _lab.AddDirectoryObject(L"CN=" + std::wstring(evs) + L"," + kServers, L"msExchExchangeServer");
            _lab.SetDirectoryStrings(L"CN=" + std::wstring(evs) + L"," + kServers, L"versionNumber", {L"1912701168"});
        }
        _lab.AddClusterSystem(L"qlx-a", "1:NODE1,RUNNING");
        _lab.AddClusterSystem(L"qlx-b", "2:NODE2,RUNNING");
        _node.SetSetupVersion(8, 1);
    }
    ~ClusterTest() override { EXPECT_EQ(_liveResults, KvLab::ClusterLiveResults()) << "results left unreleased"; }

    // Configures a virtual server on a node: NODE1 is this node's own key.
    static void Configure(const wchar_t* node, const wchar_t* evs)
    {
        const bool here = ::lstrcmpW(node, L"NODE1") == 0;
        const std::wstring config = here ? kConfigKey : CLabScenario::NodeKeyPath(node, HKEY_LOCAL_MACHINE, kConfigKey);
        const DWORD version = 7;
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, config.c_str(), L"ExchVersion", REG_DWORD, &version, sizeof(version));
        unique_hkey created;
        ::RegCreateKeyW(HKEY_LOCAL_MACHINE, (config + L"\\EVS\\" + evs + L"\\Systems\\" + node).c_str(), &created);
    }

    CStatus Discover()
    {
        const CStatus init = CUtil::InitQLXApi();
        return init.IsFailed() ? init : CUtil::GetClusterInfo(_cluster);
    }

    // "NODE1/qlx-a/7: EVS1=1912701168 EVS2=OTHER; ...", then "| " and the cluster's list.
    std::wstring Shown() const
    {
        std::wstring text;
        for (const auto& system : _cluster.systems.Items())
        {
            text += system->computerName + L"/" + system->systemName + L"/" + std::to_wstring(system->exchVersion) +
                    L":";
            for (const auto& evs : system->evsList.Items())
                text += L" " + evs->name + L"=" + evs->version;
            text += L"; ";
        }
        text += L"|";
        for (const auto& evs : _cluster.evsList.Items())
            text += L" " + evs->name;
        return text;
    }

    void ExpectLogged(const char* lines) const { EXPECT_TRUE(_log.HasLines(lines)) << lines << "\nnot in:\n" << _log.Untimed(); }

    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"Korvelin", 0x0409)};
    CLabScenario _lab;
    CExchangeNode _node;
    CFakeClock _clock;
    CCluster _cluster;
    const CLogTail _log;
    const long _liveResults = KvLab::ClusterLiveResults();
};

TEST_F(ClusterTest, FindsEverySystemAndTheVirtualServersOfEach)
{
    Configure(L"NODE1", L"EVS1");
    Configure(L"NODE1", L"EVS2");
    Configure(L"NODE2", L"evs1");
    Configure(L"NODE2", L"EVS3");
    _node.SetSetupVersion(8, 3, CLabScenario::NodeKeyPath(L"NODE2", HKEY_LOCAL_MACHINE, CExchangeNode::kSetupKey));

    ASSERT_EQ(std::pair(0u, 0u), Result(Discover()));
    EXPECT_NE(nullptr, _cluster.handle);
    // EVS1 stands once in the cluster's list, as NODE1 found it, and once per node.
    EXPECT_EQ(L"NODE1/qlx-a/7: EVS1=1912701168 EVS2=1912701168; NODE2/qlx-b/9: evs1=1912701168 EVS3=OTHER; "
              L"| EVS1 EVS2 EVS3",
              Shown());
    EXPECT_NE(_cluster.systems.Items()[0]->evsList.Find(L"EVS1"), _cluster.systems.Items()[1]->evsList.Find(L"EVS1"));
    EXPECT_EQ(_cluster.systems.Items()[0]->evsList.Find(L"EVS1"), _cluster.evsList.Find(L"evs1"));
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "CUtil::GetEVSVersionFromAD() failed: category 27, code 3.")
                     KV_LOG_LINE("ERROR", IDS_LOG_INFORMATION, "EVS3"));

    // Lookups by computer name and by cluster name, without letter case.
    CSystem* system = nullptr;
    ASSERT_TRUE(_cluster.LookupSystem(L"node2", system, CCluster::kByComputerName).IsSuccess());
    EXPECT_EQ(L"qlx-b", system->systemName);
    EXPECT_TRUE(_cluster.LookupSystem(L"QLX-A", system, CCluster::kBySystemName).IsSuccess());
    EXPECT_EQ(L"NODE1", system->computerName);
    EXPECT_EQ(std::pair(1u, 210u), Result(_cluster.LookupSystem(L"qlx-a", system, CCluster::kByComputerName)));
    EXPECT_EQ(std::pair(1u, 209u), Result(_cluster.LookupSystem(L"NODE1", system, 3)));
    EXPECT_EQ(L"NODE1", system->computerName) << "a failed lookup leaves the out pointer";
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_INFORMATION, "No System in the cluster with name =qlx-a"));

    CEVS* evs = nullptr;
    EXPECT_TRUE(_cluster.LookupEVS(L"evs3", evs).IsSuccess());
    ASSERT_NE(nullptr, evs);
    EXPECT_EQ(L"EVS3", evs->name);
    EXPECT_EQ(std::pair(1u, 220u), Result(_cluster.LookupEVS(L"EVS9", evs)));
    EXPECT_EQ(std::pair(1u, 220u), Result(system->LookupEVS(L"EVS3", evs)));
    EXPECT_EQ(L"EVS3", evs->name);
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_INFORMATION, "No EVS found with name=EVS9"));
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_INFORMATION, "No configured EVS found with name=EVS3 on system NODE1"));
}

// A node without the configuration key is listed without virtual servers; a
// node whose registry cannot be reached gets version 12 and the rest goes on.
TEST_F(ClusterTest, KeepsNodesWhoseConfigurationOrVersionCannotBeRead)
{
    Configure(L"NODE1", L"EVS1");
    ASSERT_EQ(std::pair(0u, 0u), Result(Discover()));
    EXPECT_EQ(L"NODE1/qlx-a/7: EVS1=1912701168; NODE2/qlx-b/0:; | EVS1", Shown());

    _cluster = CCluster();
    _lab.SetUnreachable(L"NODE2", true);
    _lab.AddClusterSystem(L"qlx-c", "3:NODE3,RUNNING");
    _lab.AddNode(L"NODE3");
    Configure(L"NODE3", L"EVS2");
    ASSERT_EQ(std::pair(0u, 0u), Result(CUtil::GetClusterInfo(_cluster)));
    EXPECT_EQ(L"NODE1/qlx-a/7: EVS1=1912701168; NODE2/qlx-b/12:; NODE3/qlx-c/12: EVS2=1912701168; | EVS1 EVS2",
              Shown());
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "CUtil::GetExchangeVersion() failed: category 2, code 53.")
                     KV_LOG_LINE("ERROR", IDS_LOG_INFORMATION, "NODE2"));
}

// Names that no cluster should list: a system without a name is skipped, a
// system listed twice in another case counts once.
TEST_F(ClusterTest, SkipsNamelessAndRepeatedSystems)
{
    _lab.SetClusterSystemList({L"qlx-a", L"", L"QLX-A", L"qlx-b"});
    ASSERT_EQ(std::pair(0u, 0u), Result(Discover()));
    EXPECT_EQ(L"NODE1/qlx-a/0:; NODE2/qlx-b/0:; |", Shown());
    ExpectLogged(KV_LOG_LINE("WARNING", IDS_LOG_INFORMATION, "The cluster listed a system without a name; skipped."));
    ExpectLogged(KV_LOG_LINE("WARNING", IDS_LOG_INFORMATION, "System QLX-A is computer NODE1, listed already; skipped."));
}

// Each failure of the library ends the discovery with its own code and logs
// the library's class, number and text.
struct LibraryFailureCase
{
    const char* name;
    const wchar_t* function;
    uint32_t code;
    const char* lines;
    const char* caller = "";
};

struct LibraryFailureTest : ClusterTest, ::testing::WithParamInterface<LibraryFailureCase> {};

TEST_P(LibraryFailureTest, EndsTheDiscoveryWithItsCode)
{
    const LibraryFailureCase& c = GetParam();
    _lab.SetClusterFailure(c.function, 20, 4711, "The engine says no.");
    EXPECT_EQ(std::pair(1u, c.code), Result(Discover()));
    ExpectLogged(c.lines);
    ExpectLogged(c.caller);
    if (::lstrcmpW(c.function, L"QLXObjGetAttribute") == 0)
    {
        EXPECT_EQ(std::vector<DWORD>(100, 100), _clock.sleeps) << "100 attempts, a wait after each";
    }
}

#define KV_LIBRARY_LOGGED(function)                                                                                   \
    KV_LOG_LINE("ERROR", IDS_LOG_CLUSTER_CALL_FAILED, function " failed: QLX error class 20, number 4711.")           \
    KV_LOG_LINE("ERROR", IDS_LOG_INFORMATION, "The engine says no.")

INSTANTIATE_TEST_SUITE_P(Calls, LibraryFailureTest, ::testing::Values(
    LibraryFailureCase{"NotReady", L"QLXApiInit", 204, KV_LIBRARY_LOGGED("QLXApiInit()")},
    LibraryFailureCase{"NoCluster", L"QLXClusterOpenLocal", 206, KV_LIBRARY_LOGGED("QLXClusterOpenLocal()")},
    LibraryFailureCase{"NoSystemNames", L"QLXObjGetNames", 207, KV_LIBRARY_LOGGED("QLXObjGetNames()")},
    LibraryFailureCase{"NoSysInfo", L"QLXObjGetAttribute", 216,
                       KV_LIBRARY_LOGGED("QLXObjGetAttribute()"),
                       KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "CUtil::GetActualNodeName() failed: category 1, code 216.")},
    LibraryFailureCase{"NoSysInfoText", L"QLXAttrGetStr", 216, KV_LIBRARY_LOGGED("QLXAttrGetStr()")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ClusterTest, HandleOfTheLocalClusterForCallersThatWantItAlone)
{
    QLXHANDLE handle = nullptr;
    ASSERT_TRUE(CUtil::InitQLXApiAndGetHandle(handle).IsSuccess());
    EXPECT_NE(nullptr, handle);
    _lab.SetClusterFailure(L"QLXClusterOpenLocal", 20, 4711, "The engine says no.");
    EXPECT_EQ(std::pair(1u, 206u), Result(CUtil::InitQLXApiAndGetHandle(handle)));
    ExpectLogged(KV_LIBRARY_LOGGED("QLXClusterOpenLocal1()"));
}

// The computer name of a system from its "SysInfo" text.
struct SysInfoCase
{
    const char* name;
    std::string sysInfo;
    DWORD failedAttempts;
    uint32_t code;
    std::wstring computer;
    const char* line;
};

struct ActualNameTest : ClusterTest, ::testing::WithParamInterface<SysInfoCase> {};

TEST_P(ActualNameTest, ReadsTheComputerNameFromSysInfo)
{
    const SysInfoCase& c = GetParam();
    _lab.AddClusterSystem(L"qlx-x", c.sysInfo, c.failedAttempts);
    QLXHANDLE handle = nullptr;
    ASSERT_TRUE(CUtil::InitQLXApiAndGetHandle(handle).IsSuccess());
    std::wstring computer = L"unchanged";
    EXPECT_EQ(std::pair(c.code ? 1u : 0u, c.code), Result(CUtil::GetActualNodeName(L"qlx-x", computer, handle)));
    EXPECT_EQ(c.computer, computer);
    EXPECT_EQ(std::vector<DWORD>(c.failedAttempts, 100), _clock.sleeps);
    ExpectLogged(c.line);
}

INSTANTIATE_TEST_SUITE_P(Texts, ActualNameTest, ::testing::Values(
    SysInfoCase{"AtTheFifthAttempt", "7:NODE7,RUNNING", 4, 0, L"NODE7",
                KV_LOG_LINE("INFO", IDS_LOG_INFORMATION, "System qlx-x is computer NODE7.")},
    SysInfoCase{"WithoutComma", "7:NODE7", 0, 0, L"",
                KV_LOG_LINE("WARNING", IDS_LOG_INFORMATION, "SysInfo of system qlx-x has no comma: no computer name.")},
    SysInfoCase{"Empty", "", 0, 230, L"unchanged",
                KV_LOG_LINE("ERROR", IDS_LOG_NO_SYSINFO, "QLXAttrGetStr() returned no SysInfo text for the cluster "
                                                       "system qlx-x.")},
    SysInfoCase{"FourKilobytes", "1:" + std::string(4096, 'N') + ",x", 0, 0, std::wstring(4096, L'N'),
                KV_LOG_LINE("WARNING", IDS_LOG_INFORMATION, "SysInfo of system qlx-x gives 4096 characters that are "
                                                          "no computer name.")},
    SysInfoCase{"Unprintable", "\x01\x02\x03,\x04", 0, 0, L"\x01\x02\x03",
                KV_LOG_LINE("WARNING", IDS_LOG_INFORMATION, "SysInfo of system qlx-x gives 3 characters that are no "
                                                          "computer name.")}),
    [](const auto& info) { return std::string(info.param.name); });

// A hung engine: discovery restarts the real "Qen" service once and goes on.
struct EngineTest : ClusterTest
{
    // The service polls need real time; the pause after the restart does not.
    struct CServiceClock final : VLibClock
    {
        void Sleep(DWORD ms) noexcept override
        {
            if (ms <= VLibService::kUnboundedPollMs)
                ::Sleep(ms);
            else
                pauses.push_back(ms);
        }
        ULONGLONG TickCount() noexcept override { return ::GetTickCount64(); }
        std::vector<DWORD> pauses;
    } _serviceClock;
    VLibClock* _replaced = VLibClock::Install(&_serviceClock);
    ~EngineTest() override
    {
        VLibClock::Install(_replaced);
        RemoveLabService(L"Qen", nullptr);
    }
};

TEST_F(EngineTest, RestartsTheHungEngineThroughItsService)
{
    RemoveLabService(L"Qen", nullptr);
    ASSERT_TRUE(InstallLabService(L"Qen", L"QLX Engine (lab)", SERVICE_DEMAND_START, {}, nullptr));
    {
        VLibService engine;
        ASSERT_TRUE(engine.Open(L"Qen", SERVICE_ALL_ACCESS, nullptr, SC_MANAGER_ALL_ACCESS).IsSuccess());
        ASSERT_TRUE(engine.Start(0, nullptr).IsSuccess());
        ASSERT_TRUE(engine.WaitForStart(10 * 1000).IsSuccess());
    }
    _lab.SetClusterEngineHung(true);
    ASSERT_EQ(nullptr, KvEntry().QLXClusterOpenLocal(QLX_ALL_SYSTEMS, 0)) << "hung until Qen starts again";

    ASSERT_EQ(std::pair(0u, 0u), Result(Discover()));
    EXPECT_EQ(L"NODE1/qlx-a/0:; NODE2/qlx-b/0:; |", Shown());
    EXPECT_EQ(std::vector<DWORD>{5000}, _serviceClock.pauses);
    ExpectLogged(KV_LOG_LINE("INFO", IDS_LOG_INFORMATION, "calling WaitForStart..")
                     KV_LOG_LINE("INFO", IDS_LOG_INFORMATION, "completed QEN restart."));
}

TEST_F(EngineTest, WithoutTheEngineServiceTheDiscoveryFails)
{
    RemoveLabService(L"Qen", nullptr);
    _lab.SetClusterEngineHung(true);
    EXPECT_EQ(std::pair(2u, 1060u), Result(Discover()));
    ExpectLogged(KV_LOG_LINE("INFO", IDS_LOG_INFORMATION, "Entering  restart QEN portion")
                     KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "VLibService::Open() failed: category 2, code 1060."));
    EXPECT_EQ(nullptr, _cluster.handle);
}
} // namespace
