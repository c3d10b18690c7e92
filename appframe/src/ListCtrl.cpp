// CListCtrl and CComboBox: see AfxCtrl.h.
#include "AfxCtrl.h"

#include <vector>

bool CListCtrl::Create(DWORD style, const RECT& rect, HWND parent, UINT id) noexcept
{
    m_hWnd = ::CreateWindowExW(0, WC_LISTVIEWW, L"", style | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                               nullptr, nullptr);
    return m_hWnd != nullptr;
}

int CListCtrl::InsertColumn(int column, const std::wstring& heading, int format, int width) const noexcept
{
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    col.fmt = format;
    col.cx = width;
    col.iSubItem = column;
    col.pszText = const_cast<wchar_t*>(heading.c_str());
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::InsertItem(int index, const std::wstring& text, int image, LPARAM data) const noexcept
{
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.iImage = image;
    item.lParam = data;
    return ListView_InsertItem(m_hWnd, &item);
}

bool CListCtrl::SetItemText(int item, int subItem, const std::wstring& text) const noexcept
{
    LVITEMW lv{};
    lv.iSubItem = subItem;
    lv.pszText = const_cast<wchar_t*>(text.c_str());
    return SendMessage(LVM_SETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lv)) != 0;
}

bool CListCtrl::SetItemImage(int item, int subItem, int image) const noexcept
{
    LVITEMW lv{};
    lv.mask = LVIF_IMAGE;
    lv.iItem = item;
    lv.iSubItem = subItem;
    lv.iImage = image;
    return ListView_SetItem(m_hWnd, &lv) != FALSE;
}

bool CListCtrl::SetItemIndent(int item, int indent) const noexcept
{
    LVITEMW lv{};
    lv.mask = LVIF_INDENT;
    lv.iItem = item;
    lv.iIndent = indent;
    return ListView_SetItem(m_hWnd, &lv) != FALSE;
}

std::wstring CListCtrl::GetItemText(int item, int subItem) const
{
    // The list copies at most the buffer less its terminator: a text that
    // fills it may be longer, so ask again with room to spare.
    for (size_t size = 256;; size *= 2)
    {
        std::vector<wchar_t> buffer(size);
        LVITEMW lv{};
        lv.iSubItem = subItem;
        lv.pszText = buffer.data();
        lv.cchTextMax = static_cast<int>(buffer.size());
        const size_t length = static_cast<size_t>(SendMessage(LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lv)));
        if (length + 1 < size)
            return std::wstring(buffer.data(), length);
    }
}

std::wstring CComboBox::GetLBText(int index) const
{
    const LRESULT length = SendMessage(CB_GETLBTEXTLEN, index);
    if (length < 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessage(CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}
