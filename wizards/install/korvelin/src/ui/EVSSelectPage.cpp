// CEVSSelectPage: see EVSSelectPage.h.
#include "EVSSelectPage.h"

#include "EVSLists.h"
#include "ExchRegistry.h"
#include "FunctionLog.h"
#include "LibLogger.h"
#include "LibVirtualName.h"
#include "MessageCatalogue.h"
#include "PageRoute.h"
#include "ResourceIds.h"
#include "Tarnwick.h"
#include "TarnwickSheet.h"
#include "UpgradeMatrix.h"
#include "Util.h"

namespace
{
constexpr int kLegend[] = {IDC_EVS_LABEL_UPGRADED,      IDC_EVS_LABEL_PARTIALLY_UPGRADED, IDC_EVS_LABEL_NOT_UPGRADED,
                           IDC_EVS_LABEL_NOT_CONFIGURED, IDC_EVS_ICON_UPGRADED,            IDC_EVS_ICON_PARTIALLY_UPGRADED,
                           IDC_EVS_ICON_NOT_UPGRADED,   IDC_EVS_ICON_NOT_CONFIGURED,      IDC_EVS_CAPTION,
                           IDC_EVS_MATRIX};
} // namespace

CEVSSelectPage::CEVSSelectPage(CTarnwickApp& app) noexcept : CPanelPage(IDD_EVS_SELECT, IDC_PANEL_EVS_SELECT, app)
{
}

BOOL CEVSSelectPage::OnInitPage()
{
    m_evsList.Attach(GetDlgItem(IDC_EVS_LIST));
    m_matrix.SubclassDlgItem(m_hWnd, IDC_EVS_MATRIX);
    return TRUE;
}

BOOL CEVSSelectPage::OnActivatePage()
{
    KV_LOG_FUNCTION();
    CTarnwickSheet* sheet = GetSheet();
    sheet->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    sheet->SetHeaderTitle(CTarnwickSheet::kSelectIndex, AfxLoadString(IDS_SELECT_TITLE));
    sheet->SetHeaderSubTitle(CTarnwickSheet::kSelectIndex, AfxLoadString(IDS_SELECT_SUBTITLE));
    if (const CStatus populated = _PopulateEVS(); populated.IsFailed())
        KV_LOG_FAILED(L"CEVSSelectPage::_PopulateEVS()", populated);
    else if (App().m_skipDiscovery)
        CUpgradeMatrix::ShowWithLegend(m_hWnd, kLegend, false);
    else
    {
        CUpgradeMatrix::ShowWithLegend(m_hWnd, kLegend, true);
        SetDlgItemText(IDC_EVS_CAPTION, AfxLoadString(IDS_MATRIX_CAPTION));
        CUpgradeMatrix::Build(m_matrix, App(), [](const CSystem& system) { return system.computerName; });
    }
    SetDlgItemText(IDC_EVS_STATUS, std::wstring());
    ::ShowWindow(GetDlgItem(IDC_EVS_NOTE), SW_HIDE);
    return TRUE;
}

CStatus CEVSSelectPage::_PopulateEVS() noexcept
{
    KV_LOG_FUNCTION();
    CTarnwickApp& app = App();
    m_evsList.ResetContent();
    CEVSLists lists;
    try
    {
        for (const auto& evs : app.m_config.evsList)
        {
            if (const CStatus dated = CUtil::GetEVSVersionFromAD(evs->name, evs->version); dated.IsFailed())
            {
                KV_LOG_FAILED(L"CUtil::GetEVSVersionFromAD()", dated);
                KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_INFORMATION, evs->name.c_str());
                evs->version = CUtil::kOtherVersion;
            }
            if (lists.Add(evs->name, evs->version, evs->systemCount, app.m_versions))
                KV_LOG_TEXT(LOG_INFO, IDS_LOG_INFORMATION,
                            L"%s with base version (or SP1) has only one node in its system list.", evs->name.c_str());
        }
        bool ignoreVersion = false;
        (void)CUtil::IsSkipValueSet(CExchRegistry::kIgnoreExchVersion, ignoreVersion);
        for (const std::wstring& name : lists.Offered(ignoreVersion))
            m_evsList.AddString(name);
    }
    catch (const std::bad_alloc&)
    {
        return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    m_evsList.SetCurSel(0);
    return CStatus::Success();
}

LRESULT CEVSSelectPage::OnWizardNext()
{
    KV_LOG_FUNCTION();
    // Every way out empties the status text, then gives the cursor back.
    const CWaitCursor wait;
    const struct StatusReset
    {
        HWND status;
        ~StatusReset() { ::SetWindowTextW(status, L""); }
    } statusReset{GetDlgItem(IDC_EVS_STATUS)};

    CTarnwickApp& app = App();
    const int selected = m_evsList.GetCurSel();
    if (selected < 0)
    {
        (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_NO_EVS_SELECTED);
        return kStayOnPage;
    }
    try
    {
        app.m_selectedEVS = m_evsList.GetLBText(selected);
    }
    catch (...)
    {
        return kStayOnPage;
    }
    const wchar_t* name = app.m_selectedEVS.c_str();

    VLibVirtualName virtualName;
    if (const CStatus init = virtualName.Init(name); init.IsFailed())
    {
        VLibThreadLogQueue::Global().Dump();
        KV_LOG_FAILED(L"VLibVirtualName::Init()", init);
        (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_NAME_CHECK_SETUP_FAILED);
        return kStayOnPage;
    }
    SetDlgItemText(IDC_EVS_STATUS, AfxLoadString(IDS_NAME_CHECK_RUNNING));
    ::UpdateWindow(statusReset.status);
    bool exists = false;
    if (const CStatus checked = virtualName.IsExistInNetwork(exists); checked.IsFailed())
    {
        VLibThreadLogQueue::Global().Dump();
        KV_LOG_FAILED(L"VLibVirtualName::IsExistInNetwork()", checked);
        (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_NAME_CHECK_FAILED);
        return kStayOnPage;
    }
    if (exists)
    {
        VLibThreadLogQueue::Global().Dump();
        KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_NAME_IN_USE, name);
        bool online = false;
        std::string group, system;
        if (const CStatus found = CUtil::IsExchSGOnlineInLocalCluster(app.m_cluster.handle, app.m_selectedEVS, online,
                                                                      group, system);
            found.IsFailed())
        {
            KV_LOG_FAILED(L"CUtil::IsExchSGOnlineInLocalCluster()", found);
            online = false;
        }
        if (!online)
        {
            (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_NAME_IN_USE_ELSEWHERE);
            return kStayOnPage;
        }
        if (CMessageCatalogue::Show(MSG_ERROR, MB_YESNO | MB_ICONERROR, IDS_EVS_ONLINE_TAKE_OFFLINE, name) != IDYES)
            return kStayOnPage;
        if (const CStatus offline = CUtil::OfflineServiceGrp(app.m_cluster.handle, group, system); offline.IsFailed())
        {
            KV_LOG_FAILED(L"CUtil::OfflineExchangeServiceGrp()", offline);
            (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_OFFLINE_FAILED);
            return kStayOnPage;
        }
    }
    // The confirmation names no computer: the text reads the same here and
    // on the message page, which passes the saved name along.
    const int answer = CMessageCatalogue::Show(MSG_WARNING, MB_YESNO | MB_ICONWARNING, IDS_CONFIRM_CHANGES);
    return CPageRoute::AfterConfirmation(answer);
}
