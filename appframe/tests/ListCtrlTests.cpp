// The list control over a real list view: texts of any length, and what the
// setters report.
#include "AfxCtrl.h"

#include <gtest/gtest.h>

#include <commctrl.h>

TEST(ListCtrlTests, TextsOfAnyLengthAndRefusedSetters)
{
    const HWND window = ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 300, 200, nullptr,
                                          nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    CListCtrl list;
    list.Attach(window);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    ::SendMessageW(window, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    ::SendMessageW(window, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    ASSERT_EQ(0, list.InsertItem(0, L"first", 0, 0));

    for (const size_t length : {size_t(0), size_t(255), size_t(256), size_t(1023), size_t(1500)})
    {
        const std::wstring text(length, L'x');
        EXPECT_TRUE(list.SetItemText(0, 1, text));
        EXPECT_EQ(text, list.GetItemText(0, 1)) << length << " characters";
    }
    EXPECT_FALSE(list.SetItemText(4, 0, L"no such item"));
    EXPECT_FALSE(list.SetItemImage(4, 0, 1));
    list.Attach(nullptr);
    ::DestroyWindow(window);
}
