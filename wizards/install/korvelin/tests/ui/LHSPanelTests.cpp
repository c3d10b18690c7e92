// The step panel: which rows it lists and which image each shows.
#include "LHSPanel.h"

#include "L10nUtil.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "WizardTestEnvironment.h"
#include "StringIds.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
struct Expected
{
    int row;
    int image;
};

std::vector<Expected> Planned(const StepRow* table, int pageId)
{
    int before = 0, after = 0;
    const PanelPlan plan =
        CLHSPanel::Plan(table, CLHSPanel::FindStep(table, pageId), before, after, [](int) { return true; });
    std::vector<Expected> items;
    for (const PanelPlan::Item& item : plan.items)
        items.push_back({item.row, item.image});
    return items;
}

bool operator==(const Expected& a, const Expected& b)
{
    return a.row == b.row && a.image == b.image;
}

constexpr int kCurrent = PanelPlan::kCurrent, kPending = PanelPlan::kPending, kDone = PanelPlan::kDone,
              kHeading = PanelPlan::kHeading;
} // namespace

TEST(LHSPanelTests, SelectionPageOfTheFirstPassListsItsGroup)
{
    // the first heading, then the three sub-steps (the first current), then the two last headings.
    EXPECT_EQ((std::vector<Expected>{{0, kHeading}, {1, kCurrent}, {2, kPending}, {3, kPending}, {4, kPending},
                                     {5, kPending}}),
              Planned(kFirstPassSteps, IDD_EVS_SELECT));
}

TEST(LHSPanelTests, TaskPageOfTheSecondPassIsItselfAHeading)
{
    EXPECT_EQ((std::vector<Expected>{{0, kDone}, {1, kDone}, {2, kCurrent}}),
              Planned(kSecondPassSteps, IDD_TASK_EXECUTION));
}

TEST(LHSPanelTests, MessagePageOfTheSecondPass)
{
    EXPECT_EQ((std::vector<Expected>{{0, kDone}, {1, kCurrent}, {2, kPending}}),
              Planned(kSecondPassSteps, IDD_MESSAGE));
}

TEST(LHSPanelTests, PageInNoRowLeavesEveryItemPending)
{
    EXPECT_EQ(-1, CLHSPanel::FindStep(kFirstPassSteps, IDD_WELCOME));
    int before = 0, after = 0;
    const PanelPlan plan = CLHSPanel::Plan(kFirstPassSteps, -1, before, after, [](int) { return true; });
    EXPECT_EQ(-1, plan.currentPosition);
    for (const PanelPlan::Item& item : plan.items)
        EXPECT_EQ(kPending, item.image);
}

TEST(LHSPanelTests, RowsWithoutTextAreLeftOut)
{
    int before = 0, after = 0;
    const PanelPlan plan = CLHSPanel::Plan(kFirstPassSteps, 2, before, after, [](int id) { return id != IDS_STEP_SELECT_EVS; });
    ASSERT_EQ(5u, plan.items.size());
    EXPECT_EQ(1, plan.currentPosition) << "positions count only listed rows";
    EXPECT_EQ(2, plan.items[1].row);
}

TEST(LHSPanelTests, RealPanelOfAPageInNoRowShowsEveryStepPending)
{
    CScopedResourceModule module(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    HWND page = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, page);
    {
        CLHSPanel panel;
        ASSERT_TRUE(panel.Create(page, IDC_PANEL_EVS_SELECT));
        panel.Initialise();
        CLHSPanel::SetStepTable(kFirstPassSteps);
        panel.SetPageId(IDD_WELCOME);
        panel.Update(panel.FindStep());

        const std::vector<CSeenListItem> items = ScriptedUser::ReadList(panel.m_hWnd);
        ASSERT_GE(items.size(), 3u) << "the headings at least";
        for (const CSeenListItem& item : items)
            EXPECT_EQ(kPending, item.image) << std::string(item.text.begin(), item.text.end());
        EXPECT_EQ(-1, panel.GetCurrentPosition());
    }
    ::DestroyWindow(page);
}
