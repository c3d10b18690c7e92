// CTaskExecutionPage: see TaskExecutionPage.h.
#include "TaskExecutionPage.h"

#include "ResourceIds.h"
#include "TarnwickSheet.h"

CTaskExecutionPage::CTaskExecutionPage() noexcept : CPanelPage(IDD_TASK_EXECUTION, IDC_PANEL_TASK_EXECUTION)
{
}

BOOL CTaskExecutionPage::OnSetActive()
{
    ActivatePanel(PassSteps());
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}
