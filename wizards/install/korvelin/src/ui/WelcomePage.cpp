// CWelcomePage: see WelcomePage.h.
#include "WelcomePage.h"

#include "ResourceIds.h"
#include "TarnwickSheet.h"

CWelcomePage::CWelcomePage(CTarnwickApp& app) noexcept : CTarnwickPage(IDD_WELCOME, app)
{
    m_psp.dwFlags |= PSP_HIDEHEADER;
}

BOOL CWelcomePage::OnInitDialog()
{
    GetSheet()->CreateBoldFont();
    if (HFONT bold = GetSheet()->GetBoldFont().GetSafeHandle())
        ::SendDlgItemMessageW(m_hWnd, IDC_WELCOME_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
    return TRUE;
}

BOOL CWelcomePage::OnSetActive()
{
    GetSheet()->SetWizardButtons(PSWIZB_NEXT);
    return TRUE;
}
