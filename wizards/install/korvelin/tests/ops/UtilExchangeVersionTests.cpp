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

// A log line of an operation ("" for none checked) and the library traces it dumped, in English.
struct LoggedTest : ::testing::Test
{
    void ExpectLogged(const char* line) const { EXPECT_TRUE(_log.Has(line)) << line << "\nnot in:\n" << _log.Text(); }

    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"Korvelin", 0x0409)};
    CExchangeNode _node;
    CScopedRecordingOutput _dumped;
    const CLogTail _log;
};

// What the setup values' reader (category 2 on failure) and the installation check make of a node.
struct NodeCase
{
    const char* name;
    DWORD major, minor;
    uint32_t readError, versionCode, installedCode;
    std::vector<const wchar_t*> roleKeys = {L"MailBoxRole"};
    uint32_t roles = CUtil::kMailboxRole;
    const wchar_t* server = L"NODE1";
    const char* line = "";
    std::vector<const wchar_t*> services = CExchangeNode::kExchangeServices;
};

struct NodeTest : LoggedTest, ::testing::WithParamInterface<NodeCase> {};

TEST_P(NodeTest, GivesTheReleaseCodeRolesAndServerName)
{
    const NodeCase& c = GetParam();
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
    ExpectLogged(c.line);
}

// The installation check takes any minor release as Exchange 2007, the reader only those it knows.
INSTANTIATE_TEST_SUITE_P(Nodes, NodeTest, ::testing::Values(
    NodeCase{"NoSetupValues", kUnset, kUnset, ERROR_FILE_NOT_FOUND, 12, 6},
    NodeCase{"MinorWithoutMajor", kUnset, 3, ERROR_FILE_NOT_FOUND, 12, 9},
    NodeCase{"MajorWithoutMinor", 8, kUnset, 0, 6, 6},
    NodeCase{"LastRelease", 8, 5, 0, 11, 11},
    NodeCase{"FirstUnknownMinor", 8, 6, 0, 12, 6},
    NodeCase{"MajorBelow", 7, 1, 0, 12, 7},
    // Every service is asked for, up to the last.
    NodeCase{"WithoutTopology", 8, 1, 0, 7, 0, {L"MailBoxRole"}, kUntouched, L"NODE1",
             KV_LOGGED("ERROR", IDS_LOG_SERVICE_MISSING, "The Exchange service MSExchangeADTopology"),
             {L"MSExchangeSA", L"MSExchangeIS"}},
    NodeCase{"MailboxAndUnifiedMessaging", 8, 1, 0, 7, 7, {L"MailBoxRole", L"UnifiedServerRole"},
             CUtil::kMailboxRole | CUtil::kUnifiedMessagingRole},
    // Names compare without case; other keys beside the roles are no role.
    NodeCase{"OthersWithoutServerName", 8, 1, 0, 7, 7,
             {L"edgetransportrole", L"HubTransportRole", L"ClientAccessRole", L"MailBoxRoleOld", L"Role"},
             CUtil::kEdgeTransportRole | CUtil::kHubTransportRole | CUtil::kClientAccessRole, nullptr,
             KV_LOGGED("ERROR", IDS_LOG_CALL_FAILED, "CLibRegistry::ReadRegistryStringValue(Services\\"
                       "MSExchangeIS\\ParametersSystem\\ThisServer) failed: category 2, code 2.")},
    NodeCase{"NoExchangeKey", kUnset, kUnset, ERROR_FILE_NOT_FOUND, 12, 6, {}, kUntouched}), kCaseName);

// The directory's version of a virtual server, and the library traces dumped after a failure.
struct DirectoryCase
{
    const char* name;
    const wchar_t* evs;
    std::wstring versionText; // EVS1's; empty: no version attribute
    uint32_t category, code;
    std::vector<std::wstring> dumped = {};
    const char* line = "";
};

struct DirectoryVersionTest : LoggedTest, ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(DirectoryVersionTest, ReadsTheExchangeServerObject)
{
    const DirectoryCase& c = GetParam();
    CLabScenario lab;
    const std::wstring configuration = L"CN=Configuration,DC=lab,DC=test";
    ASSERT_TRUE(lab.SetDirectoryRoot(L"DC=lab,DC=test", configuration, L"CN=Schema," + configuration));
    const std::wstring servers = L"CN=Servers," + configuration;
    ASSERT_TRUE(lab.AddDirectoryObject(servers, L"msExchServersContainer"));
    for (const wchar_t* name : {L"CN=EVS1,", L"CN=EVS2,"})
        ASSERT_TRUE(lab.AddDirectoryObject(name + servers, L"msExchExchangeServer"));
    if (!c.versionText.empty())
    {
        ASSERT_TRUE(lab.SetDirectoryStrings(L"CN=EVS1," + servers, L"versionNumber", {c.versionText}));
    }
    std::wstring version = L"unchanged";
    EXPECT_EQ(std::pair(c.category, c.code), Result(CUtil::GetEVSVersionFromAD(c.evs, version)));
    EXPECT_EQ(c.category ? L"unchanged" : c.versionText, version);
    ExpectLogged(c.line);
    std::vector<std::wstring> dumped; // inside the dump's start and end lines
    for (size_t i = 1; i + 1 < _dumped.written.size(); ++i)
        dumped.push_back(_dumped.written[i].message);
    EXPECT_EQ(c.dumped, dumped);
}

INSTANTIATE_TEST_SUITE_P(Objects, DirectoryVersionTest, ::testing::Values(
    DirectoryCase{"Found", L"EVS1", L"1912701168", 0, 0, {},
                  KV_LOGGED("INFO", IDS_LOG_INFORMATION, "EVSName=EVS1 Version= 1912701168\r\n")},
    DirectoryCase{"LongestText", L"EVS1", std::wstring(259, L'7'), 0, 0},
    DirectoryCase{"TextFillingTheBuffer", L"EVS1", std::wstring(260, L'7'), 27, 5, {L"Insufficient buffer."},
                  KV_LOGGED("ERROR", IDS_LOG_INFORMATION, "EVS1\r\n")}), kCaseName);

// What was read before a failure: "directory version:code ...", then "> " and the upgrade's.
struct CatalogueCase
{
    const char* name;
    const char* xml; // null: the home has no catalogue
    uint32_t category, code;
    std::wstring read;
    const char* line = "";
};

struct CatalogueTest : LoggedTest, ::testing::WithParamInterface<CatalogueCase> {};

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
    c.xml ? _node.WriteCatalogue(c.xml) : _node.SetHomeWithoutCatalogue();
    CExchVersionList list;
    list.upgradeVersion.code = -1;
    EXPECT_EQ(std::pair(c.category, c.code), Result(CUtil::GetExchangeVersionListFromXML(list)));
    EXPECT_EQ(c.read, Render(list));
    ExpectLogged(c.line);
}

INSTANTIATE_TEST_SUITE_P(Files, CatalogueTest, ::testing::Values(
    // A code that is not a number becomes 0.
    CatalogueCase{"Catalogue",
                  R"(<a><ExchangeNonUpgradedVersion><V ExchQLXVersion="6" ExchADVersion="A"/>)"
                  R"(<W ExchQLXVersion="seven" ExchADVersion="B"/></ExchangeNonUpgradedVersion>)"
                  R"(<ExchangeUpgeadeVersion QLXVersion="8" ADVersion="C"/></a>)", 0, 0, L"A:6 B:0 > C:8"},
    CatalogueCase{"EmptyListStillReadsTheUpgradeVersion",
                  R"(<a><ExchangeNonUpgradedVersion/><ExchangeUpgeadeVersion QLXVersion="9" ADVersion="x"/></a>)",
                  0, 0, L"> x:9"},
    CatalogueCase{"Unreadable", nullptr, 50, 302, L"> :-1"},
    // Entries read before the failure stay.
    CatalogueCase{"EntryWithoutDirectoryVersion",
                  R"(<a><ExchangeNonUpgradedVersion><V ExchQLXVersion="6" ExchADVersion="1"/><V ExchQLXVersion="7"/>)"
                  R"(</ExchangeNonUpgradedVersion></a>)", 50, 308, L"1:6 > :-1",
                  "QLX ERROR M-42-13-0 CXMLReader::GetAttributeValueForNode() Failed. Error Type : 50 , Error Code : "
                  "308 \r\n\t./UtilExchangeVersion:CUtil::GetExchangeVersionListFromXML["},
    CatalogueCase{"NoUpgradeVersion", R"(<a><ExchangeNonUpgradedVersion/></a>)", 50, 311, L"> :-1"}), kCaseName);

// A home too long for the path: its read reports no error of its own, and no stale one may stand in.
TEST_F(LoggedTest, HomeDirectoryFailures)
{
    CExchVersionList list;
    EXPECT_EQ(std::pair(2u, uint32_t{ERROR_ENVVAR_NOT_FOUND}), Result(CUtil::GetExchangeVersionListFromXML(list)));
    ::SetEnvironmentVariableW(L"QLX_HOME", std::wstring(MAX_PATH, L'h').c_str());
    ::SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(std::pair(2u, 0u), Result(CUtil::GetExchangeVersionListFromXML(list)));
}
} // namespace
