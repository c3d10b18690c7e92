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

namespace
{
// A first-pass panel on a plain window standing for the page of pageId.
void ShowFirstPass(CLHSPanel& panel, HWND page, int pageId)
{
    ASSERT_TRUE(panel.Create(page, IDC_PANEL_EVS_SELECT));
    panel.Initialise();
    CLHSPanel::SetStepTable(kFirstPassSteps);
    panel.SetPageId(pageId);
    panel.Update(panel.FindStep());
}
} // namespace

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
        ShowFirstPass(panel, page, IDD_WELCOME);

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

// The steps the wizard does not take itself are written in grey, the others in black.
TEST(LHSPanelTests, OnlyStepsOutsideTheWizardAreGrey)
{
    CScopedResourceModule module(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    HWND page = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, page);
    std::vector<std::pair<std::wstring, std::string>> inks; // step, "grey" or "black"
    {
        CLHSPanel panel;
        ShowFirstPass(panel, page, IDD_EVS_SELECT);
        const std::vector<CSeenListItem> items = ScriptedUser::ReadList(panel.m_hWnd);
        constexpr int kHeight = 24, kTextFrom = 40; // right of any icon
        for (size_t i = 0; i < items.size(); ++i)
        {
            const Pictures::Pixels drawn = Pictures::Painted(CLHSPanel::kWidth, kHeight, [&](HDC dc) {
                DRAWITEMSTRUCT draw{};
                draw.CtlType = ODT_LISTVIEW;
                draw.itemID = static_cast<UINT>(i);
                draw.hDC = dc;
                draw.rcItem = {0, 0, CLHSPanel::kWidth, kHeight};
                panel.DrawItem(draw);
            });
            size_t grey = 0, black = 0;
            for (size_t p = 0; p < drawn.size(); ++p)
            {
                if (static_cast<int>(p % CLHSPanel::kWidth) < kTextFrom)
                    continue;
                grey += (drawn[p] & 0xFFFFFF) == 0x4E4E4E;
                black += (drawn[p] & 0xFFFFFF) == 0;
            }
            inks.emplace_back(items[i].text, grey && !black ? "grey" : black && !grey ? "black" : "mixed");
        }
    }
    ::DestroyWindow(page);
    ASSERT_EQ(6u, inks.size());
    for (const auto& [step, ink] : inks)
        EXPECT_EQ(step == AfxLoadString(IDS_STEP_RUN_SETUP) ? "grey" : "black", ink)
            << std::string(step.begin(), step.end());
}
