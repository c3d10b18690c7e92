// Start-up of the wizard on a node made for each case: which message ends
// the run, or which page the sheet opens on.
#include "Tarnwick.h"

#include "ExchangeNode.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "UniqueResource.h"
#include "Util.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
constexpr DWORD kTimeoutMs = 15000;

const char kCatalogue[] = R"(<a><ExchangeNonUpgradedVersion><V ExchQLXVersion="7" ExchADVersion="1912701168"/>
</ExchangeNonUpgradedVersion><ExchangeUpgeadeVersion QLXVersion="8" ADVersion="1912766640"/></a>)";


bool KeyExists(const wchar_t* path)
{
    unique_hkey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) == ERROR_SUCCESS;
}

class TarnwickAppTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        theApp.m_config = CQLXExchConfig{};
        theApp.m_versions = CExchVersionList{};
        theApp.m_installState = 0;
        theApp.m_firstPage = 0;
        theApp.m_installedVersion = 0;
        _previousModule = AfxGetResourceHandle();
    }
    void TearDown() override { AfxSetResourceHandle(_previousModule); }

    // A node with Exchange 2007 SP1 (code 7) and its configuration key.
    void MakeExchangeNode(DWORD minor = 1, DWORD installState = 0)
    {
        _node.SetSetupVersion(8, minor);
        _node.AddRole(L"MailBoxRole");
        ASSERT_TRUE(_node.InstallServices(CExchangeNode::kExchangeServices));
        _node.SetExchConfig(7, installState);
        _node.WriteCatalogue(kCatalogue);
    }

    // Runs the start-up; the scripted user answers the first message box of
    // the wizard, or cancels the sheet once it shows a page. Returns the
    // message's identifier, or the page's dialog id (negated).
    int Run()
    {
        int seen = 0;
        std::thread user([&] {
            const ULONGLONG deadline = ::GetTickCount64() + kTimeoutMs;
            while (!seen && ::GetTickCount64() < deadline)
            {
                if (HWND box = ScriptedUser::FindMessageBox(L"M-42-13-"))
                {
                    const std::wstring text = ScriptedUser::Read(box).text;
                    const size_t at = text.find(L"M-42-13-");
                    seen = _wtoi(text.c_str() + at + 8);
                    ScriptedUser::Answer(box, IDOK);
                }
                else if (CWnd* sheet = AfxGetAppMainWnd(); sheet && sheet->m_hWnd &&
                                                             ScriptedUser::CurrentPage(sheet->m_hWnd))
                {
                    seen = -ScriptedUser::CurrentPage(sheet->m_hWnd);
                    ::PostMessageW(sheet->m_hWnd, WM_COMMAND, IDCANCEL, 0);
                    if (HWND box = ScriptedUser::WaitForMessageBox(L"M-42-13-7567 ", kTimeoutMs))
                        ScriptedUser::Answer(box, IDYES);
                }
                ::Sleep(20);
            }
        });
        EXPECT_EQ(0, theApp.InitInstance());
        user.join();
        return seen;
    }

    CExchangeNode _node;
    HINSTANCE _previousModule = nullptr;
};
} // namespace

TEST_F(TarnwickAppTest, FirstPassOpensOnTheWelcomePage)
{
    MakeExchangeNode();
    EXPECT_EQ(-IDD_WELCOME, Run());
    EXPECT_EQ(7u, theApp.m_installedVersion);
    EXPECT_EQ(static_cast<uint32_t>(CUtil::kMailboxRole), theApp.m_installedRoles);
}

TEST_F(TarnwickAppTest, SecondPassOpensOnTheMessagePageEvenAtTheTargetVersion)
{
    MakeExchangeNode(2, 211);
    EXPECT_EQ(-IDD_MESSAGE, Run());
    EXPECT_EQ(3u, theApp.m_firstPage);
}

TEST_F(TarnwickAppTest, FirstPassOnANodeAlreadyAtTheTargetShows7573)
{
    MakeExchangeNode(2);
    EXPECT_EQ(7573, Run());
}

TEST_F(TarnwickAppTest, NoExchangeShows7512)
{
    _node.SetExchConfig(7, 0);
    EXPECT_EQ(7512, Run());
}

TEST_F(TarnwickAppTest, FailingInstallationCheckShows7505)
{
    // The services are there but the Exchange key cannot be enumerated.
    ASSERT_TRUE(_node.InstallServices(CExchangeNode::kExchangeServices));
    const CLogTail log;
    EXPECT_EQ(7505, Run());
    EXPECT_TRUE(log.Has("M-42-13-10004 CUtil::IsExchangeInstalled()"));
}

TEST_F(TarnwickAppTest, MissingConfigurationKeyShows7511NotTheReadFailure)
{
    MakeExchangeNode();
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\HALVERN\\QLX\\ExchConfig");
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\HALVERN\\QLX\\ExchConfig");
    EXPECT_EQ(7511, Run());
}

TEST_F(TarnwickAppTest, UnreadableConfigurationShows7502)
{
    MakeExchangeNode();
    unique_hkey key;
    ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\HALVERN\\QLX\\ExchConfig", 0, KEY_ALL_ACCESS, &key);
    ::RegDeleteValueW(key.get(), L"ExchVersion");
    EXPECT_EQ(7502, Run());
}

TEST_F(TarnwickAppTest, UnreadableCatalogueFallsBackToTheBuiltInOne)
{
    MakeExchangeNode();
    _node.SetHomeWithoutCatalogue();
    const CLogTail log;
    EXPECT_EQ(-IDD_WELCOME, Run());
    EXPECT_EQ(2u, theApp.m_versions.toUpgrade.size());
    EXPECT_EQ(L"1912636077", theApp.m_versions.toUpgrade[0].adVersion);
    EXPECT_TRUE(log.Has("M-42-13-10004 GetExchangeVersionListFromXML()"));
}

TEST_F(TarnwickAppTest, SecondCopyShows7501AndTouchesNoConfiguration)
{
    MakeExchangeNode();
    // Another copy of the wizard holds the single-instance mutex.
    while (theApp.m_instanceMutex.Unlock())
    {
    }
    HANDLE held = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread other([&] {
        CMutex mutex(FALSE, CTarnwickApp::kInstanceMutex);
        mutex.Lock();
        ::SetEvent(held);
        ::WaitForSingleObject(release, INFINITE);
        mutex.Unlock();
    });
    ::WaitForSingleObject(held, INFINITE);

    EXPECT_EQ(7501, Run());
    EXPECT_EQ(0u, theApp.m_installedVersion) << "stopped before looking at Exchange";
    EXPECT_TRUE(theApp.m_config.evsList.empty()) << "stopped before reading the configuration";

    ::SetEvent(release);
    other.join();
    ::CloseHandle(held);
    ::CloseHandle(release);
    EXPECT_TRUE(theApp.m_instanceMutex.Lock(0));
}
