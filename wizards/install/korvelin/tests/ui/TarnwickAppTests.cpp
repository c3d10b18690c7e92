// Start-up of the wizard on a node made for each case: the message that ends the run, or the first page.
#include "Tarnwick.h"

#include "ExchangeNode.h"
#include "Pictures.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "SheetHarness.h"
#include "Util.h"
#include "StringIds.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace
{
const wchar_t kExchConfig[] = L"SOFTWARE\\HALVERN\\QLX\\ExchConfig";

// How the node differs from one with Exchange 2007 SP1 (code 7), its roles,
// configuration key and catalogue.
enum Node { Exchange, ConfigOnly, ServicesOnly, NoConfigKey, NoExchVersion, NoCatalogue, NoSavedName,
            TextInstallState };
void MakeNode(CExchangeNode& node, Node kind, DWORD minor = 1, DWORD installState = 0)
{
    if (kind == ConfigOnly)
        return node.SetExchConfig(7, 0);
    ASSERT_TRUE(node.InstallServices(CExchangeNode::kExchangeServices));
    if (kind == ServicesOnly) // the Exchange key cannot be enumerated
        return;
    node.SetSetupVersion(8, minor);
    node.AddRole(L"MailBoxRole");
    node.SetExchConfig(7, installState);
    node.WriteCatalogue(R"(<a><ExchangeNonUpgradedVersion><V ExchQLXVersion="7" ExchADVersion="1912701168"/>
</ExchangeNonUpgradedVersion><ExchangeUpgeadeVersion QLXVersion="8" ADVersion="1912766640"/></a>)");
    if (kind == NoConfigKey)
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kExchConfig);
    if (kind == NoExchVersion)
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kExchConfig, L"ExchVersion");
    if (kind == NoCatalogue)
        node.SetHomeWithoutCatalogue();
    if (installState && kind != NoSavedName)
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kExchConfig, L"OrgCompName", REG_SZ, L"NODE1", sizeof(L"NODE1"));
    if (kind == TextInstallState)
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kExchConfig, L"InstallState", REG_SZ, L"211", sizeof(L"211"));
}

// The pages' pictures in their slots, as the application's 16-pixel list shows them.
void ExpectThePagesPictures()
{
    const struct { int slot, icon, size; } kSlots[] = {
        {CTarnwickApp::kImageTaskDone, IDI_TASK_DONE, 16},
        {CTarnwickApp::kImageTaskRunning, IDI_TASK_RUNNING, 16},
        {CTarnwickApp::kImageTaskFailed, IDI_TASK_FAILED, 16},
        {CTarnwickApp::kImageUpgraded, IDI_STATE_UPGRADED, 32},
        {CTarnwickApp::kImagePartiallyUpgraded, IDI_STATE_PARTIALLY_UPGRADED, 32},
        {CTarnwickApp::kImageNotUpgraded, IDI_STATE_NOT_UPGRADED, 32},
        {CTarnwickApp::kImageNotConfigured, IDI_STATE_NOT_CONFIGURED, 32}};
    for (const auto& [slot, icon, size] : kSlots)
        EXPECT_TRUE(Pictures::Resource(AfxGetResourceHandle(), icon, size, 16, ILC_COLOR4 | ILC_MASK) ==
                    Pictures::Drawn(theApp.m_imageList.GetSafeHandle(), theApp.m_images[slot]))
            << "slot " << slot;
}

struct Start
{
    const char* name;
    Node node;
    DWORD minor, installState;
    int shown;                    // the message's identifier, or the first page's dialog id negated
    const char* logged = nullptr; // a line the log must have received
    void (*alsoCheck)() = nullptr;
};

const Start kStarts[] = {
    {"FirstPassOpensOnTheWelcomePage", Exchange, 1, 0, -IDD_WELCOME, nullptr, [] {
         EXPECT_EQ(7u, theApp.m_installedVersion);
         EXPECT_EQ(static_cast<uint32_t>(CUtil::kMailboxRole), theApp.m_installedRoles);
         ExpectThePagesPictures(); }},
    {"InstallState211OpensOnTheMessagePageEvenAtTheTarget", Exchange, 2, 211, -IDD_MESSAGE},
    {"FirstPassAtTheTargetShowsAlreadyUpgraded", Exchange, 2, 0, IDS_ALREADY_UPGRADED},
    {"NoExchangeShowsNoExchange", ConfigOnly, 1, 0, IDS_NO_EXCHANGE,
     KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) "_StartupChecks() failed: category 1, code 226."},
    {"FailingInstallationCheckShowsCheckFailed", ServicesOnly, 1, 0, IDS_EXCHANGE_CHECK_FAILED, KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) "CUtil::IsExchangeInstalled()"},
    {"NoConfigurationKeyShowsNoConfigNotTheReadFailure", NoConfigKey, 1, 0, IDS_NO_EXCHANGE_CONFIG},
    // Support reads start-up failures under the name of the function that runs the start-up.
    {"UnreadableConfigurationShowsConfigUnreadable", NoExchVersion, 1, 0, IDS_CONFIG_UNREADABLE,
     KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) "CExchRegistry::ReadQLXExchReg() failed: category 2, code 2.\r\n"
                                         "\t./Tarnwick:CTarnwickApp::InitInstance["},
    // Odd values never start a pass that cannot finish: the second pass needs the node's own name.
    {"SecondPassWithoutSavedNameShowsConfigUnreadable", NoSavedName, 2, 211, IDS_CONFIG_UNREADABLE,
     KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) "_CheckInstallState() failed: category 2, code 13."},
    {"InstallStateAsTextIsTheFirstPass", TextInstallState, 1, 0, -IDD_WELCOME},
    {"UnreadableCatalogueFallsBackToTheBuiltInOne", NoCatalogue, 1, 0, -IDD_WELCOME,
     KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) "GetExchangeVersionListFromXML()", [] {
         ASSERT_EQ(2u, theApp.m_versions.toUpgrade.size());
         EXPECT_EQ(L"1912636077", theApp.m_versions.toUpgrade[0].adVersion); }},
};

class TarnwickAppTest : public ::testing::TestWithParam<Start>
{
protected:
    void SetUp() override
    {
        theApp.m_config = CQLXExchConfig{};
        theApp.m_versions = CExchVersionList{};
        theApp.m_installState = theApp.m_firstPage = theApp.m_installedVersion = 0;
    }

    // Runs the start-up; the scripted user answers the wizard's first message box, or cancels
    // the sheet once it shows a page. Returns the message's identifier or the page's dialog id negated.
    int Run()
    {
        int seen = 0;
        RunModal([&] { EXPECT_EQ(0, theApp.InitInstance()); }, [&] {
            HWND box = nullptr, sheet = nullptr;
            ASSERT_TRUE(WaitUntil([&] {
                return (box = ScriptedUser::FindMessageBox(L"M-42-13-")) || (sheet = ScriptedUser::FindSheet());
            }));
            if (box)
            {
                const std::wstring text = ScriptedUser::Read(box).text;
                seen = _wtoi(text.c_str() + text.find(L"M-42-13-") + 8);
                return ScriptedUser::Answer(box, IDOK);
            }
            seen = -ScriptedUser::CurrentPage(sheet);
            ScriptedUser::PressButton(sheet, PSBTN_CANCEL);
            if (HWND cancel = ScriptedUser::WaitForMessageBox(KV_MESSAGE_TAGW(IDS_CANCEL_QUESTION)))
                ScriptedUser::Answer(cancel, IDYES);
        });
        return seen;
    }

    CScopedResourceModule _resources{nullptr}; // the run installs its language module
    CExchangeNode _node;
};
} // namespace

TEST_P(TarnwickAppTest, EndsWithItsMessageOrOpensOnItsPage)
{
    const Start& start = GetParam();
    MakeNode(_node, start.node, start.minor, start.installState);
    const CLogTail log;
    EXPECT_EQ(start.shown, Run());
    EXPECT_TRUE(!start.logged || log.Has(start.logged)) << start.logged;
    if (start.alsoCheck)
        start.alsoCheck();
}

INSTANTIATE_TEST_SUITE_P(Starts, TarnwickAppTest, ::testing::ValuesIn(kStarts),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TarnwickAppTest, SecondCopyShowsAnotherInstanceAndReadsNoConfiguration)
{
    MakeNode(_node, Exchange);
    // This thread holds the single-instance mutex, as another copy of the wizard would.
    ASSERT_TRUE(theApp.m_instanceMutex.Lock(0));
    const CLogTail log;
    int shown = 0;
    std::thread([&] { shown = Run(); }).join();
    theApp.m_instanceMutex.Unlock();
    EXPECT_EQ(IDS_ANOTHER_INSTANCE, shown);
    EXPECT_EQ(0u, theApp.m_installedVersion) << "stopped before looking at Exchange";
    EXPECT_TRUE(theApp.m_config.evsList.empty()) << "stopped before reading the configuration";
    EXPECT_TRUE(log.Has(KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) "_StartupChecks() failed: category 1, code 200."));
}

// A crash of a worker cannot be caught, but it never goes unexplained.
TEST(TarnwickAppCrashTests, AThreadThatCrashesLeavesItsReasonInTheLog)
{
    if (!InFreshProcess())
    {
        const CLogTail log;
        EXPECT_EQ(static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION), RunInFreshProcess());
        EXPECT_TRUE(log.Has(" Unhandled exception 0xC0000005 at ")) << log.Untimed();
        return;
    }
    CTarnwickApp::LogCrashes();
    std::thread([] { ::RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr); }).join();
}
