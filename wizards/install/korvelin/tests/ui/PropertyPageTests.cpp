// The framework's page notifications: what each return value of a page's
// method does to a real Wizard97 sheet.
#include "AfxSheet.h"

#include "L10nUtil.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "WizardTestEnvironment.h"
#include "StringIds.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
constexpr DWORD kTimeoutMs = 15000;

class CScriptedPage : public CPropertyPage
{
public:
    explicit CScriptedPage(UINT dialogId) noexcept : CPropertyPage(dialogId) {}

    std::atomic<LRESULT> next{0};
    std::atomic<BOOL> finish{TRUE};
    std::atomic<BOOL> show{TRUE};

protected:
    BOOL OnSetActive() override
    {
        GetParentSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH);
        return show;
    }
    LRESULT OnWizardNext() override { return next; }
    BOOL OnWizardFinish() override { return finish; }
};
} // namespace

TEST(PropertyPageTests, NextStaysJumpsAndFinishKeepsOrCloses)
{
    CScopedResourceModule module(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    CScriptedPage first(IDD_WELCOME), second(IDD_EVS_SELECT), third(IDD_COMPLETION);
    CPropertySheet sheet(IDS_SHEET_CAPTION, nullptr, 0, nullptr, nullptr);
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    sheet.AddPage(&third);

    int afterStay = 0, afterJump = 0, afterRefusedFinish = 0;
    std::thread user([&] {
        for (int i = 0; i < 500 && !sheet.m_hWnd; ++i)
            ::Sleep(10);
        HWND window = sheet.m_hWnd;
        if (!ScriptedUser::WaitForPage(window, IDD_WELCOME, kTimeoutMs))
            return;
        first.next = -1;
        ScriptedUser::PressButton(window, PSBTN_NEXT);
        ::Sleep(200);
        afterStay = ScriptedUser::CurrentPage(window);

        first.next = IDD_COMPLETION;
        ScriptedUser::PressButton(window, PSBTN_NEXT);
        ScriptedUser::WaitForPage(window, IDD_COMPLETION, kTimeoutMs);
        afterJump = ScriptedUser::CurrentPage(window);

        third.finish = FALSE;
        ScriptedUser::PressButton(window, PSBTN_FINISH);
        ::Sleep(200);
        afterRefusedFinish = ::IsWindow(window) ? ScriptedUser::CurrentPage(window) : 0;
        third.finish = TRUE;
        ScriptedUser::PressButton(window, PSBTN_FINISH);
    });
    const INT_PTR result = sheet.DoModal();
    user.join();

    EXPECT_EQ(IDD_WELCOME, afterStay) << "-1 stays";
    EXPECT_EQ(IDD_COMPLETION, afterJump) << "a dialog id jumps over the page between";
    EXPECT_EQ(IDD_COMPLETION, afterRefusedFinish) << "FALSE from OnWizardFinish keeps the sheet open";
    EXPECT_GT(result, 0) << "Finish ends the sheet with a positive result";
}
