// The Exchange configuration key: reading it into the record, writing the
// upgrade state back, and the optional switches beside it.
#include "ExchRegistry.h"

#include "ExchangeNode.h"
#include "FunctionLog.h"
#include "L10nUtil.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "UniqueResource.h"
#include "Util.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
constexpr wchar_t kNode[] = L"NODE2";
const HKEY kHKLM = HKEY_LOCAL_MACHINE;
const auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

std::vector<BYTE> Text(const std::wstring& text)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

// Set-up and checks go straight to the key, here or in a lab node's registry.
std::wstring Key(const wchar_t* node)
{
    return node ? CLabScenario::NodeKeyPath(node, kHKLM, CExchRegistry::kConfigKey) : CExchRegistry::kConfigKey;
}

void AddKey(const std::wstring& relative, const wchar_t* node = nullptr)
{
    unique_hkey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyW(kHKLM, (Key(node) + L"\\" + relative).c_str(), &key));
}

// "ExchVersion/InstallState/OrgCompName" as stored (a number from its two words), "-" when missing.
std::wstring Stored(const wchar_t* node)
{
    std::wstring shown;
    for (const wchar_t* name : {L"ExchVersion", L"InstallState", L"OrgCompName"})
    {
        wchar_t text[64] = {};
        DWORD type = REG_NONE;
        DWORD size = sizeof(text);
        const bool read = !::RegGetValueW(kHKLM, Key(node).c_str(), name, RRF_RT_ANY, &type, text, &size);
        shown += L"/" + (!read ? L"-" : type == REG_DWORD ? std::to_wstring(text[0] | text[1] << 16) : text);
    }
    return shown.substr(1);
}

// "version/state/name/server:systems ..." for comparing whole records.
std::wstring Render(const CQLXExchConfig& config)
{
    std::wstring text = std::to_wstring(config.exchVersion) + L"/" + std::to_wstring(config.installState) + L"/" +
                        config.orgCompName + L"/";
    for (const auto& evs : config.evsList)
        text += evs->name + L":" + std::to_wstring(evs->systemCount) + L" ";
    return text;
}

// What an act shows: the record a read filled, what the key holds after a
// write, or the switch.
using Act = std::function<CStatus(std::wstring& seen)>;

Act Read(const wchar_t* computer = nullptr, int32_t configState = 0)
{
    return [=](std::wstring& seen) {
        CQLXExchConfig config;
        const CStatus status = CExchRegistry::ReadQLXExchReg(computer, config);
        EXPECT_EQ(configState, config.configState);
        seen = Render(config);
        return status;
    };
}

Act Write(const wchar_t* computer, uint32_t version, uint32_t state, const wchar_t* name)
{
    return [=](std::wstring& seen) {
        const CStatus status = CExchRegistry::WriteQLXExchReg(computer, CQLXExchConfig{0, version, state, name, {}});
        seen = Stored(computer);
        return status;
    };
}

const Act kSecondPass = [](std::wstring& seen) {
    const CStatus status = CExchRegistry::RegChangesForUpgrade(11);
    seen = Stored(nullptr);
    return status;
};

// Asked once with the flag clear and once with it set beforehand: "11" set, "00" clear.
const Act kSkip = [](std::wstring& seen) {
    bool set[] = {false, true};
    static_cast<void>(CUtil::IsSkipValueSet(L"SkipClusterDiscovery", set[1]));
    const CStatus status = CUtil::IsSkipValueSet(L"SkipClusterDiscovery", set[0]);
    seen = std::to_wstring(set[0]) + std::to_wstring(set[1]);
    return status;
};

// The act with the call-th call of entry (counted from the act's start) failing with 5.
Act Faulted(KvLab::Entry entry, uint32_t call, Act act)
{
    return [=](std::wstring& seen) {
        KvLab::FailCall(entry, call, ERROR_ACCESS_DENIED);
        return act(seen);
    };
}

// The failed-call line an operation logs for a failed registry operation.
std::string Logged(const char* callee, uint32_t code, const char* operation)
{
    return "QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) + std::string(callee) + " failed: category 2, code " + std::to_string(code) +
           ".\r\n\t./ExchRegistry:CExchRegistry::" + operation + "[";
}

using Value = std::tuple<const wchar_t*, DWORD, std::vector<BYTE>>;

// The values as given, then the virtual servers with that many systems (a
// negative count: no "Systems" key); evsKey < 0: no "EVS" key at all.
std::function<void()> Arrange(std::vector<Value> values, std::vector<std::pair<const wchar_t*, int>> servers = {},
                              int evsKey = 0, const wchar_t* node = nullptr)
{
    return [=] {
        for (const auto& [name, type, data] : values)
            ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(kHKLM, Key(node).c_str(), name, type, data.data(),
                                                       static_cast<DWORD>(data.size())));
        if (evsKey >= 0)
            AddKey(L"EVS", node);
        for (const auto& [name, systems] : servers)
        {
            AddKey(L"EVS\\" + std::wstring(name), node);
            for (int i = 0; i < systems; ++i)
                AddKey(L"EVS\\" + std::wstring(name) + L"\\Systems\\NODE" + std::to_wstring(i + 1), node);
        }
    };
}

const Value kVersion7{L"ExchVersion", REG_DWORD, {7, 0, 0, 0}};
const Value kState211{L"InstallState", REG_DWORD, {211, 0, 0, 0}};
const Value kNameNode1{L"OrgCompName", REG_SZ, Text(L"NODE1")};

struct Case
{
    const char* name;
    std::function<void()> arrange;
    Act act;
    uint32_t category;
    uint32_t code;
    std::wstring seen;
    std::vector<std::string> lines = {};
};

class ExchRegistryTest : public ::testing::TestWithParam<Case>
{
protected:
    CExchangeNode _exchange; // removes the configuration key before and after every test
    CLabScenario _lab;
    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"L10nTest", 0x0409)};
};

TEST_P(ExchRegistryTest, GivesTheStatusAndLeavesWhatTheCaseShows)
{
    const Case& test = GetParam();
    ASSERT_TRUE(_lab.AddNode(kNode));
    test.arrange();
    // The writers work below the key a read has found.
    CQLXExchConfig found;
    static_cast<void>(CExchRegistry::ReadQLXExchReg(nullptr, found));
    std::wstring seen;
    const CLogTail log;
    const CStatus status = test.act(seen);
    EXPECT_EQ(test.category, status.GetCategory());
    EXPECT_EQ(test.code, status.GetCode());
    EXPECT_EQ(test.seen, seen);
    for (const std::string& line : test.lines)
        EXPECT_TRUE(log.Has(line)) << line << "\nnot in:\n" << log.Text();
}

const auto kUpgrading = Arrange({kVersion7, kState211, kNameNode1});

INSTANTIATE_TEST_SUITE_P(
    Configurations, ExchRegistryTest,
    ::testing::Values(
        Case{"NotUpgrading", Arrange({kVersion7}), Read(), 0, 0, L"7/0//"},
        Case{"Upgrading", Arrange({kVersion7, kState211, kNameNode1}, {{L"EVS-A", 2}, {L"EVS-B", 1}}), Read(), 0, 0,
             L"7/211/NODE1/EVS-A:2 EVS-B:1 "},
        Case{"WithoutTheKey", Arrange({}, {}, -1), Read(nullptr, -1), 1, 203, L"0/0//"},
        Case{"WithoutExchVersionNothingElseIsRead", Arrange({kState211, kNameNode1}, {{L"EVS-A", 1}}), Read(), 2,
             ERROR_FILE_NOT_FOUND, L"0/0//"},
        Case{"WithoutEVSKey", Arrange({kVersion7, kState211}, {}, -1), Read(), 1, 202, L"7/211//"},
        // A server without "Systems" stays; the last server's enumeration decides the result.
        Case{"FirstServerWithoutSystems", Arrange({kVersion7}, {{L"EVS-A", -1}, {L"EVS-B", 3}}), Read(), 0, 0,
             L"7/0//EVS-A:0 EVS-B:3 "},
        Case{"LastServerWithoutSystems", Arrange({kVersion7}, {{L"EVS-A", 2}, {L"EVS-B", -1}}), Read(), 2,
             ERROR_FILE_NOT_FOUND, L"7/0//EVS-A:2 EVS-B:0 ",
             {Logged("CLibRegistry::EnumerateKeys(Systems)", 2, "ReadQLXExchReg")}},
        // Types are not tested; sizes are.
        Case{"VersionAsLongText", Arrange({{L"ExchVersion", REG_SZ, Text(L"12345678")}}), Read(), 2, ERROR_MORE_DATA,
             L"0/0//"},
        Case{"NameOf260Characters", Arrange({kVersion7, {L"OrgCompName", REG_SZ, Text(std::wstring(260, 'N'))}}),
             Read(), 0, 0, L"7/0//"},
        Case{"OnALabNode", Arrange({{L"ExchVersion", REG_DWORD, {10, 0, 0, 0}}}, {{L"EVS-N", 2}}, 0, kNode),
             Read(kNode), 0, 0, L"10/0//EVS-N:2 "},
        Case{"OnAComputerTheLabCannotReach", kUpgrading, Read(L"NOWHERE"), 2, ERROR_BAD_NETPATH, L"0/0//",
             {Logged("CLibRegistry::RegKeyExists()", 53, "ReadQLXExchReg")}},
        // Failing registry calls: each read or write stops where it failed and says so.
        Case{"EVSKeyTestFault", kUpgrading, Faulted(KvLab::Entry::RegConnectRegistryW, 5, Read()), 2, 5,
             L"7/211/NODE1/", {Logged("CLibRegistry::RegKeyExists()", 5, "ReadQLXExchReg")}},
        Case{"EVSEnumerationFault", Arrange({kVersion7}, {{L"EVS-A", 1}}),
             Faulted(KvLab::Entry::RegEnumKeyExW, 1, Read()), 2, 5, L"7/0//",
             {Logged("CLibRegistry::EnumerateKeys()", 5, "ReadQLXExchReg")}},
        Case{"VersionWriteFault", kUpgrading,
             Faulted(KvLab::Entry::RegSetValueExW, 1, Write(nullptr, 6, 211, L"NODE3")), 2, 5, L"7/211/NODE1",
             {Logged("CLibRegistry::SetRegistryDWORDValue()", 5, "WriteQLXExchReg")}},
        Case{"StateWriteFault", kUpgrading, Faulted(KvLab::Entry::RegSetValueExW, 2, Write(nullptr, 6, 212, L"NODE3")),
             2, 5, L"6/211/NODE1", {Logged("CLibRegistry::SetRegistryDWORDValue()", 5, "WriteQLXExchReg")}},
        Case{"NameWriteFault", kUpgrading, Faulted(KvLab::Entry::RegSetValueExW, 3, Write(nullptr, 6, 212, L"NODE3")),
             2, 5, L"6/212/NODE1", {Logged("CLibRegistry::SetRegistryStringValue()", 5, "WriteQLXExchReg")}},
        Case{"SecondPassVersionFault", kUpgrading, Faulted(KvLab::Entry::RegSetValueExW, 1, kSecondPass), 2, 5,
             L"7/211/NODE1",
             {Logged("CLibRegistry::SetRegistryDWORDValue(REG_EXCH_VERSION)", 5, "RegChangesForUpgrade")}},
        Case{"SecondPassStateFault", kUpgrading, Faulted(KvLab::Entry::RegDeleteValueW, 1, kSecondPass), 2, 5,
             L"11/211/NODE1",
             {Logged("CLibRegistry::DeleteRegistryValue(REG_INSTALLSTATE)", 5, "RegChangesForUpgrade")}},
        Case{"SecondPassNameFault", kUpgrading, Faulted(KvLab::Entry::RegDeleteValueW, 2, kSecondPass), 2, 5,
             L"11/-/NODE1", {Logged("CLibRegistry::DeleteRegistryValue(REG_ORGCOMPNAME)", 5, "RegChangesForUpgrade")}},
        Case{"WithoutUpgradeStateTheVersionAlone", Arrange({kVersion7}), Write(nullptr, 9, 0, L""), 0, 0, L"9/-/-"},
        Case{"FirstPass", kUpgrading, Write(nullptr, 6, 211, L"NODE3"), 0, 0, L"6/211/NODE3"},
        Case{"FirstPassOnAnotherNode", kUpgrading, Write(kNode, 6, 211, L"NODE3"), 0, 0, L"6/211/NODE3"},
        Case{"SecondPass", kUpgrading, kSecondPass, 0, 0, L"11/-/-"},
        Case{"SecondPassWithoutInstallState", Arrange({kVersion7, kNameNode1}), kSecondPass, 2, ERROR_FILE_NOT_FOUND,
             L"11/-/NODE1"},
        // The switch is set whenever four bytes can be read, whatever they hold.
        Case{"SkipZero", Arrange({{L"SkipClusterDiscovery", REG_DWORD, {0, 0, 0, 0}}}), kSkip, 0, 0, L"11"},
        Case{"SkipMissing", Arrange({}), kSkip, 2, ERROR_FILE_NOT_FOUND, L"00"},
        Case{"SkipTooLong", Arrange({{L"SkipClusterDiscovery", REG_QWORD, std::vector<BYTE>(8, 1)}}), kSkip, 2,
             ERROR_MORE_DATA, L"00"}),
    kCaseName);
} // namespace

// The writers refuse to work before a read has found the key, and the log
// says which of the two it was: never read, or read and missing.
TEST(ExchRegistryWriterTests, RefusesWithoutAKeyFoundAndSaysWhy)
{
    if (!InFreshProcess())
    {
        EXPECT_EQ(0u, RunInFreshProcess());
        return;
    }
    CExchangeNode exchange;
    CScopedResourceModule catalogue(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    const CQLXExchConfig record{0, 9, 211, L"NODE1", {}};
    for (const UINT reason : {IDS_LOG_CONFIG_NOT_READ, IDS_LOG_NO_CONFIG_KEY})
    {
        if (reason == IDS_LOG_NO_CONFIG_KEY)
        {
            CQLXExchConfig missing;
            ASSERT_EQ(203u, CExchRegistry::ReadQLXExchReg(nullptr, missing).GetCode());
        }
        const CLogTail log;
        const CStatus refused = CExchRegistry::WriteQLXExchReg(nullptr, record);
        EXPECT_EQ(std::pair(1u, 203u), std::pair(refused.GetCategory(), refused.GetCode()));
        EXPECT_TRUE(log.Has("ERROR M-42-13-" + std::to_string(reason) + " ")) << log.Text();
        EXPECT_EQ(203u, CExchRegistry::RegChangesForUpgrade(11).GetCode());
    }
}

