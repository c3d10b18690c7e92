// The framework's page notifications: what each return value of a page's
// method does to a real Wizard97 sheet.
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

    std::atomic<LRESULT> next{0};
    std::atomic<BOOL> finish{TRUE};
    std::atomic<BOOL> show{TRUE};
    std::atomic<BOOL> leave{TRUE};

protected:
    BOOL OnSetActive() override
    {
        GetParentSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT | PSWIZB_FINISH);
        return show;
    }
    BOOL OnKillActive() override { return leave; }
    LRESULT OnWizardNext() override { return next; }
    BOOL OnWizardFinish() override { return finish; }
};
} // namespace

TEST(PropertyPageTests, NextStaysJumpsAndFinishKeepsOrCloses)
{
    CScopedResourceModule module(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    CScriptedPage first(IDD_WELCOME), second(IDD_EVS_SELECT), third(IDD_COMPLETION);
    CSheetHarness<CPropertySheet> harness(IDS_SHEET_CAPTION, nullptr, 0, nullptr, nullptr);
    for (CScriptedPage* page : {&first, &second, &third})
        harness.GetSheet().AddPage(page);
    EXPECT_EQ(-1, harness.GetSheet().GetActiveIndex()) << "not shown yet";

    const INT_PTR result = harness.Run([&](HWND sheet) {
        ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_WELCOME));
        first.next = -1;
        ScriptedUser::PressButton(sheet, PSBTN_NEXT);
        ASSERT_TRUE(harness.Settle(sheet));
        EXPECT_EQ(IDD_WELCOME, ScriptedUser::CurrentPage(sheet)) << "-1 stays";

        first.next = 0;
        first.leave = FALSE;
        ScriptedUser::PressButton(sheet, PSBTN_NEXT);
        ASSERT_TRUE(harness.Settle(sheet));
        EXPECT_EQ(IDD_WELCOME, ScriptedUser::CurrentPage(sheet)) << "a page that refuses to be left stays";
        first.leave = TRUE;

        first.next = IDD_COMPLETION;
        ScriptedUser::PressButton(sheet, PSBTN_NEXT);
        ASSERT_TRUE(harness.Settle(sheet));
        EXPECT_EQ(IDD_COMPLETION, ScriptedUser::CurrentPage(sheet)) << "a dialog id jumps over the page between";
        EXPECT_EQ(2, harness.GetSheet().GetActiveIndex());

        third.finish = FALSE;
        ScriptedUser::PressButton(sheet, PSBTN_FINISH);
        ASSERT_TRUE(harness.Settle(sheet));
        EXPECT_EQ(IDD_COMPLETION, ScriptedUser::CurrentPage(sheet)) << "FALSE from OnWizardFinish keeps the sheet open";
        third.finish = TRUE;
        ScriptedUser::PressButton(sheet, PSBTN_FINISH);
    });
    EXPECT_GT(result, 0) << "Finish ends the sheet with a positive result";
}
