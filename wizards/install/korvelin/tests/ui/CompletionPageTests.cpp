// The completion page on a lab node after the second pass: its two faces,
// this node's column in the matrix, the log viewer and Finish.
#include "CompletionPage.h"

#include "LabFaults.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "StringIds.h"
#include "Tarnwick.h"
#include "UniqueResource.h"
#include "UpgradeNode.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

namespace
{
using KvLab::Entry;
constexpr wchar_t kBaseKey[] = L"SOFTWARE\\HALVERN\\QLX\\Base";

HWND Control(HWND sheet, int id) { return ::GetDlgItem(ScriptedUser::CurrentPageWindow(sheet), id); }
bool Shown(HWND sheet, int id) { return ::IsWindowVisible(Control(sheet, id)) != FALSE; }
bool Usable(HWND control) { return ::IsWindowVisible(control) && ::IsWindowEnabled(control); }

// Posted: the page may answer with a box.
void ClickLog(HWND sheet) { ::PostMessageW(Control(sheet, IDC_COMPLETION_LOG), BM_CLICK, 0, 0); }

// Back from the click once the sheet answers: the page's loop is running again.
void Settle(HWND sheet)
{
    DWORD_PTR answer = 0;
    EXPECT_NE(0, ::SendMessageTimeoutW(sheet, WM_NULL, 0, 0, SMTO_BLOCK, kWaitMs, &answer));
}

void SetHome(const std::wstring& home)
{
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kBaseKey, L"HomeDirectory", REG_SZ, home.c_str(),
                      static_cast<DWORD>((home.size() + 1) * sizeof(wchar_t)));
}

// Ends a Notepad the page started; whether it was still running.
bool EndNotepad(DWORD id)
{
    const unique_handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    return process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT && ::TerminateProcess(process.get(), 0) &&
           ::WaitForSingleObject(process.get(), kWaitMs) == WAIT_OBJECT_0;
}

class CompletionPageTest : public ::testing::Test
{
protected:
    CompletionPageTest() { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kBaseKey); }
    ~CompletionPageTest() override
    {
        for (const auto& started : CLabScenario::StartedProcesses()) // no Notepad outlives its test
            (void)EndNotepad(started.processId);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kBaseKey);
    }

    // Runs the sheet on the completion page; script gets it once the page shows.
    void OnPage(const std::function<void(HWND)>& script)
    {
        node.Run(CTarnwickSheet::kCompletionIndex, [&](HWND sheet) {
            ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_COMPLETION));
            script(sheet);
        });
    }

    CUpgradeNode node{CUpgradeNode::kSecondPass, 2};
};

struct FaceCase
{
    const char* name;
    uint32_t failed, skipDiscovery, discoveryFailed;
    UINT body;
    bool matrix;
};
void PrintTo(const FaceCase& c, std::ostream* out) { *out << c.name; }
class CompletionFaceTest : public CompletionPageTest, public ::testing::WithParamInterface<FaceCase> {};
} // namespace

// Each outcome's face; Finish is the only way on. (The restart question at
// Finish is every page's, read on the message page by FirstPassFinishTest.)
TEST_P(CompletionFaceTest, FaceButtonsAndFinish)
{
    const FaceCase& c = GetParam();
    theApp.m_upgradeFailed = c.failed;
    theApp.m_skipDiscovery = c.skipDiscovery;
    theApp.m_discoveryFailed = c.discoveryFailed;
    OnPage([&](HWND sheet) {
        EXPECT_EQ(AfxLoadString(IDS_COMPLETION_TITLE), ScriptedUser::TextOf(Control(sheet, IDC_COMPLETION_TITLE)));
        EXPECT_EQ(AfxLoadString(c.body), ScriptedUser::TextOf(Control(sheet, IDC_COMPLETION_TEXT)));
        EXPECT_EQ(c.matrix, Shown(sheet, IDC_COMPLETION_MATRIX));
        EXPECT_EQ(c.matrix, Shown(sheet, IDC_COMPLETION_CAPTION)) << "the caption sits where the log button does";
        EXPECT_EQ(c.failed != 0, Usable(Control(sheet, IDC_COMPLETION_LOG)));
        EXPECT_TRUE(Usable(::GetDlgItem(sheet, ID_WIZFINISH)));
        EXPECT_FALSE(Usable(::GetDlgItem(sheet, ID_WIZNEXT)));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(sheet, ID_WIZBACK)));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(sheet, IDCANCEL)));
        EXPECT_EQ(std::vector<int>{}, ScriptedUser::FinishWizard(sheet, IDNO));
    });
}

INSTANTIATE_TEST_SUITE_P(
    Completion, CompletionFaceTest,
    ::testing::Values(FaceCase{"Failed", 1, 0, 0, IDS_COMPLETION_FAILURE_TEXT, false},
                      FaceCase{"Succeeded", 0, 0, 0, IDS_COMPLETION_SUCCESS_TEXT, true},
                      FaceCase{"SucceededWithoutDiscovery", 0, 1, 0, IDS_COMPLETION_SUCCESS_TEXT, false},
                      FaceCase{"SucceededAfterDiscoveryFailed", 0, 0, 1, IDS_COMPLETION_SUCCESS_TEXT, false}),
    [](const ::testing::TestParamInfo<FaceCase>& info) { return std::string(info.param.name); });

// The node still has the server's name: its column is headed with the name it
// gets back, found without regard to letter case; the others keep theirs.
TEST_F(CompletionPageTest, ThisNodesColumnShowsTheNameItGetsBack)
{
    const auto evs = std::make_shared<CEVS>(L"EVS1");
    evs->version = theApp.m_versions.upgradeVersion.adVersion;
    theApp.m_cluster.evsList.Add(evs);
    for (const auto& [computer, system, code] : {std::tuple{L"NODE2", L"qlx-b", 7u}, {L"evs1", L"qlx-a", 8u}})
    {
        const auto member = std::make_shared<CSystem>(computer, system);
        member->exchVersion = code;
        member->evsList.Add(evs);
        theApp.m_cluster.systems.Add(member);
    }
    OnPage([&](HWND sheet) {
        const HWND matrix = Control(sheet, IDC_COMPLETION_MATRIX);
        EXPECT_EQ((std::vector<std::wstring>{AfxLoadString(IDS_MATRIX_EVS_NAME), L"NODE2", L"NODE1"}),
                  ScriptedUser::ReadHeadings(matrix));
        const std::vector<CSeenListItem> rows = ScriptedUser::ReadList(matrix);
        ASSERT_EQ(1u, rows.size());
        EXPECT_EQ((std::vector<std::wstring>{L"EVS1", AfxLoadString(IDS_STATE_PARTIALLY_UPGRADED),
                                             AfxLoadString(IDS_STATE_UPGRADED)}),
                  rows[0].columns);
        ScriptedUser::FinishWizard(sheet, IDNO);
    });
}

// The real Notepad starts on the log file, the home taken as the registry has
// it (spaces, a trailing separator); the page stays.
TEST_F(CompletionPageTest, LogButtonStartsNotepadOnTheLog)
{
    theApp.m_upgradeFailed = 1;
    SetHome(L"C:\\kv lab home\\");
    OnPage([&](HWND sheet) {
        // The focus reaching the button (Tab) opens nothing; only a click does.
        const HWND button = Control(sheet, IDC_COMPLETION_LOG);
        ::SendMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(IDC_COMPLETION_LOG, BN_SETFOCUS),
                       reinterpret_cast<LPARAM>(button));
        EXPECT_TRUE(CLabScenario::StartedProcesses().empty());
        ClickLog(sheet);
        ASSERT_TRUE(WaitUntil([] { return !CLabScenario::StartedProcesses().empty(); }));
        const auto started = CLabScenario::StartedProcesses();
        ASSERT_EQ(1u, started.size());
        EXPECT_EQ(L"notepad.exe C:\\kv lab home\\\\log\\Korvelin_A.txt", started[0].commandLine);
        EXPECT_TRUE(EndNotepad(started[0].processId)) << "no Notepad running";
        Settle(sheet);
        EXPECT_EQ(nullptr, ScriptedUser::FindMessageBox(L"M-42-13-"));
        EXPECT_EQ(IDD_COMPLETION, ScriptedUser::CurrentPage(sheet));
        ScriptedUser::FinishWizard(sheet, IDNO);
    });
}

namespace
{
struct LogFailure
{
    const char* name;
    void (*prepare)();
    int box;
    const char* lines; // consecutive log lines
};
void PrintTo(const LogFailure& c, std::ostream* out) { *out << c.name; }
class CompletionLogFailureTest : public CompletionPageTest, public ::testing::WithParamInterface<LogFailure> {};
} // namespace

// Each failure of the log button: logged, told, nothing started, the page stays.
TEST_P(CompletionLogFailureTest, LoggedToldAndThePageStays)
{
    const LogFailure& c = GetParam();
    theApp.m_upgradeFailed = 1;
    c.prepare();
    OnPage([&](HWND sheet) {
        const CLogTail log;
        std::vector<int> boxes;
        ClickLog(sheet);
        EXPECT_TRUE(ScriptedUser::AnswerBoxesUntil(
            [&] { return !boxes.empty() && !ScriptedUser::FindMessageBox(L"M-42-13-"); },
            [](int) { return IDOK; }, boxes));
        Settle(sheet);
        EXPECT_EQ(std::vector<int>{c.box}, boxes);
        EXPECT_TRUE(log.HasLines(c.lines)) << log.Untimed();
        EXPECT_TRUE(CLabScenario::StartedProcesses().empty());
        EXPECT_EQ(IDD_COMPLETION, ScriptedUser::CurrentPage(sheet));
        ScriptedUser::FinishWizard(sheet, IDNO);
    });
}

#define KV_HOME_UNREADABLE(code)                                                                                       \
    KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED,                                                                          \
                "CLibRegistry::ReadRegistryStringValue failed: category 2, code " code ".")
INSTANTIATE_TEST_SUITE_P(
    Completion, CompletionLogFailureTest,
    ::testing::Values(
        LogFailure{"NoBaseKey", [] {}, IDS_CONFIG_UNREADABLE, KV_HOME_UNREADABLE("2")},
        LogFailure{"HomeTooLong", [] { SetHome(L"C:\\" + std::wstring(257, L'h')); }, IDS_CONFIG_UNREADABLE,
                   KV_HOME_UNREADABLE("234")},
        LogFailure{"NotepadDoesNotStart",
                   [] {
                       SetHome(L"C:\\QLX");
                       KvLab::FailCall(Entry::CreateProcessW, 1, ERROR_FILE_NOT_FOUND);
                   },
                   IDS_LOG_VIEWER_FAILED,
                   KV_LOG_LINE("ERROR", IDS_LOG_WIN32_FAILED, "CreateProcess failed with Windows error 2.")
                       "QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_VIEWER_FAILED)}),
    [](const ::testing::TestParamInfo<LogFailure>& info) { return std::string(info.param.name); });
