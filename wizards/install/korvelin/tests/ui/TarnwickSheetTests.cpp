// The real wizard sheet under X, driven by the scripted user: the step panel
// on each inner page and the cancel confirmation.
#include "TarnwickSheet.h"

#include "L10nUtil.h"
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
std::wstring Text(UINT id)
{
    return AfxLoadString(id);
}

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


struct PanelCase
{
    const char* name;
    uint32_t installState;
    UINT firstPage;
    int dialogId;
    int panelId;
    std::vector<std::pair<UINT, int>> items; // text, image
};

class PanelOnPageTest : public ::testing::TestWithParam<PanelCase>
{
};
} // namespace

TEST_P(PanelOnPageTest, ListsTheStepsWithTheirImages)
{
    const PanelCase& c = GetParam();
    CScopedResourceModule texts(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    std::vector<CSeenListItem> seen;
    RunSheet(c.installState, c.firstPage, [&](CSheetHarness<CTarnwickSheet>&, HWND sheet) {
        EXPECT_TRUE(ScriptedUser::WaitForPage(sheet, c.dialogId));
        seen = ScriptedUser::ReadList(::GetDlgItem(ScriptedUser::CurrentPageWindow(sheet), c.panelId));
        ScriptedUser::PressButton(sheet, PSBTN_CANCEL);
        if (HWND box = ScriptedUser::WaitForMessageBox(KV_MESSAGE_TAGW(IDS_CANCEL_QUESTION)))
            ScriptedUser::Answer(box, IDYES);
    });

    ASSERT_EQ(c.items.size(), seen.size());
    for (size_t i = 0; i < seen.size(); ++i)
    {
        EXPECT_EQ(Text(c.items[i].first), seen[i].text) << "item " << i;
        EXPECT_EQ(c.items[i].second, seen[i].image) << "item " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PanelOnPageTest,
    ::testing::Values(PanelCase{"SelectionFirstPass",
                                0,
                                1,
                                IDD_EVS_SELECT,
                                IDC_PANEL_EVS_SELECT,
                                {{IDS_STEP_PREPARE_NODE, PanelPlan::kHeading},
                                 {IDS_STEP_SELECT_EVS, PanelPlan::kCurrent},
                                 {IDS_STEP_CHANGE_NODE, PanelPlan::kPending},
                                 {IDS_STEP_RESTART_NODE, PanelPlan::kPending},
                                 {IDS_STEP_RUN_SETUP, PanelPlan::kPending},
                                 {IDS_STEP_COMPLETE_UPGRADE, PanelPlan::kPending}}},
                      PanelCase{"TaskSecondPass",
                                211,
                                2,
                                IDD_TASK_EXECUTION,
                                IDC_PANEL_TASK_EXECUTION,
                                {{IDS_STEP_PREPARE_NODE, PanelPlan::kDone}, {IDS_STEP_RUN_SETUP, PanelPlan::kDone}, {IDS_STEP_FINISH_UPGRADE, PanelPlan::kCurrent}}},
                      PanelCase{"MessageSecondPass",
                                211,
                                3,
                                IDD_MESSAGE,
                                IDC_PANEL_MESSAGE,
                                {{IDS_STEP_PREPARE_NODE, PanelPlan::kDone}, {IDS_STEP_RUN_SETUP, PanelPlan::kCurrent}, {IDS_STEP_FINISH_UPGRADE, PanelPlan::kPending}}}),
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
