// CEVSSelectPage: see EVSSelectPage.h.
#include "EVSSelectPage.h"

#include "ResourceIds.h"
#include "TarnwickSheet.h"

CEVSSelectPage::CEVSSelectPage(CTarnwickApp& app) noexcept : CPanelPage(IDD_EVS_SELECT, IDC_PANEL_EVS_SELECT, app)
{
}

BOOL CEVSSelectPage::OnActivatePage()
{
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}
