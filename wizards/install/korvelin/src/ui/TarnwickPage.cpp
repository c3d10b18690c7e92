// CTarnwickPage and CPanelPage: see TarnwickPage.h.
#include "TarnwickPage.h"

#include "FunctionLog.h"
#include "MessageCatalogue.h"
#include "StringIds.h"
#include "Tarnwick.h"
#include "TarnwickSheet.h"
#include "Util.h"

CTarnwickPage::CTarnwickPage(UINT dialogId, CTarnwickApp& app) noexcept : CPropertyPage(dialogId), _app(app)
{
    m_psp.dwFlags &= ~PSP_HASHELP;
}

CTarnwickSheet* CTarnwickPage::GetSheet() const noexcept
{
    return static_cast<CTarnwickSheet*>(GetParentSheet());
}

BOOL CTarnwickPage::OnQueryCancel()
{
    return GetSheet()->DisplayCancelConfirm();
}

BOOL CTarnwickPage::OnWizardFinish()
{
    KV_LOG_FUNCTION_AS(L"OnWizardFinish");
    if (_app.m_rebootNeeded)
    {
        if (CMessageCatalogue::Show(MSG_WARNING, MB_YESNO | MB_ICONWARNING, IDS_RESTART_QUESTION) == IDYES)
        {
            KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_RESTART_CHOSEN);
            if (const CStatus reboot = CUtil::RebootNode(nullptr); reboot.IsFailed())
            {
                // The wizard closes either way: the administrator must know
                // the node still waits for its restart.
                KV_LOG_FAILED(L"CUtil::RebootNode()", reboot);
                (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_RESTART_FAILED);
            }
        }
        else
        {
            KV_LOG_MESSAGE(LOG_WARNING, IDS_LOG_RESTART_DECLINED);
        }
    }
    return CPropertyPage::OnWizardFinish();
}

void CTarnwickPage::SetButtonTexts() const noexcept
{
    const CTarnwickSheet* sheet = GetSheet();
    sheet->SetDlgItemText(ID_WIZNEXT, AfxLoadString(IDS_BUTTON_NEXT));
    sheet->SetDlgItemText(ID_WIZBACK, AfxLoadString(IDS_BUTTON_BACK));
    sheet->SetDlgItemText(IDCANCEL, AfxLoadString(IDS_BUTTON_CANCEL));
}

CPanelPage::CPanelPage(UINT dialogId, UINT panelId, CTarnwickApp& app) noexcept
    : CTarnwickPage(dialogId, app), _panelId(panelId)
{
}

BOOL CPanelPage::OnInitDialog()
{
    if (m_panel.Create(m_hWnd, _panelId))
        m_panel.Initialise();
    return OnInitPage();
}

BOOL CPanelPage::OnSetActive()
{
    CLHSPanel::SetStepTable(StepTable());
    m_panel.Layout(GetSheet()->m_hWnd, m_hWnd);
    m_panel.SetPageId(static_cast<int>(GetDialogId()));
    m_panel.Update(m_panel.FindStep());
    return OnActivatePage();
}

bool CPanelPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_MEASUREITEM && wParam == _panelId)
    {
        CLHSPanel::MeasureItem(m_hWnd, *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    if (message == WM_DRAWITEM && wParam == _panelId)
    {
        m_panel.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    return OnPageMessage(message, wParam, lParam, result);
}

bool CPanelPage::OnPageMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

const StepRow* CPanelPage::StepTable() const noexcept
{
    return App().IsSecondPass() ? kSecondPassSteps : kFirstPassSteps;
}
