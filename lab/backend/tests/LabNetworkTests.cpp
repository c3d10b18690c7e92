// The lab's network through the entry-point table, read back as the program reads Windows' bytes: NetBIOS
// control blocks, the empty adapter lists and echo replies (the network classes' tests read the rest).
#include "EntryPoints.h"
#include "FakeClock.h"
#include "LabFaults.h"
#include "LabNetwork.h"
#include "LabScenario.h"

#include <gtest/gtest.h>

#include <ws2tcpip.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
constexpr LabMac kPublic{0x00, 0x15, 0x5D, 0x0A, 0x00, 0x01}, kHeartbeat{0x00, 0x15, 0x5D, 0x0A, 0x00, 0x02},
    kBackup{0x00, 0x15, 0x5D, 0x0A, 0x00, 0x03}, kWan{0x20, 0x41, 0x53, 0x59, 0x4E, 0xFF},
    kNode2{0x00, 0x15, 0x5D, 0x0B, 0x00, 0x01};

// NODE1 with three adapters (the second without IPv4, the third without a LANA) and LANA 5 of none; NODE2
// holding EVS1; a host that never answers echo and one whose router answers for it.
class LabNetworkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(
            _lab.SetLocalComputerName(L"node1") &&
            _lab.AddNetworkAdapter({kPublic, 0, true, true, {"192.168.10.1/24", "192.168.10.11"}, {"fd00::1"}, "Public"}) &&
            _lab.AddNetworkAdapter({kHeartbeat, 1, false, true, {"10.9.9.9"}, {"fd00:1::1/64"}, "Heartbeat"}) &&
            _lab.AddNetworkAdapter({kBackup, -1, true, false, {"10.0.0.1/8"}, {}, "Backup"}) &&
            _lab.AddLanaWithoutAdapter(5, kWan) &&
            _lab.AddNetworkHost({L"NODE2", {{"NODE2", 0x00}, {"EVS1", 0x00}, {"EVS1", 0x20}}, kNode2,
                                 {"192.168.10.2", "192.168.10.12"}, {"fd00::2"}, {DNS_TYPE_CNAME}}) &&
            _lab.AddNetworkHost({L"silent", {}, {}, {"192.168.10.9"}, {}, {}, false}) &&
            _lab.AddNetworkHost({L"behind", {}, {}, {"192.168.20.5"}, {"fd00:2::5"}, {}, true, "192.168.10.254"}));
    }

    CLabScenario _lab;
    CFakeClock _clock;
};

NCB Control(UCHAR command, UCHAR lana, std::vector<BYTE>& buffer, const std::string& callname = "*")
{
    NCB ncb{};
    ncb.ncb_command = command;
    ncb.ncb_lana_num = lana;
    ncb.ncb_buffer = buffer.data();
    ncb.ncb_length = static_cast<WORD>(buffer.size());
    std::memset(ncb.ncb_callname, ' ', NCBNAMSZ);
    std::memcpy(ncb.ncb_callname, callname.data(), callname.size());
    return ncb;
}

// "<address> <count>: NAME<xx> ..." from the bytes an adapter status fills, entries only as far as they lie.
std::string Described(const std::vector<BYTE>& bytes, size_t length)
{
    char text[64] = "";
    if (length >= 60)
        snprintf(text, sizeof(text), "%02x%02x%02x%02x%02x%02x %d:", bytes[0], bytes[1], bytes[2], bytes[3],
                 bytes[4], bytes[5], bytes[58] | bytes[59] << 8);
    std::string described = text;
    for (size_t at = 60; at + 18 <= length && length >= 60; at += 18)
    {
        const std::string name(reinterpret_cast<const char*>(&bytes[at]), 15);
        snprintf(text, sizeof(text), " %s<%02X>", name.substr(0, name.find_last_not_of(' ') + 1).c_str(), bytes[at + 15]);
        described += text;
    }
    return described;
}

struct StatusCase
{
    const char* label;
    UCHAR lana;
    std::string callname;
    WORD length;
    UCHAR code;
    const char* answer;
    std::vector<DWORD> sleeps;
};

class LabAdapterStatusTest : public LabNetworkTest, public ::testing::WithParamInterface<StatusCase>
{
};

TEST_P(LabAdapterStatusTest, AnswersAsTheNamesHolderOnThatLana)
{
    const StatusCase& c = GetParam();
    std::vector<BYTE> buffer(c.length, 0xCC);
    NCB ncb = Control(NCBASTAT, c.lana, buffer, c.callname);
    EXPECT_EQ(c.code, KvEntry().Netbios(&ncb));
    EXPECT_TRUE(ncb.ncb_retcode == c.code && ncb.ncb_cmd_cplt == c.code);
    EXPECT_EQ(c.answer, Described(buffer, c.code == NRC_GOODRET || c.code == NRC_INCOMP ? ncb.ncb_length : 0));
    EXPECT_EQ(c.sleeps, _clock.sleeps);
}

const std::string kEvs1Server = std::string("EVS1           ") + '\x20';
INSTANTIATE_TEST_SUITE_P(Cases, LabAdapterStatusTest, ::testing::Values(
    StatusCase{"OwnOnSecondLana", 1, "*", 600, 0, "00155d0a0002 2: NODE1<00> NODE1<20>", {}},
    StatusCase{"OwnNameOnLanaWithoutAdapter", 5, "NODE1", 600, 0, "204153594eff 2: NODE1<00> NODE1<20>", {}},
    StatusCase{"HolderListsAllItsNames", 0, kEvs1Server, 600, 0, "00155d0b0001 3: NODE2<00> EVS1<00> EVS1<20>", {}},
    StatusCase{"ShortBufferKeepsWhatFits", 0, kEvs1Server, 100, NRC_INCOMP, "00155d0b0001 3: NODE2<00> EVS1<00>", {}},
    StatusCase{"HeaderCutShort", 0, "*", 59, NRC_INCOMP, "", {}},
    StatusCase{"SuffixIsPartOfTheName", 0, std::string("NODE2          ") + '\x20', 600, NRC_CMDTMO, "", {50}},
    StatusCase{"NobodyHoldsIt", 1, "EVS2", 600, NRC_CMDTMO, "", {50}},
    StatusCase{"UnknownLana", 3, "*", 600, NRC_BRIDGE, "", {}}),
    [](const auto& info) { return std::string(info.param.label); });

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

struct EchoCase
{
    const char* destination;
    DWORD replies;
    ULONG status; // the last error when there is no reply
    const char* from;
    std::vector<DWORD> sleeps;
};

class LabEchoTest : public LabNetworkTest, public ::testing::WithParamInterface<EchoCase>
{
};

TEST_P(LabEchoTest, RepliesAsTheDestinationOrItsRouter)
{
    const EchoCase& c = GetParam();
    const HANDLE icmp = KvEntry().IcmpCreateFile();
    ASSERT_NE(INVALID_HANDLE_VALUE, icmp);
    char payload[] = "korvelin";
    std::vector<BYTE> reply(sizeof(ICMP_ECHO_REPLY) + sizeof(payload) + 8);
    IP_OPTION_INFORMATION options{};
    options.Ttl = 64;
    ::SetLastError(0);
    EXPECT_EQ(0u, KvEntry().IcmpSendEcho(icmp, inet_addr(c.destination), payload, sizeof(payload), &options,
                                         reply.data(), static_cast<DWORD>(reply.size() - 1), 1000));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), ::GetLastError());
    EXPECT_EQ(c.replies, KvEntry().IcmpSendEcho(icmp, inet_addr(c.destination), payload, sizeof(payload), &options,
                                                reply.data(), static_cast<DWORD>(reply.size()), 1000));
    const auto* echo = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
    EXPECT_EQ(c.status, c.replies ? echo->Status : ::GetLastError());
    EXPECT_EQ(inet_addr(c.from), echo->Address);
    if (echo->Status == IP_SUCCESS)
    {
        EXPECT_TRUE(echo->Data == reply.data() + sizeof(*echo) && echo->DataSize == sizeof(payload) &&
                    std::memcmp(echo->Data, payload, sizeof(payload)) == 0);
    }
    EXPECT_EQ(c.sleeps, _clock.sleeps);
    EXPECT_TRUE(KvEntry().IcmpCloseHandle(icmp));
    EXPECT_FALSE(KvEntry().IcmpCloseHandle(icmp));
    const auto sent = CLabScenario::EchoRequests();
    ASSERT_EQ(1u, sent.size()) << "a request that cannot take its reply is not sent";
    EXPECT_TRUE(sent[0].destination == c.destination && sent[0].payload.size() == sizeof(payload) &&
                sent[0].ttl == 64 && sent[0].replySize == reply.size() && sent[0].timeout == 1000);
}

INSTANTIATE_TEST_SUITE_P(Destinations, LabEchoTest, ::testing::Values(
    EchoCase{"192.168.10.12", 1, IP_SUCCESS, "192.168.10.12", {}},
    EchoCase{"10.0.0.1", 1, IP_SUCCESS, "10.0.0.1", {}},
    EchoCase{"192.168.20.5", 1, IP_DEST_HOST_UNREACHABLE, "192.168.10.254", {}},
    EchoCase{"192.168.10.9", 0, IP_REQ_TIMED_OUT, "192.168.10.9", {1000}},
    EchoCase{"10.9.9.9", 0, IP_REQ_TIMED_OUT, "10.9.9.9", {1000}}));
} // namespace
