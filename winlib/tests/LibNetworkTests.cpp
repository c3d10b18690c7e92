// The network classes against the lab's network: the virtual-name table, the
// pinger's address families.
#include "LibNTDevice.h"
#include "LibNet.h"
#include "LibNetbios.h"
#include "LibPinger.h"
#include "LibVirtualName.h"

#include "FakeClock.h"
#include "LabFaults.h"

#include "LabScenario.h"
#include "RecordingLogOutput.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace
{
using Traces = std::vector<std::wstring>;
std::pair<uint32_t, uint32_t> Result(const CStatus& status) { return {status.GetCategory(), status.GetCode()}; }

constexpr std::array<BYTE, 6> kFirstMac = {0x00, 0x15, 0x5D, 0x01, 0x02, 0x01};
constexpr std::array<BYTE, 6> kSecondMac = {0x00, 0x15, 0x5D, 0x01, 0x02, 0x02};

struct NetworkTest : ::testing::Test
{
    // This computer with two adapters on LANAs 0 and 1; the second without IPv6.
    void TwoAdapters()
    {
        ASSERT_TRUE(_lab.AddNetworkAdapter({kFirstMac, 0, true, true, {"192.168.10.1"}, {"fd00::1"}, "first"}) &&
                    _lab.AddNetworkAdapter({kSecondMac, 1, true, false, {"192.168.20.1"}, {}, "second"}));
    }
    // Whether the name is alive, the result, and what was pinged.
    std::pair<bool, CStatus> Check(const wchar_t* name)
    {
        VLibVirtualName check;
        EXPECT_TRUE(check.Init(name).IsSuccess());
        bool exists = false;
        const CStatus status = check.IsExistInNetwork(exists);
        return {exists, status};
    }
    static std::vector<std::string> Pinged()
    {
        std::vector<std::string> pinged;
        for (const auto& request : CLabScenario::EchoRequests())
            pinged.push_back(request.destination);
        return pinged;
    }

    CLabScenario _lab;
    CFakeClock _clock;
    CScopedRecordingOutput _output;
};

// Two objects in turn share one table; it goes with the second.
TEST_F(NetworkTest, ObjectsShareOneTableUntilTheLastGoes)
{
    ASSERT_EQ(0u, VLibVirtualName::TableReferences());
    {
        VLibVirtualName first;
        ASSERT_TRUE(first.Init(L"evs1").IsSuccess());
        EXPECT_EQ(L"EVS1", first.GetName());
        {
            VLibVirtualName second;
            ASSERT_TRUE(second.Init(L"Evs2").IsSuccess());
            EXPECT_EQ(2u, VLibVirtualName::TableReferences());
        }
        EXPECT_EQ(1u, VLibVirtualName::TableReferences());
    }
    EXPECT_EQ(0u, VLibVirtualName::TableReferences());
}

// Another object of the mutex's name: Init still succeeds, and nothing is held.
TEST_F(NetworkTest, InitSucceedsWithoutItsMutex)
{
    const unique_handle squatter(::CreateEventW(nullptr, TRUE, FALSE, VLibVirtualName::kSingleInstanceMutex));
    ASSERT_TRUE(squatter);
    {
        VLibVirtualName name;
        EXPECT_TRUE(name.Init(L"EVS1").IsSuccess());
        EXPECT_EQ(0u, VLibVirtualName::TableReferences());
        EXPECT_EQ((Traces{L"(6) CreateMutex failed. Name=VLIB_VIRTUALNAME_SINGLE_INSTANCE",
                          L"VLibMutex.Create(VLIB_VIRTUALNAME_SINGLE_INSTANCE) returned 2, 0x00000006"}),
                  _output.TakeTraces());
    }
    EXPECT_EQ(0u, VLibVirtualName::TableReferences());
}

// Texts that are no address, and the first text deciding the family for good.
TEST_F(NetworkTest, PingerFamiliesFromTheText)
{
    for (const wchar_t* text : {L"", L"::1", L"1234", L".1.2.3"})
    {
        VLibPinger pinger;
        bool alive = true;
        EXPECT_EQ(std::pair(41u, 107u), Result(pinger.Ping(alive, text, 10))) << text;
        EXPECT_EQ(VLibPinger::kUndetected, pinger.GetFamily());
    }
    // Three parts are still an IPv4 address to Winsock (the last one covers two bytes): asked, nobody answers.
    VLibPinger shortForm;
    bool alive = true;
    EXPECT_EQ(std::pair(0u, 0u), Result(shortForm.Ping(alive, L"1.2.3", 10)));
    EXPECT_FALSE(alive);
    EXPECT_EQ(VLibPinger::kIPv4, shortForm.GetFamily());

    VLibPinger pinger;
    uint32_t family = 0;
    ASSERT_TRUE(pinger.DetectAddressFamily(L"fe80::1", family).IsSuccess());
    EXPECT_EQ(VLibPinger::kIPv6, family);
    EXPECT_EQ(CStatus::kWin32, pinger.DetectAddressFamily(L"1.2.3.4.5", family).GetCategory());
    EXPECT_EQ(VLibPinger::kIPv6, pinger.GetFamily()) << "kept after a text of another family";
}
// Found by NetBIOS through any suffix; else by DNS and echo, IPv4 before IPv6.
TEST_F(NetworkTest, NamesFoundByNetbiosOrByDnsAndEcho)
{
    TwoAdapters();
    ASSERT_TRUE(_lab.AddNetworkHost({L"NODE2", {{"NODE2", 0x00}, {"EVS1", 0x00}, {"EVS1", 0x20}},
                                     {0x00, 0x15, 0x5D, 0x02, 0x00, 0x01}, {"192.168.10.2"}}) &&
                _lab.AddNetworkHost({L"EVS6", {}, {}, {}, {"fd00::6"}}) &&
                _lab.AddNetworkHost({L"EVS3", {}, {}, {"192.168.20.1"}, {"fd00::1"}}) &&
                _lab.AddNetworkHost({L"EVS4", {}, {}, {"10.9.9.9"}, {}, {DNS_TYPE_CNAME}, true, "192.168.10.254"}));

    const auto [held, asked] = Check(L"evs1");
    EXPECT_TRUE(held && asked.IsSuccess());
    EXPECT_TRUE(Pinged().empty()) << "found by NetBIOS, nothing pinged";

    const auto [found, status] = Check(L"EVS6");
    EXPECT_TRUE(found && status.IsSuccess()) << "known only by AAAA";
    EXPECT_EQ((std::vector<std::string>{"fd00::6"}), Pinged());
    EXPECT_EQ(std::vector<DWORD>(2, VLibVirtualName::kDnsOptions), CLabScenario::DnsQueryOptions())
        << "A, then AAAA; a NetBIOS hit asks no DNS";

    EXPECT_FALSE(Check(L"EVS3").first) << "only this computer's own addresses: never pinged";
    EXPECT_EQ((std::vector<std::string>{"fd00::6"}), Pinged());
    EXPECT_FALSE(Check(L"EVS4").first) << "a router's answer is no life sign";
    EXPECT_EQ((std::vector<std::string>{"fd00::6", "10.9.9.9"}), Pinged());
    const auto [nobody, clean] = Check(L"EVS2");
    EXPECT_FALSE(nobody);
    EXPECT_TRUE(clean.IsSuccess()) << "nobody holds it: traced, not failed";
}

// The result is the last LANA's: its failure is reported, an earlier one's only traced.
TEST_F(NetworkTest, OnlyTheLastLanasFailureIsTheResult)
{
    TwoAdapters();
    ASSERT_TRUE(_lab.SetNetbiosReturnCode(NCBRESET, 0, 0x09));
    const auto [found, status] = Check(L"EVS2");
    EXPECT_FALSE(found);
    EXPECT_TRUE(status.IsSuccess());
    const Traces traces = _output.TakeTraces();
    EXPECT_NE(traces.end(), std::find(traces.begin(), traces.end(), L"nb.Reset() returned 2, 0x00000858"));

    ASSERT_TRUE(_lab.SetNetbiosReturnCode(NCBRESET, 1, 0x0F));
    EXPECT_EQ(std::pair(2u, 2298u), Result(Check(L"EVS2").second));
}

TEST_F(NetworkTest, WithoutLanaStraightToDns)
{
    ASSERT_TRUE(_lab.AddNetworkAdapter({kFirstMac, -1, true, false, {"192.168.10.1"}, {}, "no LANA"}) &&
                _lab.AddNetworkHost({L"EVS1", {}, {}, {"192.168.10.9"}}));
    const auto [found, status] = Check(L"EVS1");
    EXPECT_TRUE(found && status.IsSuccess());
}

// An answer that never fits: 16 tries from 600 bytes, then the mapped code.
TEST_F(NetworkTest, AnAnswerTooLargeForEveryBuffer)
{
    TwoAdapters();
    LabHost crowded{L"CROWDED"};
    for (int i = 0; i < 3500; ++i)
        crowded.netbiosNames.emplace_back("N" + std::to_string(i), 0x00);
    crowded.netbiosNames.emplace_back("CROWDED", 0x00);
    ASSERT_TRUE(_lab.AddNetworkHost(crowded));
    VLibNetbios nb;
    nb.Set(0, L"CROWDED");
    std::vector<BYTE> answer;
    size_t length = 99;
    EXPECT_EQ(std::pair(2u, 2105u), Result(nb.AdapterStatus("CROWDED", answer, length)));
    EXPECT_EQ(600u + 16 * 4096u, answer.size()) << "grown after each of the 16 tries";
    EXPECT_EQ(0u, length) << "no answer to read";
}

TEST_F(NetworkTest, AddressListTooSmallThreeTimesEndsThePings)
{
    KvLab::FailFromCall(KvLab::Entry::GetAdaptersAddresses, 1, ERROR_BUFFER_OVERFLOW);
    VLibVirtualName check;
    ASSERT_TRUE(check.Init(L"EVS1").IsSuccess());
    bool alive = true;
    EXPECT_EQ(std::pair(2u, 111u), Result(check.IsExistInNetworkByPinging(alive, AF_INET)));
    EXPECT_EQ(3u, KvLab::CallCount(KvLab::Entry::GetAdaptersAddresses));
}

// Every Windows from 6.0 on has the four IP Helper entry points that the adapter list resolves; one
// missing fails it, the fifth may be missing.
TEST_F(NetworkTest, AdapterListNeedsFourIpHelperEntryPoints)
{
    TwoAdapters();
    for (uint32_t missing = 1; missing <= 5; ++missing)
    {
        KvLab::ResetFaults();
        KvLab::FailCall(KvLab::Entry::GetProcAddress, missing, ERROR_PROC_NOT_FOUND);
        VLibNet net;
        EXPECT_EQ(missing < 5 ? std::pair(2u, 127u) : std::pair(0u, 0u), Result(net.Open())) << missing;
    }
}

// NetBT's delete request: 8 zero bytes, the name's room, the name in UTF-16.
TEST_F(NetworkTest, DestroySendsTheDeleteRequest)
{
    ASSERT_TRUE(_lab.AddNetbtInterface(L"\\Device\\NetBt_If7"));
    VLibNetbiosInterface device(L"\\Device\\NetBt_If7");
    ASSERT_TRUE(device.Destroy().IsSuccess());
    const auto requests = CLabScenario::DeviceRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(VLibNetbiosInterface::kDeleteInterface, requests[0].code);
    std::vector<BYTE> expected(88, 0);
    expected[8] = 76;
    const std::wstring name = L"\\Device\\NetBt_If7";
    std::memcpy(expected.data() + 12, name.data(), name.size() * sizeof(wchar_t));
    EXPECT_EQ(expected, requests[0].input);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(CStatus::kWin32, VLibNetbiosInterface(L"\\Device\\NetBt_If9").Destroy().GetCategory());
}
} // namespace
