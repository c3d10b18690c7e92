// CWelcomePage: see WelcomePage.h.
#include "WelcomePage.h"

#include "ClusterDiscovery.h"
#include "FunctionLog.h"
#include "PageRoute.h"
#include "ResourceIds.h"
#include "Tarnwick.h"
#include "TarnwickSheet.h"

bool CWelcomePage::s_apiPending = true;

CWelcomePage::CWelcomePage(CTarnwickApp& app) noexcept : CTarnwickPage(IDD_WELCOME, app)
{
    m_psp.dwFlags |= PSP_HIDEHEADER;
}

BOOL CWelcomePage::OnInitDialog()
{
    _InitializeObjectsForApplication();
    return TRUE;
}

void CWelcomePage::_InitializeObjectsForApplication() noexcept
{
    CTarnwickSheet* sheet = GetSheet();
    sheet->SetWindowText(AfxLoadString(IDS_SHEET_CAPTION));
    sheet->CreateBoldFont();
    if (HFONT bold = sheet->GetBoldFont().GetSafeHandle())
        ::SendDlgItemMessageW(m_hWnd, IDC_WELCOME_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
}

BOOL CWelcomePage::OnSetActive()
{
    GetSheet()->SetWizardButtons(PSWIZB_NEXT);
    SetDlgItemText(IDC_WELCOME_TEXT, AfxLoadString(IDS_WELCOME_TEXT));
    return TRUE;
}

LRESULT CWelcomePage::OnWizardNext()
{
    KV_LOG_FUNCTION();
    const CWaitCursor wait;
    bool failed = false;
    if (CClusterDiscovery::IsSkipSet())
        App().m_skipDiscovery = 1;
    else if (_DiscoverCluster().IsFailed())
    {
        App().m_upgradeFailed = 1;
        failed = true;
    }
    return CPageRoute::AfterWelcome(failed);
}

CStatus CWelcomePage::_DiscoverCluster() noexcept
{
    KV_LOG_FUNCTION();
    return CClusterDiscovery::Discover(App().m_cluster, s_apiPending, CClusterDiscovery::kRetryOrCancel, kvLog_);
}
