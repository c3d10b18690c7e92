// The shipped English module's pictures and page templates: every icon drawn
// at both list sizes, every bitmap at the size the sheet expects, and every
// control a page reaches by identifier, of the kind the page treats it as.
#include "../res/ResourceIds.h"
#include "L10nUtil.h"
#include "UniqueResource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ResourceTestTables
{
using unique_hwnd = CUniqueResource<CHandleTraits<HWND, &::DestroyWindow>>;
using unique_hicon = CUniqueResource<CHandleTraits<HICON, &::DestroyIcon>>;
using unique_hbitmap = CUniqueResource<CHandleTraits<HBITMAP, &::DeleteObject>>;

// What a page does with a control decides its class and type style.
enum Kind { Text, Icon, Report, DropList, Push, Frame };
struct KindRow { const wchar_t* className; LONG typeMask; LONG type; };
const KindRow kKinds[] = {
    {L"Static", SS_TYPEMASK, SS_LEFT},     {L"Static", SS_TYPEMASK, SS_ICON},
    {WC_LISTVIEWW, LVS_TYPEMASK, LVS_REPORT}, {L"ComboBox", CBS_DROPDOWNLIST, CBS_DROPDOWNLIST},
    {L"Button", BS_TYPEMASK, BS_PUSHBUTTON}, {L"Button", BS_TYPEMASK, BS_GROUPBOX}};

struct Control { int id; Kind kind; };
struct Page { int dialog; bool exterior; int panel; std::vector<Control> controls; };
void PrintTo(const Page& page, std::ostream* out) { *out << "dialog " << page.dialog; }

// The numbers the pages use, written out: a changed #define must not pass unseen.
const Page kPages[] = {
    {IDD_WELCOME, true, 0, {{1000, Text}, {1001, Text}, {1002, Text}}},
    {IDD_MESSAGE, false, IDC_PANEL_MESSAGE, {{1029, Text}, {1030, Frame}, {1031, Text}}},
    {IDD_TASK_EXECUTION, false, IDC_PANEL_TASK_EXECUTION, {{1032, Report}, {1033, Text}}},
    {IDD_COMPLETION, true, 0,
     {{1003, Push}, {1004, Text}, {1005, Text}, {1008, Text}, {1010, Report},
      {1012, Icon}, {1014, Icon}, {1016, Icon}, {1018, Icon}, {1020, Text},
      {1021, Text}, {1022, Text}, {1023, Text}}},
    {IDD_EVS_SELECT, false, IDC_PANEL_EVS_SELECT,
     {{1006, DropList}, {1007, Text}, {1009, Report}, {1011, Icon}, {1013, Icon},
      {1015, Icon}, {1017, Icon}, {1019, Text}, {1024, Text}, {1025, Text},
      {1026, Text}, {1027, Text}, {1028, Text}}},
};

// RT_GROUP_ICON and RT_ICON, spelled wide whatever the build's character set.
const LPCWSTR kGroupIconType = MAKEINTRESOURCEW(14);
const LPCWSTR kIconType = MAKEINTRESOURCEW(3);

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

class ResourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        _module.reset(L10nUtil::SelectModule(L"Korvelin", 0x0409));
        ASSERT_TRUE(_module);
    }
    unique_hmodule _module;
};

class PageTemplateTest : public ResourceTest, public ::testing::WithParamInterface<Page>
{
};
} // namespace ResourceTestTables

using namespace ResourceTestTables;

TEST_F(ResourceTest, EveryIconHasItsOwnImageAtBothListSizes)
{
    for (int id : {145, 146, 147, 148, 149, 150, 1112, 1113, 1114})
        for (int size : {16, 32})
        {
            SCOPED_TRACE(testing::Message() << "icon " << id << " at " << size);
            // LoadImage would scale another size: look for a real image of this one.
            HRSRC group = ::FindResourceW(_module.get(), MAKEINTRESOURCEW(id), kGroupIconType);
            ASSERT_NE(nullptr, group);
            auto* directory = static_cast<BYTE*>(::LockResource(::LoadResource(_module.get(), group)));
            const int imageId = ::LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
            HRSRC image = ::FindResourceW(_module.get(), MAKEINTRESOURCEW(imageId), kIconType);
            ASSERT_NE(nullptr, image);
            const auto* header =
                static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(_module.get(), image)));
            EXPECT_EQ(size, header->biWidth);
            EXPECT_EQ(32, header->biBitCount);

            unique_hicon icon(
                static_cast<HICON>(::LoadImageW(_module.get(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
            EXPECT_TRUE(icon);
        }
}

TEST_F(ResourceTest, BitmapsHaveTheSizesTheSheetAndPanelDrawThemAt)
{
    struct { int id; LONG width, height; } const bitmaps[] = {
        {IDB_WATERMARK, 164, 314}, {IDB_HEADER, 49, 49}, {IDB_PANEL_TILE, 164, 32}};
    for (const auto& expected : bitmaps)
    {
        SCOPED_TRACE(testing::Message() << "bitmap " << expected.id);
        unique_hbitmap bitmap(static_cast<HBITMAP>(
            ::LoadImageW(_module.get(), MAKEINTRESOURCEW(expected.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        ASSERT_TRUE(bitmap);
        BITMAP info{};
        ASSERT_NE(0, ::GetObjectW(bitmap.get(), sizeof info, &info));
        EXPECT_EQ(expected.width, info.bmWidth);
        EXPECT_EQ(expected.height, info.bmHeight);
        EXPECT_EQ(24, info.bmBitsPixel);
    }
}

TEST_P(PageTemplateTest, HoldsEveryControlThePageUsesInsideItsArea)
{
    const Page& page = GetParam();
    const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ASSERT_TRUE(::InitCommonControlsEx(&classes));
    unique_hwnd owner(::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr,
                                        nullptr));
    ASSERT_TRUE(owner);
    unique_hwnd dialog(
        ::CreateDialogParamW(_module.get(), MAKEINTRESOURCEW(page.dialog), owner.get(), PlainDialogProc, 0));
    ASSERT_TRUE(dialog) << "error " << ::GetLastError();

    // The standard Wizard97 sizes, in dialog units.
    RECT size{0, 0, 317, page.exterior ? 193 : 143};
    ASSERT_TRUE(::MapDialogRect(dialog.get(), &size));
    RECT client{};
    ::GetClientRect(dialog.get(), &client);
    EXPECT_EQ(size.right, client.right);
    EXPECT_EQ(size.bottom, client.bottom);
    // The step panel is created by the page: no template control may take its id.
    if (page.panel)
    {
        EXPECT_EQ(nullptr, ::GetDlgItem(dialog.get(), page.panel));
    }

    for (const Control& control : page.controls)
    {
        SCOPED_TRACE(testing::Message() << "control " << control.id);
        HWND window = ::GetDlgItem(dialog.get(), control.id);
        ASSERT_NE(nullptr, window);
        wchar_t className[64] = {};
        ::GetClassNameW(window, className, 64);
        const KindRow& kind = kKinds[control.kind];
        EXPECT_EQ(0, ::_wcsicmp(kind.className, className)) << "class " << testing::PrintToString(className);
        EXPECT_EQ(kind.type, ::GetWindowLongW(window, GWL_STYLE) & kind.typeMask);
        if (control.kind == Icon)
        {
            EXPECT_NE(0, ::SendMessageW(window, STM_GETICON, 0, 0)) << "legend icon missing from the module";
        }

        RECT rect{};
        ::GetWindowRect(window, &rect);
        ::MapWindowPoints(nullptr, dialog.get(), reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_GT(rect.right, rect.left);
        EXPECT_GT(rect.bottom, rect.top);
        EXPECT_LE(rect.right, client.right);
        EXPECT_LE(rect.bottom, client.bottom);
        // Interior pages give their left 164 pixels and the separator to the panel.
        if (!page.exterior)
        {
            EXPECT_GE(rect.left, 166);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, PageTemplateTest, ::testing::ValuesIn(kPages),
                         [](const testing::TestParamInfo<Page>& info)
                         { return "Dialog" + std::to_string(info.param.dialog); });
