// The real wizard sheet under X, driven by the scripted user: the step panel
// on each inner page and the cancel confirmation.
#include "TarnwickSheet.h"

#include "L10nUtil.h"
#include "LabFaults.h"
#include "Pictures.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "SheetHarness.h"
#include "Tarnwick.h"
#include "WizardTestEnvironment.h"
#include "StringIds.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
// The wizard's sheet in the given pass, opened on firstPage; the script must end it.
void RunSheet(uint32_t installState, UINT firstPage,
              const std::function<void(CSheetHarness<CTarnwickSheet>&, HWND)>& script)
{
    CScopedResourceModule module(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    theApp.m_installState = installState;
    CSheetHarness<CTarnwickSheet> harness(theApp, IDS_SHEET_CAPTION, nullptr, firstPage, nullptr, nullptr);
    EXPECT_NE(-1, harness.Run([&](HWND sheet) { script(harness, sheet); }));
    theApp.m_installState = 0;
}

// Cancels and confirms.
void Cancel(HWND sheet)
{
    ScriptedUser::PressButton(sheet, PSBTN_CANCEL);
    if (HWND box = ScriptedUser::WaitForMessageBox(KV_MESSAGE_TAGW(IDS_CANCEL_QUESTION)))
        ScriptedUser::Answer(box, IDYES);
}

// The panel's pictures as the panel's own list makes them.
Pictures::Pixels Panel(int iconId)
{
    return Pictures::Resource(AfxGetResourceHandle(), iconId, 16, 16, ILC_COLOR4 | ILC_MASK);
}

struct PanelCase { const char* name; uint32_t installState; UINT firstPage; int dialogId, panelId;
                   std::vector<std::pair<UINT, int>> items; }; // items: each step's text and icon
// The task page starts its worker: let it end at once, before any task.
struct QuietTasks
{
    QuietTasks() { KvLab::FailFromCall(KvLab::Entry::GetComputerNameW, 1, ERROR_ACCESS_DENIED); }
    ~QuietTasks() { KvLab::ResetFaults(); }
};
void PrintTo(const PanelCase& c, std::ostream* out) { *out << c.name; }
class PanelOnPageTest : public ::testing::TestWithParam<PanelCase> {};
} // namespace

TEST_P(PanelOnPageTest, ListsTheStepsWithTheirImages)
{
    const PanelCase& c = GetParam();
    CScopedResourceModule texts(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    std::vector<CSeenListItem> seen;
    HIMAGELIST images = nullptr; // shared by all panels: it outlives the sheet
    const QuietTasks quiet;
    RunSheet(c.installState, c.firstPage, [&](CSheetHarness<CTarnwickSheet>&, HWND sheet) {
        EXPECT_TRUE(ScriptedUser::WaitForPage(sheet, c.dialogId));
        const HWND page = ScriptedUser::CurrentPageWindow(sheet);
        const HWND panel = ::GetDlgItem(page, c.panelId);
        seen = ScriptedUser::ReadList(panel);
        images = ListView_GetImageList(panel, LVSIL_SMALL);
        if (c.dialogId == IDD_TASK_EXECUTION) // no cancel while the tasks run
            EXPECT_TRUE(WaitUntil([&] { return ::GetWindowTextLengthW(::GetDlgItem(page, IDC_TASK_STATUS)) > 0; }));
        Cancel(sheet);
    });

    ASSERT_EQ(c.items.size(), seen.size());
    ASSERT_TRUE(Panel(IDI_TASK_RUNNING) != Panel(IDI_TASK_PENDING) && Panel(IDI_TASK_DONE) != Panel(IDI_TASK_PENDING) &&
                Panel(IDI_TASK_DONE) != Panel(IDI_TASK_RUNNING))
        << "the three pictures must differ to be told apart";
    for (size_t i = 0; i < seen.size(); ++i)
    {
        EXPECT_EQ(AfxLoadString(c.items[i].first), seen[i].text) << "item " << i;
        EXPECT_TRUE(Panel(c.items[i].second) == Pictures::Drawn(images, seen[i].image)) << "item " << i << "'s picture";
    }
}

constexpr int kDone = IDI_TASK_DONE, kCurrent = IDI_TASK_RUNNING, kPending = IDI_TASK_PENDING;
INSTANTIATE_TEST_SUITE_P(
    Pages, PanelOnPageTest,
    ::testing::Values(
        PanelCase{"SelectionFirstPass", 0, 1, IDD_EVS_SELECT, IDC_PANEL_EVS_SELECT,
                  {{IDS_STEP_PREPARE_NODE, kPending}, {IDS_STEP_SELECT_EVS, kCurrent}, {IDS_STEP_CHANGE_NODE, kPending},
                   {IDS_STEP_RESTART_NODE, kPending}, {IDS_STEP_RUN_SETUP, kPending},
                   {IDS_STEP_COMPLETE_UPGRADE, kPending}}},
        PanelCase{"TaskFirstPass", 0, 2, IDD_TASK_EXECUTION, IDC_PANEL_TASK_EXECUTION,
                  {{IDS_STEP_PREPARE_NODE, kPending}, {IDS_STEP_SELECT_EVS, kDone}, {IDS_STEP_CHANGE_NODE, kCurrent},
                   {IDS_STEP_RESTART_NODE, kPending}, {IDS_STEP_RUN_SETUP, kPending},
                   {IDS_STEP_COMPLETE_UPGRADE, kPending}}},
        PanelCase{"MessageSecondPass", 211, 3, IDD_MESSAGE, IDC_PANEL_MESSAGE,
                  {{IDS_STEP_PREPARE_NODE, kDone}, {IDS_STEP_RUN_SETUP, kCurrent}, {IDS_STEP_FINISH_UPGRADE, kPending}}}),
    [](const ::testing::TestParamInfo<PanelCase>& info) { return std::string(info.param.name); });

TEST(TarnwickSheetTests, CancelAsksAndNoKeepsTheWizardOpen)
{
    const CLogTail tail;
    RunSheet(0, 0, [&](CSheetHarness<CTarnwickSheet>& harness, HWND sheet) {
        ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_WELCOME));
        for (const int answer : {IDNO, IDYES})
        {
            ScriptedUser::PressButton(sheet, PSBTN_CANCEL);
            HWND box = ScriptedUser::WaitForMessageBox(KV_MESSAGE_TAGW(IDS_CANCEL_QUESTION));
            ASSERT_NE(nullptr, box) << "cancel asks each time";
            ScriptedUser::Answer(box, answer);
            ASSERT_TRUE(harness.Settle(sheet));
            EXPECT_EQ(answer == IDNO ? IDD_WELCOME : 0, ScriptedUser::CurrentPage(sheet)) << "after " << answer;
        }
    });
    const std::string log = tail.Text();
    const size_t declined = log.find(KV_MESSAGE_TAG(IDS_LOG_CANCEL_DECLINED));
    ASSERT_NE(std::string::npos, declined);
    EXPECT_NE(std::string::npos, log.find(KV_MESSAGE_TAG(IDS_LOG_CANCELLED), declined)) << "Yes is logged after No";
}

// The welcome page's title: the dialog's own face, bold, at 12 points on this screen; the
// wizard's icon, released with the sheet.
TEST(TarnwickSheetTests, TitleFontAndTheWizardIcon)
{
    constexpr UINT kBig = ILC_COLOR32 | ILC_MASK;
    LOGFONTW title{}, dialog{};
    HICON icon = nullptr;
    Pictures::Pixels shown, expected;
    RunSheet(0, 0, [&](CSheetHarness<CTarnwickSheet>& harness, HWND sheet) {
        ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_WELCOME));
        const HFONT bold = static_cast<HFONT>(harness.GetSheet().GetBoldFont().GetSafeHandle());
        EXPECT_TRUE(bold && ::GetObjectW(bold, sizeof(title), &title));
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(sheet, WM_GETFONT, 0, 0)), sizeof(dialog), &dialog);
        icon = reinterpret_cast<HICON>(::SendMessageW(sheet, WM_GETICON, ICON_BIG, 0));
        shown = Pictures::Through(icon, 32, kBig);
        EXPECT_EQ(32, Pictures::Width(icon)) << "the big icon is loaded at its own size";
        expected = Pictures::Resource(AfxGetResourceHandle(), IDI_WIZARD, 32, 32, kBig);
        Cancel(sheet);
    });
    const HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(-MulDiv(12, dpi, 72), title.lfHeight);
    EXPECT_EQ(FW_BOLD, title.lfWeight);
    EXPECT_STREQ(dialog.lfFaceName, title.lfFaceName);
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(expected == shown) << "not the wizard's icon";
    ICONINFO info{};
    EXPECT_FALSE(::GetIconInfo(icon, &info)) << "the icon outlived the sheet";
}
