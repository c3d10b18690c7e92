// Every control a page template of the shipped English module must hold.
#include "L10nUtil.h"
#include "ResourceIds.h"
#include "UniqueResource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

namespace
{
using unique_hwnd = CUniqueResource<CHandleTraits<HWND, &::DestroyWindow>>;

// What a page does with a control decides its class and type style.
enum Kind { Text, Icon, Report, DropList, Push, Frame };
const struct { const wchar_t* className; LONG typeMask, type; } kKinds[] = {
    {L"Static", SS_TYPEMASK, SS_LEFT},     {L"Static", SS_TYPEMASK, SS_ICON},
    {WC_LISTVIEWW, LVS_TYPEMASK, LVS_REPORT}, {L"ComboBox", CBS_DROPDOWNLIST, CBS_DROPDOWNLIST},
    {L"Button", BS_TYPEMASK, BS_PUSHBUTTON}, {L"Button", BS_TYPEMASK, BS_GROUPBOX}};
struct Page { int dialog; int panel; std::vector<std::pair<int, Kind>> controls; }; // panel 0: exterior page
void PrintTo(const Page& page, std::ostream* out) { *out << "dialog " << page.dialog; }

// The numbers the pages use, written out: a changed #define must not pass unseen.
const Page kPages[] = {
    {IDD_WELCOME, 0, {{1000, Text}, {1001, Text}, {1002, Text}}},
    {IDD_MESSAGE, IDC_PANEL_MESSAGE, {{1029, Text}, {1030, Frame}, {1031, Text}}},
    {IDD_TASK_EXECUTION, IDC_PANEL_TASK_EXECUTION, {{1032, Report}, {1033, Text}}},
    {IDD_COMPLETION, 0, {{1003, Push}, {1004, Text}, {1005, Text}, {1008, Text}, {1010, Report}, {1012, Icon},
     {1014, Icon}, {1016, Icon}, {1018, Icon}, {1020, Text}, {1021, Text}, {1022, Text}, {1023, Text}}},
    {IDD_EVS_SELECT, IDC_PANEL_EVS_SELECT, {{1006, DropList}, {1007, Text}, {1009, Report}, {1011, Icon}, {1013, Icon},
     {1015, Icon}, {1017, Icon}, {1019, Text}, {1024, Text}, {1025, Text}, {1026, Text}, {1027, Text}, {1028, Text}}},
};

struct ResourceTest : ::testing::TestWithParam<Page>
{
    void SetUp() override { ASSERT_TRUE(_module); }
    unique_hmodule _module{L10nUtil::SelectModule(L"Korvelin", 0x0409)};
};
} // namespace

TEST_P(ResourceTest, HoldsEveryControlThePageUsesInsideItsArea)
{
    const Page& page = GetParam();
    ::InitCommonControls();
    unique_hwnd owner(::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
    const DLGPROC plain = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; };
    unique_hwnd dialog(::CreateDialogParamW(_module.get(), MAKEINTRESOURCEW(page.dialog), owner.get(), plain, 0));
    ASSERT_TRUE(dialog) << "error " << ::GetLastError();
    // The standard Wizard97 sizes, in dialog units. The page creates its step panel itself.
    RECT size{0, 0, 317, page.panel ? 143 : 193}, client{};
    ASSERT_TRUE(::MapDialogRect(dialog.get(), &size) && ::GetClientRect(dialog.get(), &client));
    EXPECT_TRUE(::EqualRect(&size, &client)) << client.right << " x " << client.bottom;
    EXPECT_TRUE(!page.panel || !::GetDlgItem(dialog.get(), page.panel)) << "a control takes the panel's id";
    // Interior pages give their left 164 pixels and the separator to the panel.
    const RECT area{page.panel ? 166 : 0, 0, client.right, client.bottom};

    for (const auto& [id, kind] : page.controls)
    {
        SCOPED_TRACE(testing::Message() << "control " << id);
        HWND window = ::GetDlgItem(dialog.get(), id);
        ASSERT_NE(nullptr, window);
        wchar_t className[64] = {};
        ::GetClassNameW(window, className, 64);
        EXPECT_EQ(0, ::_wcsicmp(kKinds[kind].className, className)) << "class " << testing::PrintToString(className);
        EXPECT_EQ(kKinds[kind].type, ::GetWindowLongW(window, GWL_STYLE) & kKinds[kind].typeMask);
        EXPECT_TRUE(kind != Icon || ::SendMessageW(window, STM_GETICON, 0, 0)) << "legend icon missing from the module";
        RECT rect{}, inside{};
        ::GetWindowRect(window, &rect);
        ::MapWindowPoints(nullptr, dialog.get(), reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_TRUE(::IntersectRect(&inside, &rect, &area) && ::EqualRect(&inside, &rect))
            << "at " << rect.left << "," << rect.top << " to " << rect.right << "," << rect.bottom;
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, ResourceTest, ::testing::ValuesIn(kPages));
