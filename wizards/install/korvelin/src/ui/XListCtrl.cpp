// CXListCtrl: see XListCtrl.h.
#include "XListCtrl.h"

CXListCtrl::~CXListCtrl()
{
    if (m_hWnd)
        ::RemoveWindowSubclass(m_hWnd, &_Proc, 0);
}

bool CXListCtrl::SubclassDlgItem(HWND dialog, int id) noexcept
{
    const HWND list = ::GetDlgItem(dialog, id);
    if (!list || !::SetWindowSubclass(list, &_Proc, 0, 0))
        return false;
    Attach(list);
    return true;
}

LRESULT CALLBACK CXListCtrl::_Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                   DWORD_PTR) noexcept
{
    if (message == WM_NOTIFY)
    {
        // The header asks its parent, the list, before a column's width changes.
        const UINT code = reinterpret_cast<const NMHDR*>(lParam)->code;
        if (code == HDN_ITEMCHANGINGW || code == HDN_ITEMCHANGINGA)
            return TRUE;
    }
    if (message == WM_NCDESTROY)
        ::RemoveWindowSubclass(window, &_Proc, 0);
    return ::DefSubclassProc(window, message, wParam, lParam);
}
