// The upgrade-state matrix's list: a list view whose columns the user cannot
// resize, so the widths the wizard measured stay as they are.
#pragma once

#include "AfxCtrl.h"

class CXListCtrl : public CListCtrl
{
public:
    CXListCtrl() noexcept = default;
    ~CXListCtrl() override;
    CXListCtrl(const CXListCtrl&) = delete;
    CXListCtrl& operator=(const CXListCtrl&) = delete;

    // Takes over a list of a dialog template; a list it cannot take over
    // stays empty, and the page without its matrix.
    void SubclassDlgItem(HWND dialog, int id) noexcept;

private:
    static LRESULT CALLBACK _Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                  DWORD_PTR data) noexcept;
};
