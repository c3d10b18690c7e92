// The step panel on its own: rows without text, and the panel of a page in
// no row. The pages' panels are tested on the real sheet.
#include "LHSPanel.h"

#include "L10nUtil.h"
#include "Pictures.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "WizardTestEnvironment.h"
#include "StringIds.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <vector>

TEST(LHSPanelTests, RowsWithoutTextAreLeftOut)
{
    int before = 0, after = 0;
    const PanelPlan plan = CLHSPanel::Plan(kFirstPassSteps, 2, before, after, [](int id) { return id != IDS_STEP_SELECT_EVS; });
    ASSERT_EQ(5u, plan.items.size());
    EXPECT_EQ(1, plan.currentPosition) << "positions count only listed rows";
    EXPECT_EQ(2, plan.items[1].row);
}

TEST(LHSPanelTests, RealPanelOfAPageInNoRowShowsEveryStepPendingOnItsTiles)
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
        const HIMAGELIST images = ListView_GetImageList(panel.m_hWnd, LVSIL_SMALL);
        const Pictures::Pixels pending =
            Pictures::Resource(AfxGetResourceHandle(), IDI_TASK_PENDING, 16, 16, ILC_COLOR4 | ILC_MASK);
        ASSERT_GE(items.size(), 3u) << "the headings at least";
        for (const CSeenListItem& item : items)
            EXPECT_TRUE(pending == Pictures::Drawn(images, item.image)) << std::string(item.text.begin(), item.text.end());
        EXPECT_EQ(-1, panel.GetCurrentPosition());

        // The background is the module's tile, repeated.
        const unique_hbitmap tile(static_cast<HBITMAP>(
            ::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDB_PANEL_TILE), IMAGE_BITMAP, 0, 0, 0)));
        const auto tiles = [&](HDC dc) {
            const RECT area{0, 0, CLHSPanel::kWidth, 100};
            const unique_hbrush brush(::CreatePatternBrush(tile.get()));
            ::FillRect(dc, &area, brush.get());
        };
        const auto erased = [&](HDC dc) { ::SendMessageW(panel.m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0); };
        EXPECT_TRUE(Pictures::Painted(CLHSPanel::kWidth, 100, tiles) == Pictures::Painted(CLHSPanel::kWidth, 100, erased));
    }
    ::DestroyWindow(page);
}
