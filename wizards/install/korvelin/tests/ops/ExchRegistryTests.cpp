// The Exchange configuration key: reading it into the record, writing the
// upgrade state back, and the optional switches beside it.
#include "ExchRegistry.h"

#include "ExchangeNode.h"
#include "FunctionLog.h"
#include "L10nUtil.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "RegistryValues.h"
#include "Util.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

namespace
{
using E = KvLab::Entry;
constexpr wchar_t kNode[] = L"NODE2";
const std::wstring kKey = CExchRegistry::kConfigKey;

// "ExchVersion/InstallState/OrgCompName" as the key holds them, "-" when missing.
std::wstring Stored(const wchar_t* node)
{
    std::wstring shown;
    for (const wchar_t* name : {L"ExchVersion", L"InstallState", L"OrgCompName"})
    {
        const std::wstring key = node ? CLabScenario::NodeKeyPath(node, HKEY_LOCAL_MACHINE, kKey) : kKey;
        const CRegValue value = GetRegValue(key, name);
        const void* data = value.data.data();
        shown += L"/" + (value.type == REG_NONE    ? L"-"
                         : value.type == REG_DWORD ? std::to_wstring(*static_cast<const DWORD*>(data))
                                                   : std::wstring(static_cast<const wchar_t*>(data)));
    }
    return shown.substr(1);
}

enum Op { kRead, kFirstPass, kVersionAlone, kSecondPass, kSkip };

// What an act shows: "version/state/name/server:systems ..." of the record a
// read filled, what the key holds after a write, or the switch asked once
// with the flag clear and once with it set beforehand ("11": set, "00": clear).
CStatus Act(Op op, const wchar_t* computer, std::wstring& seen)
{
    // The first pass writes all three; without an upgrade state only the version is written.
    CQLXExchConfig config = op == kFirstPass ? CQLXExchConfig{0, 6, 212, L"NODE3", {}} : CQLXExchConfig{0, 9, 0, L"", {}};
    bool set[] = {false, true};
    CStatus status;
    switch (op)
    {
    case kRead:
        config = {};
        status = CExchRegistry::ReadQLXExchReg(computer, config);
        seen = std::to_wstring(config.exchVersion) + L"/" + std::to_wstring(config.installState) + L"/" +
               config.orgCompName + L"/";
        for (const auto& evs : config.evsList)
            seen += evs->name + L":" + std::to_wstring(evs->systemCount) + L" ";
        return status;
    case kSkip:
        static_cast<void>(CUtil::IsSkipValueSet(L"SkipClusterDiscovery", set[1]));
        status = CUtil::IsSkipValueSet(L"SkipClusterDiscovery", set[0]);
        seen = std::to_wstring(set[0]) + std::to_wstring(set[1]);
        return status;
    case kFirstPass:
    case kVersionAlone: status = CExchRegistry::WriteQLXExchReg(computer, config); break;
    case kSecondPass: status = CExchRegistry::RegChangesForUpgrade(11); break;
    }
    seen = Stored(computer);
    return status;
}

// The failed-call line an operation logs for a failed registry operation.
std::string Logged(const char* callee, uint32_t code, const char* operation)
{
    return "QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) + std::string(callee) + " failed: category 2, code " +
           std::to_string(code) + ".\r\n\t./ExchRegistry:CExchRegistry::" + operation + "[";
}

struct Case
{
    const char* name;
    std::vector<const wchar_t*> removed; // values or subkeys taken from the upgrading node's key
    Op op;
    uint32_t category, code;
    std::wstring seen;
    std::pair<E, uint32_t> fault = {E::Count, 0}; // the call-th call of entry from the act's start fails with 5
    const wchar_t* computer = nullptr;
    std::vector<std::string> lines = {};
};

class ExchRegistryTest : public ::testing::TestWithParam<Case>
{
protected:
    CExchangeNode _exchange; // removes the configuration key before and after every test
    CLabScenario _lab;
    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"L10nTest", 0x0409)};
};

// The key of a node between the passes, with virtual servers EVS-A (two systems)
// and EVS-B (one), less what the case removes.
TEST_P(ExchRegistryTest, GivesTheStatusAndLeavesWhatTheCaseShows)
{
    const Case& test = GetParam();
    ASSERT_TRUE(_lab.AddNode(kNode));
    const std::pair<const wchar_t*, CRegValue> values[] = {{L"ExchVersion", {REG_DWORD, {7, 0, 0, 0}}},
                                                           {L"InstallState", {REG_DWORD, {211, 0, 0, 0}}},
                                                           {L"OrgCompName", {REG_SZ, RegText(L"NODE1")}},
                                                           {L"SkipClusterDiscovery", {REG_DWORD, {0, 0, 0, 0}}}};
    for (const auto& [name, value] : values)
        ASSERT_EQ(ERROR_SUCCESS, PutRegValue(kKey, name, value));
    // A default value makes each system's key and those above it.
    for (const wchar_t* system : {L"EVS-A\\Systems\\NODE1", L"EVS-A\\Systems\\NODE2", L"EVS-B\\Systems\\NODE1"})
        ASSERT_EQ(ERROR_SUCCESS, PutRegValue(kKey + L"\\EVS\\" + system, nullptr, {REG_SZ, RegText(L"")}));
    for (const wchar_t* removed : test.removed)
        ASSERT_TRUE(!::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey.c_str(), removed) ||
                    !::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kKey + L"\\" + removed).c_str())) << removed;
    // The writers work below the key a read has found.
    CQLXExchConfig found;
    static_cast<void>(CExchRegistry::ReadQLXExchReg(nullptr, found));
    std::wstring seen;
    const CLogTail log;
    KvLab::FailCall(test.fault.first, test.fault.second, ERROR_ACCESS_DENIED);
    const CStatus status = Act(test.op, test.computer, seen);
    EXPECT_EQ(std::pair(test.category, test.code), std::pair(status.GetCategory(), status.GetCode()));
    EXPECT_EQ(test.seen, seen);
    for (const std::string& line : test.lines)
        EXPECT_TRUE(log.Has(line)) << line << "\nnot in:\n" << log.Text();
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, ExchRegistryTest,
    ::testing::Values(
        Case{"Upgrading", {}, kRead, 0, 0, L"7/211/NODE1/EVS-A:2 EVS-B:1 "},
        Case{"WithoutExchVersionNothingElseIsRead", {L"ExchVersion"}, kRead, 2, ERROR_FILE_NOT_FOUND, L"0/0//"},
        // Both are absent while no upgrade is under way.
        Case{"NotUpgrading", {L"InstallState", L"OrgCompName"}, kRead, 0, 0, L"7/0//EVS-A:2 EVS-B:1 "},
        Case{"WithoutEVSKey", {L"EVS"}, kRead, 1, 202, L"7/211/NODE1/"},
        // A server without "Systems" stays; the last server's enumeration decides the result.
        Case{"FirstServerWithoutSystems", {L"EVS\\EVS-A\\Systems"}, kRead, 0, 0, L"7/211/NODE1/EVS-A:0 EVS-B:1 "},
        Case{"LastServerWithoutSystems", {L"EVS\\EVS-B\\Systems"}, kRead, 2, ERROR_FILE_NOT_FOUND,
             L"7/211/NODE1/EVS-A:2 EVS-B:0 ", {}, nullptr,
             {Logged("CLibRegistry::EnumerateKeys(Systems)", 2, "ReadQLXExchReg")}},
        Case{"OnAComputerTheLabCannotReach", {}, kRead, 2, ERROR_BAD_NETPATH, L"0/0//", {}, L"NOWHERE"},
        // Failing registry calls: each read or write stops where it failed.
        Case{"EVSKeyTestFault", {}, kRead, 2, 5, L"7/211/NODE1/", {E::RegConnectRegistryW, 5}},
        Case{"EVSEnumerationFault", {}, kRead, 2, 5, L"7/211/NODE1/", {E::RegEnumKeyExW, 1}},
        Case{"VersionWriteFault", {}, kFirstPass, 2, 5, L"7/211/NODE1", {E::RegSetValueExW, 1}},
        Case{"StateWriteFault", {}, kFirstPass, 2, 5, L"6/211/NODE1", {E::RegSetValueExW, 2}},
        Case{"NameWriteFault", {}, kFirstPass, 2, 5, L"6/212/NODE1", {E::RegSetValueExW, 3}},
        Case{"SecondPassVersionFault", {}, kSecondPass, 2, 5, L"7/211/NODE1", {E::RegSetValueExW, 1}},
        Case{"SecondPassStateFault", {}, kSecondPass, 2, 5, L"11/211/NODE1", {E::RegDeleteValueW, 1}, nullptr,
             {Logged("CLibRegistry::DeleteRegistryValue(REG_INSTALLSTATE)", 5, "RegChangesForUpgrade")}},
        Case{"SecondPassNameFault", {}, kSecondPass, 2, 5, L"11/-/NODE1", {E::RegDeleteValueW, 2}},
        Case{"VersionAlone", {}, kVersionAlone, 0, 0, L"9/211/NODE1"},
        // Another node's key is made by the write.
        Case{"FirstPassOnAnotherNode", {}, kFirstPass, 0, 0, L"6/212/NODE3", {}, kNode},
        Case{"SecondPass", {}, kSecondPass, 0, 0, L"11/-/-"},
        // The switch is set whenever four bytes can be read, whatever they hold.
        Case{"SkipZero", {}, kSkip, 0, 0, L"11"},
        Case{"SkipMissing", {L"SkipClusterDiscovery"}, kSkip, 2, ERROR_FILE_NOT_FOUND, L"00"}),
    [](const auto& info) { return std::string(info.param.name); });
} // namespace

// Without the key a read says so in the record. The writers then refuse to work,
// as before any read, and the log says which of the two it was.
TEST(ExchRegistryWriterTests, RefusesWithoutAKeyFoundAndSaysWhy)
{
    if (!InFreshProcess())
    {
        EXPECT_EQ(0u, RunInFreshProcess());
        return;
    }
    CExchangeNode exchange;
    CScopedResourceModule catalogue(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    for (const UINT reason : {IDS_LOG_CONFIG_NOT_READ, IDS_LOG_NO_CONFIG_KEY})
    {
        if (reason == IDS_LOG_NO_CONFIG_KEY)
        {
            CQLXExchConfig missing;
            const CStatus read = CExchRegistry::ReadQLXExchReg(nullptr, missing);
            EXPECT_EQ(std::pair(1u, 203u), std::pair(read.GetCategory(), read.GetCode()));
            EXPECT_EQ(-1, missing.configState);
        }
        const CLogTail log;
        const CStatus refused = CExchRegistry::WriteQLXExchReg(nullptr, {0, 9, 211, L"NODE1", {}});
        EXPECT_EQ(std::pair(1u, 203u), std::pair(refused.GetCategory(), refused.GetCode()));
        EXPECT_TRUE(log.Has("ERROR M-42-13-" + std::to_string(reason) + " ")) << log.Text();
        EXPECT_EQ(203u, CExchRegistry::RegChangesForUpgrade(11).GetCode());
    }
}
