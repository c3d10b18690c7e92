// Exchange version detection on this node and the version catalogue.
#include "Util.h"

#include "ExchangeNode.h"
#include "L10nUtil.h"
#include "LabScenario.h"
#include "RecordingLogOutput.h"
#include "StringIds.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr DWORD kUnset = CExchangeNode::kUnset;
constexpr uint32_t kUntouched = 0xDEAD;
const auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

std::pair<uint32_t, uint32_t> Result(const CStatus& status) { return {status.GetCategory(), status.GetCode()}; }

#define KV_LOGGED(level, id, text) "QLX " level " " KV_MESSAGE_TAG(id) text

// The log lines of an operation and the library traces it dumped, in English.
struct LoggedTest : ::testing::Test
{
    void ExpectLogged(const std::vector<std::string>& lines) const
    {
        for (const std::string& line : lines)
            EXPECT_TRUE(_log.Has(line)) << line << "\nnot in:\n" << _log.Text();
    }
    std::vector<std::wstring> Dumped() const
    {
        std::vector<std::wstring> messages;
        // Inside the dump's start and end lines.
        for (size_t i = 1; i + 1 < _dumped.written.size(); ++i)
            messages.push_back(_dumped.written[i].message);
        return messages;
    }

    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"Korvelin", 0x0409)};
    CExchangeNode _node;
    CScopedRecordingOutput _dumped;
    const CLogTail _log;
};
template <typename Case> struct LoggedCaseTest : LoggedTest, ::testing::WithParamInterface<Case>
{
};

// One state of a node: what the setup values' reader (category 2 on failure)
// and the installation check make of it, with the roles and server name found.
struct NodeCase
{
    const char* name;
    DWORD major, minor;
    uint32_t readError, versionCode, installedCode;
    std::vector<const wchar_t*> roleKeys = {L"MailBoxRole"};
    uint32_t roles = CUtil::kMailboxRole;
    const wchar_t* server = L"NODE1";
    std::vector<const wchar_t*> services = CExchangeNode::kExchangeServices;
    std::vector<std::string> lines = {};
};

using NodeTest = LoggedCaseTest<NodeCase>;

TEST_P(NodeTest, GivesTheReleaseCodeRolesAndServerName)
{
    const NodeCase& c = GetParam();
    if (c.major != kUnset || c.minor != kUnset)
        _node.SetSetupVersion(c.major, c.minor);
    for (const wchar_t* role : c.roleKeys)
        _node.AddRole(role);
    if (c.server)
        _node.SetThisServer(c.server);
    ASSERT_TRUE(_node.InstallServices(c.services));
    uint32_t code = kUntouched, roles = kUntouched;
    EXPECT_EQ(std::pair(c.readError ? 2u : 0u, c.readError), Result(CUtil::GetExchangeVersion(nullptr, code)));
    EXPECT_EQ(c.versionCode, code);
    std::wstring server = L"unchanged";
    // Without the Exchange key the roles cannot be listed.
    const uint32_t error = c.roleKeys.empty() ? ERROR_FILE_NOT_FOUND : 0;
    EXPECT_EQ(std::pair(error ? 2u : 0u, error), Result(CUtil::IsE2K7Installed(code, server, roles)));
    EXPECT_EQ(c.installedCode, code);
    EXPECT_EQ(c.roles, roles);
    EXPECT_EQ(c.installedCode && c.server ? c.server : L"unchanged", server);
    ExpectLogged(c.lines);
}

// The installation check takes any minor release as Exchange 2007, the reader only those it knows.
INSTANTIATE_TEST_SUITE_P(
    Nodes, NodeTest,
    ::testing::Values(
        NodeCase{"NoSetupValues", kUnset, kUnset, ERROR_FILE_NOT_FOUND, 12, 6},
        NodeCase{"MinorWithoutMajor", kUnset, 3, ERROR_FILE_NOT_FOUND, 12, 9},
        NodeCase{"MajorWithoutMinor", 8, kUnset, 0, 6, 6},
        NodeCase{"LastRelease", 8, 5, 0, 11, 11},
        NodeCase{"FirstUnknownMinor", 8, 6, 0, 12, 6},
        NodeCase{"MajorBelow", 7, 1, 0, 12, 7},
        // Every service is asked for, up to the last.
        NodeCase{"WithoutTopology", 8, 1, 0, 7, 0, {L"MailBoxRole"}, kUntouched, L"NODE1",
                 {L"MSExchangeSA", L"MSExchangeIS"}, {KV_LOGGED("ERROR", IDS_LOG_SERVICE_MISSING, "The Exchange service MSExchangeADTopology")}},
        NodeCase{"MailboxAndUnifiedMessaging", 8, 1, 0, 7, 7, {L"MailBoxRole", L"UnifiedServerRole"},
                 CUtil::kMailboxRole | CUtil::kUnifiedMessagingRole},
        // Names compare without case; other keys beside the roles are no role.
        NodeCase{"OthersWithoutServerName", 8, 1, 0, 7, 7,
                 {L"edgetransportrole", L"HubTransportRole", L"ClientAccessRole", L"MailBoxRoleOld", L"Role"},
                 CUtil::kEdgeTransportRole | CUtil::kHubTransportRole | CUtil::kClientAccessRole, nullptr,
                 CExchangeNode::kExchangeServices,
                 {KV_LOGGED("ERROR", IDS_LOG_CALL_FAILED, "CLibRegistry::ReadRegistryStringValue(Services\\"
                            "MSExchangeIS\\ParametersSystem\\ThisServer) failed: category 2, code 2.")}},
        NodeCase{"NoExchangeKey", kUnset, kUnset, ERROR_FILE_NOT_FOUND, 12, 6, {}, kUntouched}),
    kCaseName);

// The named computer's values, not this node's.
TEST(ExchangeVersionTests, ReadsTheNamedComputersSetupValues)
{
    CExchangeNode local;
    local.SetSetupVersion(8, 0);
    CLabScenario lab;
    ASSERT_TRUE(lab.AddNode(L"NODE2"));
    local.SetSetupVersion(8, 3, CLabScenario::NodeKeyPath(L"NODE2", HKEY_LOCAL_MACHINE, CExchangeNode::kSetupKey));
    uint32_t code = 0;
    EXPECT_TRUE(CUtil::GetExchangeVersion(L"NODE2", code).IsSuccess());
    EXPECT_EQ(9u, code);
}

// The directory's version of a virtual server, its log lines and the library
// traces dumped after a failure.
struct DirectoryCase
{
    const char* name;
    const wchar_t* evs;
    std::wstring versionText; // empty: the object has no version attribute
    uint32_t category, code;
    std::vector<std::wstring> dumped = {};
    std::vector<std::string> lines = {};
};

using DirectoryVersionTest = LoggedCaseTest<DirectoryCase>;

TEST_P(DirectoryVersionTest, ReadsTheExchangeServerObject)
{
    const DirectoryCase& c = GetParam();
    CLabScenario lab;
    const std::wstring configuration = L"CN=Configuration,DC=lab,DC=test";
    ASSERT_TRUE(lab.SetDirectoryRoot(L"DC=lab,DC=test", configuration, L"CN=Schema," + configuration));
    ASSERT_TRUE(lab.AddDirectoryObject(L"CN=Servers," + configuration, L"msExchServersContainer"));
    for (const wchar_t* name : {L"EVS1", L"EVS2"})
    {
        const std::wstring dn = std::wstring(L"CN=") + name + L",CN=Servers," + configuration;
        ASSERT_TRUE(lab.AddDirectoryObject(dn, L"msExchExchangeServer"));
        if (name == std::wstring(c.evs) && !c.versionText.empty())
        {
            ASSERT_TRUE(lab.SetDirectoryStrings(dn, L"versionNumber", {c.versionText}));
        }
    }
    std::wstring version = L"unchanged";
    EXPECT_EQ(std::pair(c.category, c.code), Result(CUtil::GetEVSVersionFromAD(c.evs, version)));
    EXPECT_EQ(c.category ? L"unchanged" : c.versionText, version);
    ExpectLogged(c.lines);
    EXPECT_EQ(c.dumped, Dumped());
}

INSTANTIATE_TEST_SUITE_P(
    Objects, DirectoryVersionTest,
    ::testing::Values(
        DirectoryCase{"Found", L"EVS1", L"1912701168", 0, 0, {},
                      {KV_LOGGED("INFO", IDS_LOG_INFORMATION, "EVSName=EVS1 Version= 1912701168\r\n")}},
        DirectoryCase{"LongestText", L"EVS1", std::wstring(259, L'7'), 0, 0},
        DirectoryCase{"NotFound", L"EVS9", L"", 27, 3},
        DirectoryCase{"TextFillingTheBuffer", L"EVS1", std::wstring(260, L'7'), 27, 5, {L"Insufficient buffer."},
                      {KV_LOGGED("ERROR", IDS_LOG_CALL_FAILED, "VLibADObject::GetPropertyValue() failed: category 27, "
                                 "code 5.\r\n\t./UtilExchangeVersion:CUtil::GetEVSVersionFromAD["),
                       KV_LOGGED("ERROR", IDS_LOG_INFORMATION, "EVS1\r\n")}}),
    kCaseName);

// One catalogue file: the status, what was read before a failure ("directory
// version:code ...", then "> " and the upgrade's) and the failure lines.
struct CatalogueCase
{
    const char* name;
    const char* xml; // null: the home has no catalogue
    uint32_t category, code;
    std::wstring read;
    std::vector<std::string> lines = {};
};

using CatalogueTest = LoggedCaseTest<CatalogueCase>;

std::wstring Render(const CExchVersionList& list)
{
    std::wstring text;
    for (const CExchVersionEntry& entry : list.toUpgrade)
        text += entry.adVersion + L":" + std::to_wstring(entry.code) + L" ";
    return text + L"> " + list.upgradeVersion.adVersion + L":" + std::to_wstring(list.upgradeVersion.code);
}

TEST_P(CatalogueTest, ReadsUntilTheFirstFailure)
{
    const CatalogueCase& c = GetParam();
    if (c.xml)
        _node.WriteCatalogue(c.xml);
    else
        _node.SetHomeWithoutCatalogue();
    CExchVersionList list;
    list.upgradeVersion.code = -1;
    EXPECT_EQ(std::pair(c.category, c.code), Result(CUtil::GetExchangeVersionListFromXML(list)));
    EXPECT_EQ(c.read, Render(list));
    ExpectLogged(c.lines);
}

#define KV_CATALOGUE_FAILED(text)                                                                                   \
    "QLX ERROR M-42-13-0 " text "\r\n\t./UtilExchangeVersion:CUtil::GetExchangeVersionListFromXML["

INSTANTIATE_TEST_SUITE_P(
    Files, CatalogueTest,
    ::testing::Values(
        // A code that is not a number becomes 0.
        CatalogueCase{"Catalogue",
                      R"(<?xml version="1.0"?><a><ExchangeNonUpgradedVersion><V ExchQLXVersion="6" ExchADVersion="A"/>)"
                      R"(<W ExchQLXVersion="seven" ExchADVersion="B"/></ExchangeNonUpgradedVersion>)"
                      R"(<ExchangeUpgeadeVersion QLXVersion="8" ADVersion="C"/></a>)",
                      0, 0, L"A:6 B:0 > C:8"},
        CatalogueCase{"EmptyListStillReadsTheUpgradeVersion",
                      R"(<a><ExchangeNonUpgradedVersion/><ExchangeUpgeadeVersion QLXVersion="9" ADVersion="x"/></a>)",
                      0, 0, L"> x:9"},
        CatalogueCase{"Unreadable", nullptr, 50, 302, L"> :-1"},
        // Entries read before the failure stay.
        CatalogueCase{"EntryWithoutDirectoryVersion",
                      R"(<a><ExchangeNonUpgradedVersion><V ExchQLXVersion="6" ExchADVersion="1"/><V ExchQLXVersion="7"/>)"
                      R"(</ExchangeNonUpgradedVersion></a>)",
                      50, 308, L"1:6 > :-1",
                      {KV_CATALOGUE_FAILED(
                          "CXMLReader::GetAttributeValueForNode() Failed. Error Type : 50 , Error Code : 308 ")}},
        CatalogueCase{"NoUpgradeVersion", R"(<a><ExchangeNonUpgradedVersion/></a>)", 50, 311, L"> :-1",
                      {KV_CATALOGUE_FAILED("\r\nFailed to get the Product NAME Atrribute."),
                       KV_CATALOGUE_FAILED(
                           "\r\nError!\r\nCXMLReader::GetAttributeValueForNode() FAILED. \tType = 50 \tCode =  311")}}),
    kCaseName);

// Too long for the path, the variable's read reports no error of its own,
// and none left over from before may stand in for it.
TEST(ExchangeVersionListTests, HomeDirectoryFailures)
{
    CExchangeNode node;
    CExchVersionList list;
    EXPECT_EQ(std::pair(2u, uint32_t{ERROR_ENVVAR_NOT_FOUND}), Result(CUtil::GetExchangeVersionListFromXML(list)));
    ::SetEnvironmentVariableW(L"QLX_HOME", std::wstring(MAX_PATH, L'h').c_str());
    ::SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(std::pair(2u, 0u), Result(CUtil::GetExchangeVersionListFromXML(list)));
}

TEST(ExchangeVersionListTests, BuiltInListAndLookups)
{
    CExchVersionList list;
    list.toUpgrade.push_back({L"stale", 3});
    CUtil::SetDefaultExchangeVersionList(list);
    EXPECT_EQ(L"1912636077:6 1912701168:7 > 1912766640:8", Render(list));
    EXPECT_TRUE(CUtil::IsVersionInList(list.toUpgrade, L"1912636077"));
    EXPECT_FALSE(CUtil::IsVersionInList(list.toUpgrade, L"1912636078"));
    EXPECT_TRUE(CUtil::IsVersionCodeInList(list.toUpgrade, 7));
    EXPECT_FALSE(CUtil::IsVersionCodeInList(list.toUpgrade, 8));
}
} // namespace
