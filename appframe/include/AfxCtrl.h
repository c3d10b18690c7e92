// Thin wrappers of the controls the wizard's pages use. They do not own the
// window: a control lives as long as its dialog.
#pragma once

#include "AfxWin.h"

#include <commctrl.h>

#include <string>

class CStatic : public CWnd
{
};

class CComboBox : public CWnd
{
public:
    int AddString(const std::wstring& text) const noexcept
    {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    }
    int GetCurSel() const noexcept { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) const noexcept { return static_cast<int>(SendMessage(CB_SETCURSEL, index)); }
    int GetCount() const noexcept { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    void ResetContent() const noexcept { SendMessage(CB_RESETCONTENT); }
    std::wstring GetLBText(int index) const;
};

class CListCtrl : public CWnd
{
public:
    // A list view child of parent; false when the window could not be made.
    bool Create(DWORD style, const RECT& rect, HWND parent, UINT id) noexcept;

    int InsertColumn(int column, const std::wstring& heading, int format, int width) const noexcept;
    // Index of the new item, -1 on failure.
    int InsertItem(int index, const std::wstring& text, int image, LPARAM data = 0) const noexcept;
    bool SetItemText(int item, int subItem, const std::wstring& text) const noexcept;
    bool SetItemImage(int item, int subItem, int image) const noexcept;
    bool SetItemIndent(int item, int indent) const noexcept;
    std::wstring GetItemText(int item, int subItem) const;
    int GetItemCount() const noexcept { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    bool DeleteAllItems() const noexcept { return SendMessage(LVM_DELETEALLITEMS) != 0; }
    void SetImageList(HIMAGELIST list, int kind) const noexcept
    {
        SendMessage(LVM_SETIMAGELIST, kind, reinterpret_cast<LPARAM>(list));
    }
    void SetExtendedStyle(DWORD style) const noexcept { SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, style, style); }
};
