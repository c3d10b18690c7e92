// The program's own table on a computer without the cluster library: the
// wizard starts, and the library answers as one that is not ready.
#include "Util.h"

#include "L10nUtil.h"
#include "LibPinger.h"
#include "RealNetwork.h"
#include "StringIds.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace
{

TEST(SystemBackendTest, MissingClusterLibraryIsALibraryThatIsNotReady)
{
    ASSERT_EQ(nullptr, ::GetModuleHandleW(L"qlxapi_mt.dll"));
    CScopedResourceModule catalogue{L10nUtil::SelectModule(L"Korvelin", 0x0409)};
    const CLogTail log;
    for (int call = 0; call < 2; ++call)
    {
        const CStatus status = CUtil::InitQLXApi();
        EXPECT_EQ(std::pair(1u, 204u), std::pair(status.GetCategory(), status.GetCode()));
    }
    const std::string text = log.Text();
    const std::string loading = "qlxapi_mt.dll could not be loaded: Windows error 126.";
    EXPECT_NE(std::string::npos, text.find(loading)) << text;
    EXPECT_EQ(text.find(loading), text.rfind(loading)) << "loaded once, on first use";
    EXPECT_TRUE(log.HasLines(KV_LOG_LINE("ERROR", IDS_LOG_CLUSTER_CALL_FAILED,
                                  "QLXApiInit() failed: QLX error class 1, number 126.")
                            KV_LOG_LINE("ERROR", IDS_LOG_INFORMATION,
                                      "qlxapi_mt.dll could not be loaded (Windows error 126).")))
        << log.Untimed();
    // Every entry answers without the library.
    EXPECT_EQ(nullptr, KvEntry().QLXClusterOpenLocal(QLX_ALL_SYSTEMS, 0));
    QLXNames* names = nullptr;
    EXPECT_NE(0, KvEntry().QLXObjGetNames(nullptr, QLX_OBJ_SYSTEM, 0, &names, nullptr));
    KvEntry().QLXFreeObjNames(&names);
}
} // namespace

namespace
{
// A cluster library on the search path is loaded on first use and answers for
// itself; one that lacks a function is none: every entry answers "not ready"
// and names what is missing. Each runs in a process of its own, as the library
// is loaded once per process.
class ClusterLibraryTest : public ::testing::TestWithParam<const char*>
{
};

TEST_P(ClusterLibraryTest, WholeOrNone)
{
    const std::string kind = GetParam();
    if (!InFreshProcess())
    {
        std::wstring folder = L"Z:" + std::wstring(KV_STANDIN_FOLDER L"/qlxapi-") + std::wstring(kind.begin(), kind.end());
        std::replace(folder.begin(), folder.end(), L'/', L'\\');
        std::wstring path(32767, L'\0');
        path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
        ASSERT_TRUE(::SetEnvironmentVariableW(L"PATH", (folder + L";" + path).c_str()));
        EXPECT_EQ(0u, RunInFreshProcess());
        ::SetEnvironmentVariableW(L"PATH", path.c_str());
        return;
    }
    const bool whole = kind == "whole";
    const CLogTail log;
    QLXCntlInfo* info = nullptr;
    EXPECT_EQ(whole ? 0 : -1, KvEntry().QLXFillCntlInfo(QLX_CNTL_INFO_VERSION, 0, 0, &info));
    EXPECT_EQ(whole, KvEntry().QLXClusterOpenLocal(QLX_ALL_SYSTEMS, 0) != nullptr);
    const QLXError error = KvEntry().QLXApiGetLastError();
    const std::string told = whole ? "stand-in" : "qlxapi_mt.dll lacks QLXFreeObjState.";
    EXPECT_EQ(std::tuple(whole ? 7u : 1u, whole ? 7u : 127u, told),
              std::tuple(error.errorClass, error.errorNumber, std::string(error.text)));
    const std::string logged = whole ? "qlxapi_mt.dll loaded." : "qlxapi_mt.dll lacks QLXFreeObjState.";
    EXPECT_NE(std::string::npos, log.Text().find(logged)) << log.Text();
}

INSTANTIATE_TEST_SUITE_P(StandIns, ClusterLibraryTest, ::testing::Values("whole", "half"));

// Real echo requests inside the test's own network namespace: the loopback
// answers over IPv4; Wine 8 has no ICMPv6, which must read as "not alive".
TEST(SystemBackendTest, EchoRequestsOverTheLoopback)
{
    VLibPinger pinger;
    bool alive = false;
    ASSERT_TRUE(pinger.Ping(alive, L"127.0.0.1", 2000).IsSuccess());
    EXPECT_TRUE(alive);
    EXPECT_EQ(VLibPinger::kIPv4, pinger.GetFamily());

    alive = true;
    EXPECT_TRUE(VLibNetv6::Pingv6(L"::1", 2000, alive).IsSuccess());
    EXPECT_FALSE(alive);
    VLibPinger v6;
    const CStatus refused = v6.Ping(alive, L"::1", 2000);
    EXPECT_EQ(std::pair(41u, 107u), std::pair(refused.GetCategory(), refused.GetCode())) << "a leading colon";
}
} // namespace

namespace
{
// The shipped table's name check against real servers: nmbd, dnsmasq and the
// kernel's echo in the test's own namespace. Wine 8 lacks four IP Helper
// exports that every Windows from 6.0 on has, so the check without a physical
// address stops at the adapter list; given the adapter's address, it runs.
TEST(SystemBackendTest, NameCheckAgainstRealServers)
{
    KV_REQUIRE_REAL_NETWORK();
    CScopedRecordingOutput output;
    const NameCheck withoutMac = CheckName(L"EVS1", output);
    EXPECT_EQ(std::pair(2u, static_cast<uint32_t>(ERROR_PROC_NOT_FOUND)),
              std::pair(withoutMac.status.GetCategory(), withoutMac.status.GetCode()));
    for (const RealNetworkName& name : RealNetworkNames())
    {
        const NameCheck check = CheckName(name.name, output, kRealNetworkMac);
        std::printf("real network: %ls (%s): %lld ms\n", name.name, name.what, check.ms);
        EXPECT_TRUE(check.status.IsSuccess()) << name.what;
        EXPECT_EQ(name.exists, check.exists) << name.what;
        EXPECT_EQ(name.byNetbios, check.byNetbios) << name.what;
        EXPECT_EQ(name.pinged, check.pinged) << name.what;
    }
}
} // namespace
