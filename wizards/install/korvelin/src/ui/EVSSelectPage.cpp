// CEVSSelectPage: see EVSSelectPage.h.
#include "EVSSelectPage.h"

#include "ResourceIds.h"
#include "TarnwickSheet.h"

CEVSSelectPage::CEVSSelectPage() noexcept : CPanelPage(IDD_EVS_SELECT, IDC_PANEL_EVS_SELECT)
{
}

BOOL CEVSSelectPage::OnSetActive()
{
    // Selection happens in the first pass only.
    ActivatePanel(kFirstPassSteps);
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}
