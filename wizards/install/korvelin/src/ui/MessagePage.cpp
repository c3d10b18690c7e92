// CMessagePage: see MessagePage.h.
#include "MessagePage.h"

#include "ClusterDiscovery.h"
#include "FunctionLog.h"
#include "MessageCatalogue.h"
#include "PageRoute.h"
#include "ResourceIds.h"
#include "Tarnwick.h"
#include "TarnwickSheet.h"
#include "Util.h"

bool CMessagePage::s_apiPending = true;

CMessagePage::CMessagePage(CTarnwickApp& app) noexcept : CPanelPage(IDD_MESSAGE, IDC_PANEL_MESSAGE, app)
{
}

BOOL CMessagePage::OnInitPage()
{
    GetSheet()->SetWindowText(AfxLoadString(IDS_SHEET_CAPTION));
    return TRUE;
}

BOOL CMessagePage::OnActivatePage()
{
    SetButtonTexts();
    if (App().IsSecondPass())
        _ShowSecondPassFace();
    else
        _ShowFirstPassFace();
    return TRUE;
}

void CMessagePage::_ShowFirstPassFace() noexcept
{
    CTarnwickSheet* sheet = GetSheet();
    ::ShowWindow(GetDlgItem(IDC_MESSAGE_NOTE_FRAME), SW_SHOW);
    ::ShowWindow(GetDlgItem(IDC_MESSAGE_FIRST_TEXT), SW_SHOW);
    sheet->SetHeaderTitle(CTarnwickSheet::kMessageIndex, AfxLoadString(IDS_NODE_READY_TITLE));
    sheet->SetHeaderSubTitle(CTarnwickSheet::kMessageIndex, AfxLoadString(IDS_NODE_READY_SUBTITLE));
    SetDlgItemText(IDC_MESSAGE_SECOND_TEXT, AfxLoadString(IDS_NODE_READY_TEXT));
    SetDlgItemText(IDC_MESSAGE_FIRST_TEXT, AfxLoadString(IDS_KEEP_OFFLINE_NOTE));
    sheet->SetWizardButtons(PSWIZB_FINISH);
    sheet->SetFinishText(AfxLoadString(IDS_BUTTON_FINISH));
    // The node is half-way: the only way on is to finish and restart.
    ::EnableWindow(sheet->GetDlgItem(IDCANCEL), FALSE);
}

void CMessagePage::_ShowSecondPassFace() noexcept
{
    CTarnwickSheet* sheet = GetSheet();
    ::ShowWindow(GetDlgItem(IDC_MESSAGE_NOTE_FRAME), SW_HIDE);
    ::ShowWindow(GetDlgItem(IDC_MESSAGE_FIRST_TEXT), SW_HIDE);
    const bool upgraded = App().m_installedVersion == static_cast<uint32_t>(App().m_versions.upgradeVersion.code);
    sheet->SetHeaderTitle(CTarnwickSheet::kMessageIndex,
                          AfxLoadString(upgraded ? IDS_UPGRADE_DETECTED_TITLE : IDS_RUN_SETUP_TITLE));
    sheet->SetHeaderSubTitle(CTarnwickSheet::kMessageIndex,
                             AfxLoadString(upgraded ? IDS_UPGRADE_DETECTED_SUBTITLE : IDS_RUN_SETUP_SUBTITLE));
    SetDlgItemText(IDC_MESSAGE_SECOND_TEXT, AfxLoadString(upgraded ? IDS_UPGRADE_DETECTED_TEXT : IDS_RUN_SETUP_TEXT));
    if (!upgraded)
        sheet->SetDlgItemText(ID_WIZNEXT, AfxLoadString(IDS_BUTTON_VERIFY));
    sheet->SetWizardButtons(PSWIZB_NEXT);
}

LRESULT CMessagePage::OnWizardNext()
{
    KV_LOG_FUNCTION();
    CTarnwickApp& app = App();
    if (app.IsSecondPass())
    {
        const CWaitCursor wait;
        if (const CStatus read = CUtil::GetExchangeVersion(L"localhost", app.m_installedVersion); read.IsFailed())
        {
            KV_LOG_FAILED(L"CUtil::GetExchangeVersion()", read);
            (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_EXCHANGE_CHECK_FAILED);
            return kStayOnPage;
        }
        const int32_t installed = static_cast<int32_t>(app.m_installedVersion);
        if (CUtil::IsVersionCodeInList(app.m_versions.toUpgrade, installed))
        {
            (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_NOT_UPGRADED_YET);
            return kStayOnPage;
        }
        // Discovery only feeds the last page's summary: its failure hides
        // the summary and the upgrade goes on.
        if (installed == app.m_versions.upgradeVersion.code)
        {
            if (CClusterDiscovery::IsSkipSet())
                app.m_skipDiscovery = 1;
            else if (const CStatus discovered = _DiscoverCluster(); discovered.IsFailed())
            {
                app.m_discoveryFailed = 1;
                KV_LOG_FAILED(L"CMessagePage::_DiscoverCluster()", discovered);
                KV_LOG_TEXT(LOG_ERROR, IDS_LOG_INFORMATION,
                            L"Cluster Discovery Failed. So upgrade summary will not be shown on final page.");
            }
            else
                app.m_discoveryFailed = 0;
        }
    }
    const int answer = CMessageCatalogue::Show(MSG_WARNING, MB_YESNO | MB_ICONWARNING, IDS_CONFIRM_CHANGES,
                                               app.m_config.orgCompName.c_str());
    return CPageRoute::AfterConfirmation(answer);
}

CStatus CMessagePage::_DiscoverCluster() noexcept
{
    KV_LOG_FUNCTION();
    return CClusterDiscovery::Discover(App().m_cluster, s_apiPending, CClusterDiscovery::kYesOrNo, kvLog_);
}
