// The Exchange configuration key: reading it into the record, writing the
// upgrade state back, and the optional switches beside it.
#include "ExchRegistry.h"

#include "L10nUtil.h"
#include "LabScenario.h"
#include "UniqueResource.h"
#include "Util.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
constexpr wchar_t kConfigKey[] = L"SOFTWARE\\HALVERN\\QLX\\ExchConfig";
constexpr wchar_t kNode[] = L"NODE2";

std::vector<BYTE> Number(DWORD value)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(bytes, bytes + sizeof(value));
}

std::vector<BYTE> Text(const std::wstring& text)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

// Set-up and checks go straight to the registry: below the configuration key
// here, or below the same path in a lab node's registry.
std::wstring Key(const std::wstring& relative = L"", const wchar_t* node = nullptr)
{
    const std::wstring path = relative.empty() ? kConfigKey : std::wstring(kConfigKey) + L"\\" + relative;
    return node ? CLabScenario::NodeKeyPath(node, HKEY_LOCAL_MACHINE, path) : path;
}

void Put(const wchar_t* name, DWORD type, const std::vector<BYTE>& data, const wchar_t* node = nullptr)
{
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, Key(L"", node).c_str(), name, type, data.data(),
                                               static_cast<DWORD>(data.size())));
}

void AddKey(const std::wstring& relative, const wchar_t* node = nullptr)
{
    unique_hkey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, Key(relative, node).c_str(), 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &key, nullptr));
}

// A virtual server with that many systems; a negative count: no "Systems" key.
void AddEVS(const std::wstring& name, int systems, const wchar_t* node = nullptr)
{
    AddKey(L"EVS\\" + name, node);
    for (int i = 0; i < systems; ++i)
        AddKey(L"EVS\\" + name + L"\\Systems\\NODE" + std::to_wstring(i + 1), node);
}

// The value's data, empty when it cannot be read.
std::vector<BYTE> Get(const wchar_t* name, const wchar_t* node = nullptr)
{
    std::vector<BYTE> data(64);
    DWORD size = static_cast<DWORD>(data.size());
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, Key(L"", node).c_str(), name, RRF_RT_ANY, nullptr, data.data(), &size))
        size = 0;
    data.resize(size);
    return data;
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

void ExpectStatus(const CStatus& status, uint32_t category, uint32_t code)
{
    EXPECT_EQ(category, status.GetCategory());
    EXPECT_EQ(code, status.GetCode());
}

// The key's path is fixed, so the fixture owns it outright: it is removed
// before and after every test and nothing of it is kept.
class ExchRegistryTest : public ::testing::Test
{
protected:
    ExchRegistryTest() { Wipe(); }
    ~ExchRegistryTest() override { Wipe(); }

    static void Wipe()
    {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kConfigKey);
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kConfigKey);
    }

    // A node in the middle of an upgrade, read once so the writers know the key.
    static void ReadUpgrading()
    {
        Put(L"ExchVersion", REG_DWORD, Number(8));
        Put(L"InstallState", REG_DWORD, Number(211));
        Put(L"OrgCompName", REG_SZ, Text(L"NODE1"));
        AddKey(L"EVS");
        CQLXExchConfig config;
        ASSERT_TRUE(CExchRegistry::ReadQLXExchReg(nullptr, config).IsSuccess());
    }

    CLabScenario _lab;
    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"L10nTest", 0x0409)};
};

struct CaseName
{
    template <typename Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};

// --- Reading ---

struct ConfigCase
{
    const char* name;
    std::function<void()> arrange;
    uint32_t category;
    uint32_t code;
    std::wstring record; // as Render shows it
};

class ConfigReadTest : public ExchRegistryTest, public ::testing::WithParamInterface<ConfigCase>
{
};

TEST_P(ConfigReadTest, FillsTheRecordUpToTheFailureThatEndsTheRead)
{
    const ConfigCase& test = GetParam();
    test.arrange();
    CQLXExchConfig config;
    ExpectStatus(CExchRegistry::ReadQLXExchReg(nullptr, config), test.category, test.code);
    EXPECT_EQ(test.record, Render(config));
    EXPECT_EQ(0, config.configState);
}

using Value = std::tuple<const wchar_t*, DWORD, std::vector<BYTE>>;

// The values as given, then the virtual servers; a negative count: no "EVS" key.
std::function<void()> Arrange(std::vector<Value> values, std::vector<std::pair<const wchar_t*, int>> servers = {},
                              int evsKey = 0)
{
    return [=] {
        for (const auto& [name, type, data] : values)
            Put(name, type, data);
        if (evsKey >= 0)
            AddKey(L"EVS");
        for (const auto& [name, systems] : servers)
            AddEVS(name, systems);
    };
}

const Value kVersion7{L"ExchVersion", REG_DWORD, Number(7)};
const Value kState211{L"InstallState", REG_DWORD, Number(211)};
const Value kNameNode1{L"OrgCompName", REG_SZ, Text(L"NODE1")};

INSTANTIATE_TEST_SUITE_P(
    Configurations, ConfigReadTest,
    ::testing::Values(
        ConfigCase{"NotUpgrading", Arrange({kVersion7}), 0, 0, L"7/0//"},
        ConfigCase{"Upgrading", Arrange({kVersion7, kState211, kNameNode1}, {{L"EVS-A", 2}, {L"EVS-B", 1}}), 0, 0,
                   L"7/211/NODE1/EVS-A:2 EVS-B:1 "},
        ConfigCase{"WithoutExchVersionNothingElseIsRead", Arrange({kState211, kNameNode1}, {{L"EVS-A", 1}}), 2,
                   ERROR_FILE_NOT_FOUND, L"0/0//"},
        ConfigCase{"WithoutEVSKey", Arrange({kVersion7, kState211}, {}, -1), 1, 202, L"7/211//"},
        // A server without "Systems" stays; the last server's enumeration decides the result.
        ConfigCase{"FirstServerWithoutSystems", Arrange({kVersion7}, {{L"EVS-A", -1}, {L"EVS-B", 3}}), 0, 0,
                   L"7/0//EVS-A:0 EVS-B:3 "},
        ConfigCase{"LastServerWithoutSystems", Arrange({kVersion7}, {{L"EVS-A", 2}, {L"EVS-B", -1}}), 2,
                   ERROR_FILE_NOT_FOUND, L"7/0//EVS-A:2 EVS-B:0 "},
        // Types are not tested; sizes are.
        ConfigCase{"VersionAsLongText", Arrange({{L"ExchVersion", REG_SZ, Text(L"12345678")}}), 2, ERROR_MORE_DATA,
                   L"0/0//"},
        ConfigCase{"VersionOfTwoBytes", Arrange({{L"ExchVersion", REG_BINARY, {0x0B, 0x00}}}), 0, 0, L"11/0//"},
        ConfigCase{"NameOf260Characters", Arrange({kVersion7, {L"OrgCompName", REG_SZ, Text(std::wstring(260, 'N'))}}),
                   0, 0, L"7/0//"}),
    CaseName());

TEST_F(ExchRegistryTest, WithoutTheKeyTheReadGives203AndMarksTheRecord)
{
    CQLXExchConfig config;
    ExpectStatus(CExchRegistry::ReadQLXExchReg(nullptr, config), 1, 203);
    EXPECT_EQ(-1, config.configState);
}

TEST_F(ExchRegistryTest, ALabNodesConfigurationIsReadOverTheNetwork)
{
    ASSERT_TRUE(_lab.AddNode(kNode));
    Put(L"ExchVersion", REG_DWORD, Number(10), kNode);
    AddEVS(L"EVS-N", 2, kNode);
    CQLXExchConfig config;
    ExpectStatus(CExchRegistry::ReadQLXExchReg(kNode, config), 0, 0);
    EXPECT_EQ(L"10/0//EVS-N:2 ", Render(config));

    ASSERT_TRUE(_lab.SetUnreachable(kNode, true));
    CQLXExchConfig unread;
    ExpectStatus(CExchRegistry::ReadQLXExchReg(kNode, unread), 2, ERROR_BAD_NETPATH);
    EXPECT_EQ(0, unread.configState);
}

// --- Writing ---

TEST_F(ExchRegistryTest, ARecordWithoutUpgradeStateWritesTheVersionAlone)
{
    ReadUpgrading();
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kConfigKey, L"InstallState");
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kConfigKey, L"OrgCompName");
    CQLXExchConfig config;
    config.exchVersion = 9;
    ExpectStatus(CExchRegistry::WriteQLXExchReg(nullptr, config), 0, 0);
    EXPECT_EQ(Number(9), Get(L"ExchVersion"));
    EXPECT_TRUE(Get(L"InstallState").empty());
    EXPECT_TRUE(Get(L"OrgCompName").empty());
}

TEST_F(ExchRegistryTest, TheFirstPassWritesVersionStateAndNameHereOrOnAnotherNode)
{
    ReadUpgrading();
    ASSERT_TRUE(_lab.AddNode(kNode));
    CQLXExchConfig config;
    config.exchVersion = 6;
    config.installState = 211;
    config.orgCompName = L"NODE3";
    for (const wchar_t* node : {static_cast<const wchar_t*>(nullptr), kNode})
    {
        ExpectStatus(CExchRegistry::WriteQLXExchReg(node, config), 0, 0);
        EXPECT_EQ(Number(6), Get(L"ExchVersion", node));
        EXPECT_EQ(Number(211), Get(L"InstallState", node));
        EXPECT_EQ(Text(L"NODE3"), Get(L"OrgCompName", node));
    }
}

TEST_F(ExchRegistryTest, TheSecondPassRecordsTheNewVersionAndClearsTheUpgradeState)
{
    ReadUpgrading();
    ExpectStatus(CExchRegistry::RegChangesForUpgrade(11), 0, 0);
    EXPECT_EQ(Number(11), Get(L"ExchVersion"));
    EXPECT_TRUE(Get(L"InstallState").empty());
    EXPECT_TRUE(Get(L"OrgCompName").empty());
}

TEST_F(ExchRegistryTest, TheSecondPassStopsWhereInstallStateIsMissingAndKeepsTheName)
{
    ReadUpgrading();
    ASSERT_EQ(ERROR_SUCCESS, ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kConfigKey, L"InstallState"));
    ExpectStatus(CExchRegistry::RegChangesForUpgrade(11), 2, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Number(11), Get(L"ExchVersion"));
    EXPECT_EQ(Text(L"NODE1"), Get(L"OrgCompName"));
}

// --- Switches ---

struct SkipCase
{
    const char* name;
    DWORD type; // REG_NONE: the value is absent
    std::vector<BYTE> data;
    uint32_t code; // category 2 when not 0
    bool set;
};

class SkipValueTest : public ExchRegistryTest, public ::testing::WithParamInterface<SkipCase>
{
};

TEST_P(SkipValueTest, IsSetWheneverFourBytesCanBeReadWhateverTheData)
{
    const SkipCase& test = GetParam();
    AddKey(L"");
    if (test.type != REG_NONE)
        Put(L"SkipClusterDiscovery", test.type, test.data);
    bool set = !test.set;
    ExpectStatus(CUtil::IsSkipValueSet(L"SkipClusterDiscovery", set), test.code ? 2 : 0, test.code);
    EXPECT_EQ(test.set, set);
}

INSTANTIATE_TEST_SUITE_P(Data, SkipValueTest,
                         ::testing::Values(SkipCase{"Zero", REG_DWORD, Number(0), 0, true},
                                           SkipCase{"AllBits", REG_DWORD, Number(0xFFFFFFFF), 0, true},
                                           SkipCase{"Missing", REG_NONE, {}, ERROR_FILE_NOT_FOUND, false},
                                           SkipCase{"TooLong", REG_QWORD, std::vector<BYTE>(8, 1), ERROR_MORE_DATA,
                                                    false}),
                         CaseName());
} // namespace
