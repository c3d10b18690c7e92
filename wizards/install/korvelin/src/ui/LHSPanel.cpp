// CLHSPanel: see LHSPanel.h.
#include "LHSPanel.h"

#include "ResourceIds.h"
#include "StringIds.h"
#include "UniqueResource.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

// Pages with no place of their own in a row carry this list.
#define KV_NO_PAGES                                                                                                   \
    {                                                                                                                 \
        -1                                                                                                            \
    }

const StepRow kFirstPassSteps[] = {
    {IDS_STEP_PREPARE_NODE, KV_NO_PAGES, 1, 0},
    {IDS_STEP_SELECT_EVS, {IDD_EVS_SELECT, -1}, 0, 0},
    {IDS_STEP_CHANGE_NODE, {IDD_TASK_EXECUTION, -1}, 0, 0},
    {IDS_STEP_RESTART_NODE, {IDD_MESSAGE, -1}, 0, 0},
    {IDS_STEP_RUN_SETUP, KV_NO_PAGES, 1, 1},
    {IDS_STEP_COMPLETE_UPGRADE, KV_NO_PAGES, 1, 0},
    {-1, KV_NO_PAGES, 0, 0},
};

const StepRow kSecondPassSteps[] = {
    {IDS_STEP_PREPARE_NODE, KV_NO_PAGES, 1, 0},
    {IDS_STEP_RUN_SETUP, {IDD_MESSAGE, -1}, 1, 1},
    {IDS_STEP_FINISH_UPGRADE, {IDD_TASK_EXECUTION, -1}, 1, 0},
    {-1, KV_NO_PAGES, 0, 0},
};

namespace
{
// Shared by every panel of the process.
struct PanelState
{
    const StepRow* table = nullptr;
    bool rebuild = false;
    int headingBefore = 0;
    int headingAfter = 0;
    CImageList images;
    unique_hbitmap tile;
};

PanelState& Shared()
{
    static PanelState state;
    return state;
}

int RowCount(const StepRow* table)
{
    int count = 0;
    while (table[count].text != -1)
        ++count;
    return count;
}

constexpr COLORREF kGreyText = 0x4E4E4E;
constexpr int kTopMargin = 10;
constexpr int kLayoutLift = 10;
constexpr int kLayoutExtraHeight = 25;
constexpr int kPanelExtraHeight = 370;
} // namespace

int CLHSPanel::FindStep(const StepRow* table, int pageId) noexcept
{
    if (!table)
        return -1;
    for (int row = 0; table[row].text != -1; ++row)
        for (int i = 0; i < 25 && table[row].pages[i] != -1; ++i)
            if (table[row].pages[i] == pageId)
                return row;
    return -1;
}

PanelPlan CLHSPanel::Plan(const StepRow* table, int currentRow, int& headingBefore, int& headingAfter,
                          const std::function<bool(int)>& hasText)
{
    PanelPlan plan;
    if (!table)
        return plan;
    const int rows = RowCount(table);
    if (currentRow >= 0)
    {
        headingBefore = 0;
        for (int row = currentRow; row >= 0; --row)
            if (table[row].heading)
            {
                headingBefore = row;
                break;
            }
        headingAfter = rows;
        for (int row = currentRow; row < rows; ++row)
            if (table[row].heading)
            {
                headingAfter = row;
                break;
            }
    }

    // Headings always; sub-steps only of the current group.
    int headingBeforePosition = -1;
    for (int row = 0; row < rows; ++row)
    {
        const bool heading = table[row].heading != 0;
        if (!heading && !(row > headingBefore && row <= headingAfter))
            continue;
        if (!hasText(table[row].text))
            continue;
        const int position = static_cast<int>(plan.items.size());
        if (row == currentRow)
            plan.currentPosition = position;
        if (row == headingBefore)
            headingBeforePosition = position;
        plan.items.push_back({row, PanelPlan::kPending, heading ? 0 : 1});
    }

    if (plan.currentPosition < 0)
        return plan;
    for (int position = 0; position < plan.currentPosition; ++position)
        plan.items[static_cast<size_t>(position)].image =
            position == headingBeforePosition ? PanelPlan::kHeading : PanelPlan::kDone;
    plan.items[static_cast<size_t>(plan.currentPosition)].image = PanelPlan::kCurrent;
    return plan;
}

void CLHSPanel::SetStepTable(const StepRow* table) noexcept
{
    Shared().table = table;
    Shared().rebuild = true;
}

const StepRow* CLHSPanel::GetStepTable() noexcept
{
    return Shared().table;
}

int CLHSPanel::FindStep() const noexcept
{
    return FindStep(Shared().table, _pageId);
}

bool CLHSPanel::Create(HWND page, UINT id) noexcept
{
    RECT client{};
    ::GetClientRect(page, &client);
    _createdHeight = client.bottom;
    const RECT rect{0, 0, kWidth, _createdHeight};
    // The image list belongs to all panels of the process: no panel may
    // destroy it with its window.
    return CListCtrl::Create(WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_NOSCROLL | LVS_ALIGNLEFT |
                                 LVS_SHAREIMAGELISTS,
                             rect, page, id);
}

void CLHSPanel::Initialise() noexcept
{
    PanelState& shared = Shared();
    InsertColumn(0, L"", LVCFMT_LEFT, kWidth);

    const HINSTANCE module = AfxGetResourceHandle();
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    wchar_t url[MAX_PATH + 32];
    swprintf(url, MAX_PATH + 32, L"res://%ls/#2/#%d", path, IDB_PANEL_TILE);
    LVBKIMAGEW background{};
    background.ulFlags = LVBKIF_SOURCE_URL | LVBKIF_STYLE_TILE;
    background.pszImage = url;
    if (!SendMessage(LVM_SETBKIMAGEW, 0, reinterpret_cast<LPARAM>(&background)))
    {
        // Not every common-controls library takes a res:// address (Wine does
        // not): paint the same tiles ourselves.
        if (!shared.tile && module)
            shared.tile.reset(static_cast<HBITMAP>(
                ::LoadImageW(module, MAKEINTRESOURCEW(IDB_PANEL_TILE), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
        if (shared.tile)
            ::SetWindowSubclass(m_hWnd, &_PaintBackground, 0, reinterpret_cast<DWORD_PTR>(shared.tile.get()));
    }
    SendMessage(LVM_SETTEXTBKCOLOR, 0, CLR_NONE);
    SendMessage(LVM_SETBKCOLOR, 0, CLR_NONE);

    if (!shared.images.GetSafeHandle() && shared.images.Create(16, 16, ILC_COLOR4 | ILC_MASK, 0, 4) && module)
    {
        for (int icon : {IDI_TASK_RUNNING, IDI_TASK_PENDING, IDI_TASK_DONE, IDI_TASK_PENDING})
            shared.images.Add(static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(icon), IMAGE_ICON, 16, 16,
                                                              LR_DEFAULTCOLOR | LR_SHARED)));
    }
    SetImageList(shared.images.GetSafeHandle(), LVSIL_SMALL);
}

LRESULT CALLBACK CLHSPanel::_PaintBackground(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                             DWORD_PTR data) noexcept
{
    if (message == WM_ERASEBKGND)
    {
        RECT client{};
        ::GetClientRect(list, &client);
        if (const unique_hbrush tiles{::CreatePatternBrush(reinterpret_cast<HBITMAP>(data))})
        {
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, tiles.get());
            return TRUE;
        }
    }
    if (message == WM_NCDESTROY)
        ::RemoveWindowSubclass(list, &_PaintBackground, id);
    return ::DefSubclassProc(list, message, wParam, lParam);
}

void CLHSPanel::Update(int currentRow) noexcept
{
    PanelState& shared = Shared();
    if (!shared.table)
        return;
    try
    {
        const PanelPlan plan = Plan(shared.table, currentRow, shared.headingBefore, shared.headingAfter,
                                    [](int id) { return !AfxLoadString(static_cast<UINT>(id)).empty(); });
        if (shared.rebuild)
        {
            DeleteAllItems();
            for (const PanelPlan::Item& item : plan.items)
                InsertItem(static_cast<int>(&item - plan.items.data()),
                           AfxLoadString(static_cast<UINT>(shared.table[item.row].text)), PanelPlan::kPending,
                           item.row);
            shared.rebuild = false;
        }
        for (size_t position = 0; position < plan.items.size() && static_cast<int>(position) < GetItemCount();
             ++position)
        {
            SetItemImage(static_cast<int>(position), 0, plan.items[position].image);
            SetItemIndent(static_cast<int>(position), plan.items[position].indent);
        }
        _current = plan.currentPosition;
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
    catch (...)
    {
        _current = -1;
    }
}

void CLHSPanel::Layout(HWND sheet, HWND page) noexcept
{
    // The sheet places a page once; measure from that place only, or every
    // activation would move the page further.
    if (!_laidOut)
    {
        ::GetWindowRect(page, &_sheetPlace);
        ::MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&_sheetPlace), 2);
        ::GetClientRect(page, &_pageClient);
        _laidOut = true;
    }
    const int lifted = _sheetPlace.top - kLayoutLift;
    const int height = _pageClient.bottom + kLayoutExtraHeight;

    ::MoveWindow(page, 0, lifted, _pageClient.right, height, TRUE);
    ::MoveWindow(m_hWnd, 0, 0, kWidth, _createdHeight + lifted + kPanelExtraHeight, TRUE);

    if (!_separator)
        _separator = ::CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | WS_VISIBLE | SS_SUNKEN | SS_BITMAP, kWidth, 0,
                                       kSeparatorWidth, height, page,
                                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_PANEL_SEPARATOR)), nullptr,
                                       nullptr);
    ::MoveWindow(_separator, kWidth, 0, kSeparatorWidth, height, TRUE);
}

void CLHSPanel::MeasureItem(HWND page, MEASUREITEMSTRUCT& measure) noexcept
{
    LOGFONTW font{};
    HFONT current = reinterpret_cast<HFONT>(::SendMessageW(page, WM_GETFONT, 0, 0));
    if (current && ::GetObjectW(current, sizeof(font), &font))
        measure.itemHeight = static_cast<UINT>(2 * (std::abs(font.lfHeight) + 4));
}

void CLHSPanel::DrawItem(const DRAWITEMSTRUCT& draw) const noexcept
{
    const StepRow* table = Shared().table;
    const int item = static_cast<int>(draw.itemID);
    wchar_t text[256] = {};
    LVITEMW lv{};
    lv.mask = LVIF_IMAGE | LVIF_TEXT | LVIF_PARAM;
    lv.iItem = item;
    lv.pszText = text;
    lv.cchTextMax = 256;
    if (!SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lv)) || !table || lv.lParam < 0 ||
        lv.lParam >= RowCount(table))
        return;
    const StepRow& row = table[lv.lParam];

    LOGFONTW logFont{};
    ::GetObjectW(::GetCurrentObject(draw.hDC, OBJ_FONT), sizeof(logFont), &logFont);
    logFont.lfWeight = row.heading ? FW_BOLD : FW_NORMAL;
    CFont font;
    font.CreateFontIndirect(logFont);
    const HGDIOBJ previous = ::SelectObject(draw.hDC, font.GetSafeHandle());
    ::SetTextColor(draw.hDC, row.grey ? kGreyText : RGB(0, 0, 0));
    ::SetBkMode(draw.hDC, TRANSPARENT);

    RECT rect = draw.rcItem;
    rect.top += kTopMargin;
    int imageWidth = 16, imageHeight = 16;
    ImageList_GetIconSize(Shared().images.GetSafeHandle(), &imageWidth, &imageHeight);
    const int imageLeft = rect.left + (row.heading ? 0 : imageWidth);

    IMAGELISTDRAWPARAMS image{};
    image.cbSize = sizeof(image);
    image.himl = Shared().images.GetSafeHandle();
    image.i = lv.iImage;
    image.hdcDst = draw.hDC;
    image.x = imageLeft;
    image.y = rect.top;
    image.rgbBk = CLR_NONE;
    image.fStyle = ILD_TRANSPARENT;
    image.dwRop = SRCCOPY;
    ImageList_DrawIndirect(&image);

    rect.left = imageLeft + imageWidth + 2;
    ::DrawTextW(draw.hDC, text, -1, &rect, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::SelectObject(draw.hDC, previous);
}
