// CPropertyPage: see AfxSheet.h.
#include "AfxSheet.h"

CPropertyPage::CPropertyPage(UINT dialogId) noexcept : m_psp{}, _dialogId(dialogId)
{
    m_psp.dwSize = sizeof(m_psp);
    m_psp.dwFlags = PSP_DEFAULT;
    m_psp.pszTemplate = MAKEINTRESOURCEW(dialogId);
    m_psp.pfnDlgProc = &_DialogProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

BOOL CPropertyPage::OnInitDialog()
{
    return TRUE;
}

BOOL CPropertyPage::OnSetActive()
{
    return TRUE;
}

BOOL CPropertyPage::OnKillActive()
{
    return TRUE;
}

LRESULT CPropertyPage::OnWizardNext()
{
    return 0;
}

LRESULT CPropertyPage::OnWizardBack()
{
    return 0;
}

BOOL CPropertyPage::OnWizardFinish()
{
    return TRUE;
}

BOOL CPropertyPage::OnQueryCancel()
{
    return TRUE;
}

bool CPropertyPage::OnCommand(UINT, UINT, HWND)
{
    return false;
}

bool CPropertyPage::OnControlNotify(const NMHDR&, LRESULT&)
{
    return false;
}

bool CPropertyPage::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

bool CPropertyPage::_OnNotify(const NMHDR& header, LRESULT& result)
{
    // Only the sheet's notifications are PSN_* codes; a control's go to its handler.
    if (_sheet && header.hwndFrom != _sheet->m_hWnd)
        return OnControlNotify(header, result);
    switch (header.code)
    {
    case PSN_SETACTIVE:
        result = OnSetActive() ? 0 : -1;
        return true;
    case PSN_KILLACTIVE:
        result = OnKillActive() ? FALSE : TRUE;
        return true;
    case PSN_WIZNEXT:
        result = OnWizardNext();
        return true;
    case PSN_WIZBACK:
        result = OnWizardBack();
        return true;
    case PSN_WIZFINISH:
        result = OnWizardFinish() ? FALSE : TRUE;
        return true;
    case PSN_QUERYCANCEL:
        result = OnQueryCancel() ? FALSE : TRUE;
        return true;
    default:
        return false;
    }
}

namespace
{
// What a notification answers when its handler failed: stay where we are.
LRESULT SafeResult(UINT code) noexcept
{
    switch (code)
    {
    case PSN_WIZNEXT:
    case PSN_WIZBACK:
        return CPropertyPage::kStayOnPage;
    case PSN_WIZFINISH:
    case PSN_QUERYCANCEL:
    case PSN_KILLACTIVE:
        return TRUE;
    default:
        return 0;
    }
}
} // namespace

INT_PTR CALLBACK CPropertyPage::_DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may unwind through the system's dialog code.
    try
    {
        if (message == WM_INITDIALOG)
        {
            auto* page = reinterpret_cast<CPropertyPage*>(reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
            ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
            page->m_hWnd = dialog;
            return page->OnInitDialog();
        }

        auto* page = reinterpret_cast<CPropertyPage*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        if (!page)
            return FALSE;
        LRESULT result = 0;
        bool handled = false;
        if (message == WM_NOTIFY)
            handled = page->_OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result);
        else if (message == WM_COMMAND && lParam)
            handled = page->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        if (!handled)
            handled = page->OnMessage(message, wParam, lParam, result);
        if (message == WM_NCDESTROY)
            page->m_hWnd = nullptr;
        if (!handled)
            return FALSE;
        // Dialog procedures return results of WM_NOTIFY through DWLP_MSGRESULT.
        ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
        return TRUE;
    }
    catch (...)
    {
        if (message != WM_NOTIFY)
            return FALSE;
        ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, SafeResult(reinterpret_cast<const NMHDR*>(lParam)->code));
        return TRUE;
    }
}
