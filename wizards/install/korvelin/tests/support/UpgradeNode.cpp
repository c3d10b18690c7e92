// CUpgradeNode: see UpgradeNode.h.
#include "UpgradeNode.h"

#include "ExchRegistry.h"
#include "L10nUtil.h"
#include "LabFaults.h"
#include "StringIds.h"
#include "Tarnwick.h"
#include "Util.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace
{
constexpr wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kStartUpValue[] = L"QLXExchInst";

void ResetApplication()
{
    theApp.m_config = CQLXExchConfig();
    theApp.m_cluster = CCluster();
    theApp.m_installState = 0;
    theApp.m_installedVersion = 0;
    theApp.m_selectedEVS.clear();
    theApp.m_upgradeFailed = 0;
    theApp.m_rebootNeeded = false;
    theApp.m_skipDiscovery = 0;
    theApp.m_discoveryFailed = 0;
}
} // namespace

CUpgradeNode::CUpgradeNode(Pass pass, DWORD installedMinor) : module(L10nUtil::SelectModule(L"Korvelin", 0x0409))
{
    const bool second = pass == kSecondPass;
    EXPECT_TRUE(CUtil::GetLoggedOnUsersSIDString(_sid).IsSuccess());
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, kStartUpValue);
    EXPECT_TRUE(
        exchange.InstallServices(second ? CExchangeNode::kAllExchangeServices : CExchangeNode::kExchangeServices));
    exchange.SetSetupVersion(8, installedMinor);
    exchange.AddRole(L"MailBoxRole");
    exchange.SetExchConfig(7, second ? CExchRegistry::kInstallStateUpgrading : 0);
    if (second)
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, CExchRegistry::kConfigKey, CExchRegistry::kOrgCompName, REG_SZ,
                          L"NODE1", sizeof(L"NODE1"));
    exchange.WriteCatalogue(R"(<a><ExchangeNonUpgradedVersion><V ExchQLXVersion="7" ExchADVersion="1912701168"/>
</ExchangeNonUpgradedVersion><ExchangeUpgeadeVersion QLXVersion="8" ADVersion="1912766640"/></a>)");
    wchar_t home[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"QLX_HOME", home, MAX_PATH);
    _home = home;
    ::CreateDirectoryW((_home + L"\\conf").c_str(), nullptr);
    ::DeleteFileW((_home + L"\\conf\\sysname").c_str());

    lab.SetLocalComputerName(second ? L"EVS1" : L"NODE1");
    lab.AddClusterSystem(L"qlx-a", "1:NODE1,RUNNING");
    lab.SetDirectoryRoot(L"DC=lab,DC=test", L"CN=Configuration,DC=lab,DC=test",
                         L"CN=Schema,CN=Configuration,DC=lab,DC=test");
    lab.AddComputerAccount(second ? L"NODE1" : L"EVS1");

    ResetApplication();
    EXPECT_TRUE(CExchRegistry::ReadQLXExchReg(nullptr, theApp.m_config).IsSuccess());
    theApp.m_installState = theApp.m_config.installState;
    EXPECT_TRUE(CUtil::GetExchangeVersionListFromXML(theApp.m_versions).IsSuccess());
    theApp.m_installedVersion = CUtil::CodeOfMinor(installedMinor, CUtil::kOtherRelease);
    theApp.m_selectedEVS = L"EVS1";
    if (!theApp.m_imageList.GetSafeHandle())
        theApp._BuildImageList();
}

CUpgradeNode::~CUpgradeNode()
{
    ResetApplication();
    KvLab::ResetFaults();
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRun, kStartUpValue);
    ::DeleteFileW((_home + L"\\conf\\sysname").c_str());
    ::RemoveDirectoryW((_home + L"\\conf").c_str());
}

INT_PTR CUpgradeNode::Run(UINT firstPage, const std::function<void(HWND)>& script)
{
    CSheetHarness<CTarnwickSheet> harness(theApp, IDS_SHEET_CAPTION, nullptr, firstPage, nullptr, nullptr);
    return harness.Run(script);
}

std::wstring CUpgradeNode::StartUpEntry() const
{
    wchar_t path[MAX_PATH + 1] = {};
    DWORD size = sizeof(path);
    if (::RegGetValueW(HKEY_CURRENT_USER, kRun, kStartUpValue, RRF_RT_REG_SZ, nullptr, path, &size))
        return L"-";
    return path;
}

std::string CUpgradeNode::SysnameFile() const
{
    std::ifstream file((_home + L"\\conf\\sysname").c_str(), std::ios::binary);
    if (!file)
        return "-";
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring CUpgradeNode::ConfigValue(const wchar_t* name)
{
    wchar_t text[256] = {};
    DWORD size = sizeof(text), type = 0;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, CExchRegistry::kConfigKey, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type,
                       text, &size))
        return L"-";
    return type == REG_DWORD ? std::to_wstring(*reinterpret_cast<DWORD*>(text)) : std::wstring(text);
}

void CUpgradeNode::SetSkipDiscovery()
{
    const DWORD any = 5;
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, CExchRegistry::kConfigKey, CExchRegistry::kSkipClusterDiscovery, REG_DWORD,
                      &any, sizeof(any));
}

void CUpgradeNode::RemoveConfDirectory() const
{
    ::RemoveDirectoryW((_home + L"\\conf").c_str());
}
