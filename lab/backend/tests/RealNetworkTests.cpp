// The lab's copy of the real test network (the "real-network" scenario)
// answers the name check as the real servers do, trace for trace, except
// where Wine lacks what Windows has: there the lab answers as Windows would.
#include "LabScenario.h"
#include "RealNetwork.h"
#include "ScenarioImport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace
{
std::vector<std::wstring> DnsStage(const std::vector<std::wstring>& traces)
{
    const auto start = std::find_if(traces.begin(), traces.end(), [](const std::wstring& trace) {
        return trace.rfind(L"Trying to resolve", 0) == 0;
    });
    return {start, traces.end()};
}

TEST(RealNetworkTest, TheLabAnswersAsTheRealServers)
{
    KV_REQUIRE_REAL_NETWORK();
    CLabScenario lab;
    ASSERT_TRUE(ImportLabKeys("real-network"));
    CScopedRecordingOutput output;
    for (const RealNetworkName& name : RealNetworkNames())
    {
        ASSERT_TRUE(lab.UseRealNetwork(false));
        const NameCheck simulated = CheckName(name.name, output);
        ASSERT_TRUE(lab.UseRealNetwork(true));
        const NameCheck real = CheckName(name.name, output);
        std::printf("%ls (%s): lab %lld ms, real servers %lld ms\n", name.name, name.what, simulated.ms, real.ms);
        EXPECT_EQ(name.exists, real.exists) << name.what;
        EXPECT_EQ(name.existsOnWindows, simulated.exists) << name.what;
        EXPECT_EQ(std::pair(simulated.status.GetCategory(), simulated.status.GetCode()),
                  std::pair(real.status.GetCategory(), real.status.GetCode()))
            << name.what;
        EXPECT_EQ(simulated.byNetbios, real.byNetbios) << name.what;
        // The same road after NetBIOS: every DNS answer and echo. (Where DNS knows a name
        // nobody holds, Wine's adapter-status query answers with no names, Windows' fails.)
        if (name.exists == name.existsOnWindows)
            EXPECT_EQ(DnsStage(simulated.traces), DnsStage(real.traces)) << name.what;
        else
            EXPECT_EQ(simulated.pinged, real.pinged) << name.what;
    }
}
} // namespace
