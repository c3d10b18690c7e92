// CMessagePage: see MessagePage.h.
#include "MessagePage.h"

#include "ResourceIds.h"
#include "TarnwickSheet.h"

CMessagePage::CMessagePage() noexcept : CPanelPage(IDD_MESSAGE, IDC_PANEL_MESSAGE)
{
}

BOOL CMessagePage::OnSetActive()
{
    ActivatePanel(PassSteps());
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}
