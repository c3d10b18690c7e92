// CTaskExecutionPage: see TaskExecutionPage.h.
#include "TaskExecutionPage.h"

#include "ResourceIds.h"
#include "TarnwickSheet.h"

CTaskExecutionPage::CTaskExecutionPage(CTarnwickApp& app) noexcept
    : CPanelPage(IDD_TASK_EXECUTION, IDC_PANEL_TASK_EXECUTION, app)
{
}

BOOL CTaskExecutionPage::OnActivatePage()
{
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}
