// CXListCtrl: see XListCtrl.h.
#include "XListCtrl.h"

namespace
{
// The procedure is shared and keeps no data: one subclass per list.
constexpr UINT_PTR kSubclassId = 0;
} // namespace

CXListCtrl::~CXListCtrl()
{
    if (m_hWnd)
        ::RemoveWindowSubclass(m_hWnd, &_Proc, kSubclassId);
}

void CXListCtrl::SubclassDlgItem(HWND dialog, int id) noexcept
{
    const HWND list = ::GetDlgItem(dialog, id);
    if (list && ::SetWindowSubclass(list, &_Proc, kSubclassId, DWORD_PTR{}))
        Attach(list);
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
        ::RemoveWindowSubclass(window, &_Proc, kSubclassId);
    return ::DefSubclassProc(window, message, wParam, lParam);
}
