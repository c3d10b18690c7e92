// CCompletionPage: see CompletionPage.h.
#include "CompletionPage.h"

#include "ResourceIds.h"
#include "TarnwickSheet.h"

CCompletionPage::CCompletionPage(CTarnwickApp& app) noexcept : CTarnwickPage(IDD_COMPLETION, app)
{
    m_psp.dwFlags |= PSP_HIDEHEADER;
}

BOOL CCompletionPage::OnInitDialog()
{
    if (HFONT bold = GetSheet()->GetBoldFont().GetSafeHandle())
        ::SendDlgItemMessageW(m_hWnd, IDC_COMPLETION_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
    return TRUE;
}

BOOL CCompletionPage::OnSetActive()
{
    GetSheet()->SetWizardButtons(PSWIZB_FINISH);
    return TRUE;
}
