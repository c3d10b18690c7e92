// The step panel on the left of the inner pages: the steps of the current
// pass, with the current one marked. Owner-drawn; all panels of the process
// share one step table and one image list.
#pragma once

#include "AfxCtrl.h"
#include "AfxGdi.h"

#include <cstdint>
#include <functional>
#include <vector>

// One row of a step table: 28 words. A text of -1 ends the table.
struct StepRow
{
    int32_t text;
    int32_t pages[25]; // dialog ids of the row's pages, ended by -1
    int32_t heading;
    int32_t grey;
};
static_assert(sizeof(StepRow) == 28 * sizeof(int32_t), "a step row is 28 words");

extern const StepRow kFirstPassSteps[];
extern const StepRow kSecondPassSteps[];

// Where each listed row goes and which image it shows; made without windows
// so the rules can be checked on their own.
struct PanelPlan
{
    enum Image
    {
        kCurrent = 0,
        kPending = 1,
        kDone = 2,
        kHeading = 3,
    };
    struct Item
    {
        int row;
        int image;
        int indent;
    };
    std::vector<Item> items;
    int currentPosition = -1;
};

class CLHSPanel : public CListCtrl
{
public:
    static constexpr int kWidth = 164;
    static constexpr int kSeparatorWidth = 2;

    CLHSPanel() noexcept = default;

    // The list view at the page's left edge; false when it could not be made.
    bool Create(HWND page, UINT id) noexcept;
    // Column, background, transparent text and the shared image list.
    void Initialise() noexcept;

    static void SetStepTable(const StepRow* table) noexcept;
    static const StepRow* GetStepTable() noexcept;

    void SetPageId(int pageId) noexcept { _pageId = pageId; }
    int GetPageId() const noexcept { return _pageId; }
    int GetCurrentPosition() const noexcept { return _current; }

    // The first row whose pages hold this panel's page; -1 without one.
    int FindStep() const noexcept;
    // Rebuilds the items if a table was given since, and marks currentRow.
    void Update(int currentRow) noexcept;

    // Moves page, panel and separator into place (on each activation).
    void Layout(HWND sheet, HWND page) noexcept;

    // Owner drawing, routed here by the page. Measuring comes while the list
    // is being created, so it works from the page's font alone.
    static void MeasureItem(HWND page, MEASUREITEMSTRUCT& measure) noexcept;
    void DrawItem(const DRAWITEMSTRUCT& draw) const noexcept;

    static int FindStep(const StepRow* table, int pageId) noexcept;
    // The rows listed for currentRow, and their images. headingBefore and
    // headingAfter carry the panel state from one update to the next.
    static PanelPlan Plan(const StepRow* table, int currentRow, int& headingBefore, int& headingAfter,
                          const std::function<bool(int)>& hasText);

private:
    static LRESULT CALLBACK _PaintBackground(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                             DWORD_PTR data) noexcept;

    int _current = -1;
    int _pageId = -1;
    int _createdHeight = 0;
    HWND _separator = nullptr; // a child of the page, destroyed with it
    bool _laidOut = false;
    RECT _sheetPlace{}; // where the sheet put the page, in its client area
    RECT _pageClient{};
};
