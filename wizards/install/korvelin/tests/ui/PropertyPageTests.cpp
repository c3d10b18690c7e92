// The framework's page notifications on a real Wizard97 sheet: a page's
// controls reach its handlers, the sheet's own notifications do not.
#include "AfxSheet.h"

#include "L10nUtil.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "SheetHarness.h"
#include "WizardTestEnvironment.h"
#include "StringIds.h"

#include <gtest/gtest.h>

#include <atomic>

namespace
{
class CScriptedPage : public CPropertyPage
{
public:
    explicit CScriptedPage(UINT dialogId) noexcept : CPropertyPage(dialogId) {}

    std::atomic<UINT> command{0}, notification{0};
    std::atomic<bool> sheetCodeSeen{false};

protected:
    BOOL OnSetActive() override
    {
        GetParentSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH);
        return TRUE;
    }
    bool OnCommand(UINT controlId, UINT code, HWND) override
    {
        command = MAKELONG(controlId, code);
        return true;
    }
    bool OnControlNotify(const NMHDR& header, LRESULT& result) override
    {
        notification = header.code;
        sheetCodeSeen = sheetCodeSeen || (header.code <= PSN_FIRST && header.code >= PSN_LAST);
        result = 7;
        return true;
    }
};
} // namespace

// A page hears its own controls, and only them, through its handlers.
TEST(PropertyPageTests, ControlsReachTheirHandlersAndSheetNotificationsDoNot)
{
    CScopedResourceModule module(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    CScriptedPage page(IDD_COMPLETION);
    CSheetHarness<CPropertySheet> harness(IDS_SHEET_CAPTION, nullptr, 0, nullptr, nullptr);
    harness.GetSheet().AddPage(&page);
    harness.Run([&](HWND sheet) {
        ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_COMPLETION));
        const HWND dialog = ScriptedUser::CurrentPageWindow(sheet);
        ::SendMessageW(::GetDlgItem(dialog, IDC_COMPLETION_LOG), BM_CLICK, 0, 0);
        EXPECT_EQ(static_cast<UINT>(MAKELONG(IDC_COMPLETION_LOG, BN_CLICKED)), page.command.load());

        NMHDR fromControl{::GetDlgItem(dialog, IDC_COMPLETION_MATRIX), IDC_COMPLETION_MATRIX, NM_CLICK};
        EXPECT_TRUE(::SendMessageW(dialog, WM_NOTIFY, fromControl.idFrom, reinterpret_cast<LPARAM>(&fromControl)));
        EXPECT_EQ(7, ::GetWindowLongPtrW(dialog, DWLP_MSGRESULT)) << "the handler's result goes back";
        EXPECT_EQ(static_cast<UINT>(NM_CLICK), page.notification.load());
        ScriptedUser::PressButton(sheet, PSBTN_FINISH);
    });
    EXPECT_FALSE(page.sheetCodeSeen) << "the sheet's own notifications are not a control's";
}
