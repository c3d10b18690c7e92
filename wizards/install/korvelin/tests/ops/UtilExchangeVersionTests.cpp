// Exchange version detection on this node and the version catalogue.
#include "Util.h"

#include "ExchangeNode.h"
#include "LabScenario.h"

#include <gtest/gtest.h>
#include <utility>

namespace
{
const char kCatalogue[] = R"(<?xml version="1.0"?><ExchangeUpgrade><ExchangeNonUpgradedVersion>
<V ExchQLXVersion="6" ExchADVersion="1912636077"/><Other ExchQLXVersion="seven" ExchADVersion="1912701168"/>
</ExchangeNonUpgradedVersion><ExchangeUpgeadeVersion QLXVersion="8" ADVersion="1912766640"/></ExchangeUpgrade>)";

struct ExchangeVersionTest : ::testing::Test
{
    CExchangeNode _node;
};
} // namespace

TEST_F(ExchangeVersionTest, MinorSevenIsTwelveForTheRegistryAndSixForTheInstallation)
{
    _node.SetSetupVersion(8, 7);
    _node.AddRole(L"MailBoxRole");
    _node.AddRole(L"hubtransportrole");
    _node.SetThisServer(L"NODE1");
    ASSERT_TRUE(_node.InstallServices(CExchangeNode::kExchangeServices));
    uint32_t code = 0;
    EXPECT_TRUE(CUtil::GetExchangeVersion(nullptr, code).IsSuccess());
    EXPECT_EQ(12u, code);
    std::wstring server;
    uint32_t roles = 0;
    EXPECT_TRUE(CUtil::IsE2K7Installed(code, server, roles).IsSuccess());
    EXPECT_EQ(6u, code);
    EXPECT_EQ(L"NODE1", server);
    EXPECT_EQ(static_cast<uint32_t>(CUtil::kMailboxRole | CUtil::kHubTransportRole), roles);
}

TEST_F(ExchangeVersionTest, ReleaseCodesFollowTheSetupVersion)
{
    uint32_t code = 0;
    EXPECT_EQ(2u, CUtil::GetExchangeVersion(nullptr, code).GetCategory()) << "unreadable setup values";
    EXPECT_EQ(12u, code);
    for (DWORD minor = 0; minor <= 5; ++minor)
    {
        _node.SetSetupVersion(8, minor);
        ASSERT_TRUE(CUtil::GetExchangeVersion(nullptr, code).IsSuccess());
        EXPECT_EQ(6u + minor, code);
    }
    _node.SetSetupVersion(14, 0);
    EXPECT_TRUE(CUtil::GetExchangeVersion(nullptr, code).IsSuccess());
    EXPECT_EQ(12u, code);
}

TEST_F(ExchangeVersionTest, MissingTopologyServiceMeansNotInstalled)
{
    _node.SetSetupVersion(8, 1);
    ASSERT_TRUE(_node.InstallServices({L"MSExchangeSA", L"MSExchangeIS"}));
    uint32_t code = 99, roles = 0;
    std::wstring server;
    EXPECT_TRUE(CUtil::IsE2K7Installed(code, server, roles).IsSuccess());
    EXPECT_EQ(0u, code);
}

TEST_F(ExchangeVersionTest, CatalogueFromTheFile)
{
    _node.WriteCatalogue(kCatalogue);
    CExchVersionList list;
    ASSERT_TRUE(CUtil::GetExchangeVersionListFromXML(list).IsSuccess());
    ASSERT_EQ(2u, list.toUpgrade.size());
    EXPECT_EQ(L"1912636077", list.toUpgrade[0].adVersion);
    EXPECT_EQ(6, list.toUpgrade[0].code);
    EXPECT_EQ(0, list.toUpgrade[1].code) << "a code that is not a number becomes 0";
    EXPECT_EQ(L"1912766640", list.upgradeVersion.adVersion);
    EXPECT_EQ(8, list.upgradeVersion.code);

    _node.WriteCatalogue(R"(<a><ExchangeNonUpgradedVersion/><ExchangeUpgeadeVersion QLXVersion="9" ADVersion="x"/></a>)");
    CExchVersionList empty;
    ASSERT_TRUE(CUtil::GetExchangeVersionListFromXML(empty).IsSuccess());
    EXPECT_TRUE(empty.toUpgrade.empty());
    EXPECT_EQ(9, empty.upgradeVersion.code) << "an empty list still reads the upgrade version";
}

TEST_F(ExchangeVersionTest, CatalogueFailures)
{
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

    _node.SetHomeWithoutCatalogue();
    const CStatus missing = CUtil::GetExchangeVersionListFromXML(list);
    EXPECT_EQ(std::pair(50u, 302u), std::pair(missing.GetCategory(), missing.GetCode()));

    _node.WriteCatalogue(R"(<a><ExchangeNonUpgradedVersion><V ExchQLXVersion="6" ExchADVersion="1"/><W/></ExchangeNonUpgradedVersion></a>)");
    const CStatus partial = CUtil::GetExchangeVersionListFromXML(list);
    EXPECT_EQ(std::pair(50u, 308u), std::pair(partial.GetCategory(), partial.GetCode()));
    EXPECT_EQ(1u, list.toUpgrade.size()) << "entries read before the failure stay";
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

TEST(EVSVersionFromDirectoryTests, ReadsTheExchangeServerObjectsVersion)
{
    CLabScenario lab;
    ASSERT_TRUE(lab.SetDirectoryRoot(L"DC=lab,DC=test", L"CN=Configuration,DC=lab,DC=test",
                                     L"CN=Schema,CN=Configuration,DC=lab,DC=test"));
    const std::wstring dn = L"CN=EVS1,CN=Servers,CN=Configuration,DC=lab,DC=test";
    ASSERT_TRUE(lab.AddDirectoryObject(L"CN=Servers,CN=Configuration,DC=lab,DC=test", L"msExchServersContainer"));
    ASSERT_TRUE(lab.AddDirectoryObject(dn, L"msExchExchangeServer"));
    ASSERT_TRUE(lab.SetDirectoryIntegers(dn, L"versionNumber", {1912701168}));

    std::wstring version = L"unchanged";
    EXPECT_TRUE(CUtil::GetEVSVersionFromAD(L"EVS1", version).IsSuccess());
    EXPECT_EQ(L"1912701168", version);

    version = L"unchanged";
    const CStatus missing = CUtil::GetEVSVersionFromAD(L"EVS9", version);
    EXPECT_EQ(std::pair(27u, 3u), std::pair(missing.GetCategory(), missing.GetCode()));
    EXPECT_EQ(L"unchanged", version);
}
