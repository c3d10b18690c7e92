// The lab's NetBIOS control blocks and its empty adapter lists through the entry-point table. Who answers
// an adapter status or an echo, and DNS, are read by the network classes' tests and the shipped scenarios'
// test, and held to the real servers' answers by the real-network test.
#include "EntryPoints.h"
#include "FakeClock.h"
#include "LabFaults.h"
#include "LabNetwork.h"
#include "LabScenario.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace
{
constexpr LabMac kPublic{0x00, 0x15, 0x5D, 0x0A, 0x00, 0x01}, kHeartbeat{0x00, 0x15, 0x5D, 0x0A, 0x00, 0x02},
    kWan{0x20, 0x41, 0x53, 0x59, 0x4E, 0xFF};

// NODE1 with two adapters (the second without IPv4) and LANA 5 of none.
class LabNetworkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            _lab.SetLocalComputerName(L"node1") &&
            _lab.AddNetworkAdapter({kPublic, 0, true, true, {"192.168.10.1/24", "192.168.10.11"}, {"fd00::1"}, "Public"}) &&
            _lab.AddNetworkAdapter({kHeartbeat, 1, false, true, {"10.9.9.9"}, {"fd00:1::1/64"}, "Heartbeat"}) &&
            _lab.AddLanaWithoutAdapter(5, kWan));
    }

    CLabScenario _lab;
    CFakeClock _clock;
};

NCB Control(UCHAR command, UCHAR lana, std::vector<BYTE>& buffer)
{
    NCB ncb{};
    ncb.ncb_command = command;
    ncb.ncb_lana_num = lana;
    ncb.ncb_buffer = buffer.data();
    ncb.ncb_length = static_cast<WORD>(buffer.size());
    std::memset(ncb.ncb_callname, ' ', NCBNAMSZ);
    ncb.ncb_callname[0] = '*';
    return ncb;
}

// LANAs of the adapters, then those without; injected codes per LANA or for all; a generic fault's error.
TEST_F(LabNetworkTest, EnumerateResetAndInjectedReturnCodes)
{
    std::vector<BYTE> lanas(sizeof(LANA_ENUM));
    NCB ncb = Control(NCBENUM, 0, lanas);
    ASSERT_EQ(NRC_GOODRET, KvEntry().Netbios(&ncb));
    EXPECT_EQ((std::vector<BYTE>{3, 0, 1, 5}), std::vector<BYTE>(lanas.begin(), lanas.begin() + 4));
    const auto Run = [&lanas](UCHAR command, UCHAR lana) {
        NCB control = Control(command, lana, lanas);
        const UCHAR code = KvEntry().Netbios(&control);
        return code == control.ncb_retcode && code == control.ncb_cmd_cplt ? code : 0xEE;
    };
    EXPECT_EQ(NRC_GOODRET, Run(NCBRESET, 5));
    EXPECT_EQ(NRC_BRIDGE, Run(NCBRESET, 2));
    ASSERT_TRUE(_lab.SetNetbiosReturnCode(NCBRESET, -1, NRC_OSRESNOTAV) && _lab.SetNetbiosReturnCode(NCBRESET, 1, NRC_NORES) &&
                _lab.SetNetbiosReturnCode(NCBASTAT, 0, NRC_CMDTMO) && _lab.SetNetbiosNoAnswerDelay(3000));
    EXPECT_EQ(NRC_NORES, Run(NCBRESET, 1));
    EXPECT_EQ(NRC_OSRESNOTAV, Run(NCBRESET, 0));
    EXPECT_EQ(NRC_CMDTMO, Run(NCBASTAT, 0));
    EXPECT_EQ(NRC_GOODRET, Run(NCBASTAT, 1));
    EXPECT_EQ((std::vector<DWORD>{}), _clock.sleeps) << "an injected code does not wait";
    KvLab::FailCall(KvLab::Entry::Netbios, 2, NRC_IFBUSY);
    EXPECT_EQ(NRC_GOODRET, Run(NCBENUM, 0));
    EXPECT_EQ(NRC_IFBUSY, Run(NCBENUM, 0));
}

TEST_F(LabNetworkTest, WithoutAdaptersThereIsNoData)
{
    _lab.Reset();
    ULONG size = 0;
    EXPECT_EQ(ERROR_NO_DATA, KvEntry().GetAdaptersInfo(nullptr, &size));
    EXPECT_EQ(ERROR_NO_DATA, KvEntry().GetAdaptersAddresses(AF_UNSPEC, 0, nullptr, nullptr, &size));
}
} // namespace
