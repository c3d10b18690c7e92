// Exchange version detection on this node and the version catalogue.
#include "Util.h"

#include "ExchangeNode.h"
#include "L10nUtil.h"
#include "LabScenario.h"
#include "RecordingLogOutput.h"
#include "StringIds.h"
#include "WizardTestEnvironment.h"

#include <adserr.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr DWORD kUnset = CExchangeNode::kUnset;
constexpr uint32_t kUntouched = 0xDEAD;
const auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

const char kCatalogue[] = R"(<?xml version="1.0"?><ExchangeUpgrade><ExchangeNonUpgradedVersion>
<V ExchQLXVersion="6" ExchADVersion="1912636077"/><Other ExchQLXVersion="seven" ExchADVersion="1912701168"/>
</ExchangeNonUpgradedVersion><ExchangeUpgeadeVersion QLXVersion="8" ADVersion="1912766640"/></ExchangeUpgrade>)";

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

// One state of the setup values: what the registry reader and the
// installation check make of it.
struct SetupCase
{
    const char* name;
    DWORD major, minor;
    uint32_t readError; // of GetExchangeVersion, category 2
    uint32_t versionCode;
    uint32_t installedCode;
};

class SetupValuesTest : public LoggedTest, public ::testing::WithParamInterface<SetupCase>
{
};

TEST_P(SetupValuesTest, GiveTheReleaseCode)
{
    const SetupCase& c = GetParam();
    _node.SetSetupVersion(c.major, c.minor);
    _node.AddRole(L"MailBoxRole");
    uint32_t code = kUntouched;
    const CStatus read = CUtil::GetExchangeVersion(nullptr, code);
    EXPECT_EQ(std::pair(c.readError ? 2u : 0u, c.readError), std::pair(read.GetCategory(), read.GetCode()));
    EXPECT_EQ(c.versionCode, code);

    ASSERT_TRUE(_node.InstallServices(CExchangeNode::kExchangeServices));
    uint32_t roles = kUntouched;
    std::wstring server;
    EXPECT_TRUE(CUtil::IsE2K7Installed(code, server, roles).IsSuccess());
    EXPECT_EQ(c.installedCode, code);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SetupValuesTest,
    ::testing::Values(SetupCase{"None", kUnset, kUnset, ERROR_FILE_NOT_FOUND, 12, 6},
                      SetupCase{"MinorWithoutMajor", kUnset, 3, ERROR_FILE_NOT_FOUND, 12, 9},
                      SetupCase{"MajorWithoutMinor", 8, kUnset, 0, 6, 6}, SetupCase{"FirstRelease", 8, 0, 0, 6, 6},
                      SetupCase{"LastRelease", 8, 5, 0, 11, 11}, SetupCase{"UnknownMinor", 8, 7, 0, 12, 6},
                      SetupCase{"OtherMajor", 14, 2, 0, 12, 8}, SetupCase{"MajorBelow", 7, 1, 0, 12, 7}),
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

// The services, role keys and server name of an installation with setup values 8.1.
struct InstallationCase
{
    const char* name;
    std::vector<const wchar_t*> services;
    std::vector<const wchar_t*> roleKeys;
    uint32_t code;
    uint32_t roles;
    std::vector<std::string> lines;
    const wchar_t* server = L"NODE1";
    uint32_t enumerationError = 0;
};

const std::vector<const wchar_t*> kAll = CExchangeNode::kExchangeServices;
#define KV_LOGGED(level, id, text) "QLX " level " " KV_MESSAGE_TAG(id) text
#define KV_MISSING(service)                                                                                         \
    KV_LOGGED("ERROR", IDS_LOG_SERVICE_MISSING, "The Exchange service " service " is not installed")

class InstallationTest : public LoggedTest, public ::testing::WithParamInterface<InstallationCase>
{
};

TEST_P(InstallationTest, FindsServicesRolesAndServerName)
{
    const InstallationCase& c = GetParam();
    if (!c.roleKeys.empty())
        _node.SetSetupVersion(8, 1);
    for (const wchar_t* role : c.roleKeys)
        _node.AddRole(role);
    if (c.server)
        _node.SetThisServer(c.server);
    ASSERT_TRUE(_node.InstallServices(c.services));
    uint32_t code = kUntouched, roles = kUntouched;
    std::wstring server = L"unchanged";
    const CStatus status = CUtil::IsE2K7Installed(code, server, roles);
    EXPECT_EQ(std::pair(c.enumerationError ? 2u : 0u, c.enumerationError),
              std::pair(status.GetCategory(), status.GetCode()));
    EXPECT_EQ(c.code, code);
    EXPECT_EQ(c.roles, roles);
    EXPECT_EQ(c.code && c.server ? c.server : L"unchanged", server);
    ExpectLogged(c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Nodes, InstallationTest,
    ::testing::Values(
        InstallationCase{"WithoutSystemAttendant", {L"MSExchangeIS", L"MSExchangeADTopology"}, {L"MailBoxRole"}, 0,
                         kUntouched, {KV_MISSING("MSExchangeSA")}},
        InstallationCase{"WithoutInformationStore", {L"MSExchangeSA", L"MSExchangeADTopology"}, {L"MailBoxRole"}, 0,
                         kUntouched, {KV_MISSING("MSExchangeIS")}},
        InstallationCase{"WithoutTopology", {L"MSExchangeSA", L"MSExchangeIS"}, {L"MailBoxRole"}, 0, kUntouched,
                         {KV_MISSING("MSExchangeADTopology")}},
        InstallationCase{"Mailbox", kAll, {L"MailBoxRole"}, 7, CUtil::kMailboxRole, {}},
        InstallationCase{"ClientAccess", kAll, {L"ClientAccessRole"}, 7, CUtil::kClientAccessRole, {}},
        InstallationCase{"HubTransport", kAll, {L"HubTransportRole"}, 7, CUtil::kHubTransportRole, {}},
        InstallationCase{"UnifiedMessaging", kAll, {L"UnifiedServerRole"}, 7, CUtil::kUnifiedMessagingRole, {}},
        // Names compare without case; other keys beside the roles are no role.
        InstallationCase{"EdgeAmongOtherKeys", kAll, {L"edgetransportrole", L"MailBoxRoleOld", L"Role"}, 7,
                         CUtil::kEdgeTransportRole, {}},
        InstallationCase{"NoServerName", kAll, {L"HubTransportRole", L"ClientAccessRole"}, 7,
                         CUtil::kHubTransportRole | CUtil::kClientAccessRole,
                         {KV_LOGGED("ERROR", IDS_LOG_CALL_FAILED,
                                    "CLibRegistry::ReadRegistryStringValue(Services\\MSExchangeIS\\ParametersSystem\\"
                                    "ThisServer) failed: category 2, code 2.\r\n"
                                    "\t./UtilExchangeVersion:CUtil::IsE2K7Installed[")},
                         nullptr},
        // Services without the Exchange key: the roles cannot be listed.
        InstallationCase{"NoExchangeKey", kAll, {}, 6, kUntouched,
                         {KV_LOGGED("ERROR", IDS_LOG_CALL_FAILED, "CLibRegistry::EnumerateKeys() failed: category 2, code 2.")},
                         L"NODE1", ERROR_FILE_NOT_FOUND}),
    kCaseName);

// The directory's version of a virtual server, its log lines and the library
// traces dumped after a failure.
struct DirectoryCase
{
    const char* name;
    const wchar_t* evs;
    std::wstring versionText; // empty: the object has no version attribute
    uint32_t category, code;
    std::vector<std::string> lines;
    std::vector<std::wstring> dumped;
};

class DirectoryVersionTest : public LoggedTest, public ::testing::WithParamInterface<DirectoryCase>
{
};

TEST_P(DirectoryVersionTest, ReadsTheExchangeServerObject)
{
    const DirectoryCase& c = GetParam();
    CLabScenario lab;
    ASSERT_TRUE(lab.SetDirectoryRoot(L"DC=lab,DC=test", L"CN=Configuration,DC=lab,DC=test",
                                     L"CN=Schema,CN=Configuration,DC=lab,DC=test"));
    ASSERT_TRUE(lab.AddDirectoryObject(L"CN=Servers,CN=Configuration,DC=lab,DC=test", L"msExchServersContainer"));
    for (const wchar_t* name : {L"EVS1", L"EVS2"})
    {
        const std::wstring dn = std::wstring(L"CN=") + name + L",CN=Servers,CN=Configuration,DC=lab,DC=test";
        ASSERT_TRUE(lab.AddDirectoryObject(dn, L"msExchExchangeServer"));
        if (name == std::wstring(c.evs) && !c.versionText.empty())
            ASSERT_TRUE(lab.SetDirectoryStrings(dn, L"versionNumber", {c.versionText}));
    }
    std::wstring version = L"unchanged";
    const CStatus status = CUtil::GetEVSVersionFromAD(c.evs, version);
    EXPECT_EQ(std::pair(c.category, c.code), std::pair(status.GetCategory(), status.GetCode()));
    EXPECT_EQ(c.category ? L"unchanged" : c.versionText, version);
    ExpectLogged(c.lines);
    EXPECT_EQ(c.dumped, Dumped());
}

#define KV_EVS_FAILED(callee, category, code, evs)                                                                 \
    KV_LOGGED("ERROR", IDS_LOG_CALL_FAILED, callee " failed: category " category ", code " code ".\r\n"             \
                                           "\t./UtilExchangeVersion:CUtil::GetEVSVersionFromAD[")              \
    , KV_LOGGED("ERROR", IDS_LOG_INFORMATION, evs "\r\n")

INSTANTIATE_TEST_SUITE_P(
    Objects, DirectoryVersionTest,
    ::testing::Values(
        DirectoryCase{"Found", L"EVS1", L"1912701168", 0, 0,
                      {KV_LOGGED("INFO", IDS_LOG_INFORMATION, "EVSName=EVS1 Version= 1912701168\r\n")}, {}},
        DirectoryCase{"LongestText", L"EVS1", std::wstring(259, L'7'), 0, 0, {}, {}},
        DirectoryCase{"NotFound", L"EVS9", L"", 27, 3, {KV_EVS_FAILED("VLibADObject::Initialize()", "27", "3", "EVS9")},
                      {}},
        DirectoryCase{"NoVersionAttribute", L"EVS2", L"", 4, static_cast<uint32_t>(E_ADS_PROPERTY_NOT_FOUND),
                      {KV_EVS_FAILED("VLibADObject::GetPropertyValue()", "4", "2147504141", "EVS2")},
                      {L"m_pIADs->GetEx returned 0x8000500D"}},
        DirectoryCase{"TextFillingTheBuffer", L"EVS1", std::wstring(260, L'7'), 27, 5,
                      {KV_EVS_FAILED("VLibADObject::GetPropertyValue()", "27", "5", "EVS1")},
                      {L"Insufficient buffer."}}),
    kCaseName);

// One catalogue file: the status, what was read before it and the failure lines.
struct CatalogueCase
{
    const char* name;
    const char* xml; // null: the home has no catalogue
    uint32_t category, code;
    size_t toUpgrade;
    int32_t upgradeCode;
    std::vector<std::string> lines;
};

#define KV_CATALOGUE_FAILED(text)                                                                                   \
    "QLX ERROR M-42-13-0 " text "\r\n\t./UtilExchangeVersion:CUtil::GetExchangeVersionListFromXML["
#define KV_ENTRY_FAILED(code)                                                                                        \
    KV_CATALOGUE_FAILED("CXMLReader::GetAttributeValueForNode() Failed. Error Type : 50 , Error Code : " code " ")
#define KV_UPGRADE_FAILED(code)                                                                                      \
    KV_CATALOGUE_FAILED("\r\nFailed to get the Product NAME Atrribute."),                                              \
        KV_CATALOGUE_FAILED("\r\nError!\r\nCXMLReader::GetAttributeValueForNode() FAILED. \tType = 50 \tCode =  " code)

class CatalogueTest : public LoggedTest, public ::testing::WithParamInterface<CatalogueCase>
{
};

TEST_P(CatalogueTest, ReadsUntilTheFirstFailure)
{
    const CatalogueCase& c = GetParam();
    if (c.xml)
        _node.WriteCatalogue(c.xml);
    else
        _node.SetHomeWithoutCatalogue();
    CExchVersionList list;
    list.upgradeVersion.code = -1;
    const CStatus status = CUtil::GetExchangeVersionListFromXML(list);
    EXPECT_EQ(std::pair(c.category, c.code), std::pair(status.GetCategory(), status.GetCode()));
    EXPECT_EQ(c.toUpgrade, list.toUpgrade.size());
    EXPECT_EQ(c.upgradeCode, list.upgradeVersion.code);
    ExpectLogged(c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CatalogueTest,
    ::testing::Values(
        CatalogueCase{"EmptyListStillReadsTheUpgradeVersion",
                      R"(<a><ExchangeNonUpgradedVersion/><ExchangeUpgeadeVersion QLXVersion="9" ADVersion="x"/></a>)",
                      0, 0, 0, 9, {}},
        CatalogueCase{"Unreadable", nullptr, 50, 302, 0, -1, {}},
        // Without the list the walk goes over the document's own nodes.
        CatalogueCase{"NoListOfVersions", R"(<a><ExchangeUpgeadeVersion QLXVersion="9" ADVersion="x"/></a>)", 50, 308,
                      0, -1, {KV_ENTRY_FAILED("308")}},
        // Entries read before the failure stay.
        CatalogueCase{"EntryWithoutDirectoryVersion",
                      R"(<a><ExchangeNonUpgradedVersion><V ExchQLXVersion="6" ExchADVersion="1"/><V ExchQLXVersion="7"/>)"
                      R"(</ExchangeNonUpgradedVersion></a>)",
                      50, 308, 1, -1, {KV_ENTRY_FAILED("308")}},
        CatalogueCase{"NoUpgradeVersion",
                      R"(<a><ExchangeNonUpgradedVersion><V ExchQLXVersion="6" ExchADVersion="1"/>)"
                      R"(</ExchangeNonUpgradedVersion></a>)",
                      50, 311, 1, -1, {KV_UPGRADE_FAILED("311")}},
        CatalogueCase{"UpgradeWithoutDirectoryVersion",
                      R"(<a><ExchangeNonUpgradedVersion/><ExchangeUpgeadeVersion QLXVersion="9"/></a>)", 50, 308, 0,
                      -1, {KV_UPGRADE_FAILED("308")}}),
    kCaseName);

TEST(ExchangeVersionListTests, CatalogueFromTheFile)
{
    CExchangeNode node;
    node.WriteCatalogue(kCatalogue);
    CExchVersionList list;
    ASSERT_TRUE(CUtil::GetExchangeVersionListFromXML(list).IsSuccess());
    ASSERT_EQ(2u, list.toUpgrade.size());
    EXPECT_EQ(L"1912636077", list.toUpgrade[0].adVersion);
    EXPECT_EQ(6, list.toUpgrade[0].code);
    EXPECT_EQ(L"1912701168", list.toUpgrade[1].adVersion);
    EXPECT_EQ(0, list.toUpgrade[1].code) << "a code that is not a number becomes 0";
    EXPECT_EQ(L"1912766640", list.upgradeVersion.adVersion);
    EXPECT_EQ(8, list.upgradeVersion.code);
}

TEST(ExchangeVersionListTests, HomeDirectoryFailures)
{
    CExchangeNode node;
    CExchVersionList list;
    const CStatus noHome = CUtil::GetExchangeVersionListFromXML(list);
    EXPECT_EQ(std::pair(2u, static_cast<uint32_t>(ERROR_ENVVAR_NOT_FOUND)),
              std::pair(noHome.GetCategory(), noHome.GetCode()));
    // Too long for the path: the call reports no error of its own, and none
    // left over from before may stand in for it.
    ::SetEnvironmentVariableW(L"QLX_HOME", std::wstring(MAX_PATH, L'h').c_str());
    ::SetLastError(ERROR_ACCESS_DENIED);
    const CStatus tooLong = CUtil::GetExchangeVersionListFromXML(list);
    EXPECT_EQ(std::pair(2u, 0u), std::pair(tooLong.GetCategory(), tooLong.GetCode()));
}

TEST(ExchangeVersionListTests, BuiltInListAndLookups)
{
    CExchVersionList list;
    list.toUpgrade.push_back({L"stale", 3});
    CUtil::SetDefaultExchangeVersionList(list);
    ASSERT_EQ(2u, list.toUpgrade.size());
    EXPECT_EQ(8, list.upgradeVersion.code);
    EXPECT_TRUE(CUtil::IsVersionInList(list.toUpgrade, L"1912636077"));
    EXPECT_FALSE(CUtil::IsVersionInList(list.toUpgrade, L"1912636078"));
    EXPECT_TRUE(CUtil::IsVersionCodeInList(list.toUpgrade, 7));
    EXPECT_FALSE(CUtil::IsVersionCodeInList(list.toUpgrade, 8));
}
} // namespace
