// CMessagePage: see MessagePage.h.
#include "MessagePage.h"

#include "ResourceIds.h"
#include "TarnwickSheet.h"

CMessagePage::CMessagePage(CTarnwickApp& app) noexcept : CPanelPage(IDD_MESSAGE, IDC_PANEL_MESSAGE, app)
{
}

BOOL CMessagePage::OnActivatePage()
{
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}
