// CPropertySheet: see AfxSheet.h.
#include "AfxSheet.h"

namespace
{
// The sheet being created on this thread: the sheet callback has no context
// of its own.
thread_local CPropertySheet* t_creating = nullptr;
} // namespace

CPropertySheet::CPropertySheet(UINT captionId, CWnd* parent, UINT firstPage, HBITMAP watermark,
                               HBITMAP header) noexcept
    : m_psh{}
{
    try
    {
        _caption = AfxLoadString(captionId);
    }
    catch (...)
    {
    }
    m_psh.dwSize = sizeof(m_psh);
    m_psh.dwFlags = PSH_WIZARD97 | PSH_USECALLBACK;
    m_psh.hwndParent = parent ? parent->GetSafeHwnd() : nullptr;
    m_psh.hInstance = AfxGetResourceHandle();
    m_psh.nStartPage = firstPage;
    m_psh.pfnCallback = &_Callback;
    // Wine paints a Wizard97 header only from a bitmap handle.
    if (watermark)
    {
        m_psh.dwFlags |= PSH_WATERMARK | PSH_USEHBMWATERMARK;
        m_psh.hbmWatermark = watermark;
    }
    if (header)
    {
        m_psh.dwFlags |= PSH_HEADER | PSH_USEHBMHEADER;
        m_psh.hbmHeader = header;
    }
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    page->_sheet = this;
    _pages.push_back(page);
}

INT_PTR CPropertySheet::DoModal() noexcept
{
    try
    {
        _pageHeaders.clear();
        for (CPropertyPage* page : _pages)
        {
            PROPSHEETPAGEW header = page->m_psp;
            header.hInstance = AfxGetResourceHandle();
            _pageHeaders.push_back(header);
        }
    }
    catch (...)
    {
        return -1;
    }
    m_psh.pszCaption = _caption.c_str();
    m_psh.nPages = static_cast<UINT>(_pageHeaders.size());
    m_psh.ppsp = _pageHeaders.data();
    m_psh.dwFlags |= PSH_PROPSHEETPAGE;

    t_creating = this;
    const INT_PTR result = ::PropertySheetW(&m_psh);
    t_creating = nullptr;
    m_hWnd = nullptr;
    return result;
}

int CALLBACK CPropertySheet::_Callback(HWND sheet, UINT message, LPARAM)
{
    if (message == PSCB_INITIALIZED && t_creating)
    {
        t_creating->m_hWnd = sheet;
        try
        {
            t_creating->OnInitDialog();
        }
        catch (...)
        {
            // A sheet without its icon or font still works.
        }
    }
    return 0;
}

BOOL CPropertySheet::OnInitDialog()
{
    return TRUE;
}

void CPropertySheet::SetWizardButtons(DWORD flags) const noexcept
{
    SendMessage(PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}

void CPropertySheet::PostWizardButtons(DWORD flags) const noexcept
{
    PostMessage(PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags));
}

void CPropertySheet::SetFinishText(const std::wstring& text) const noexcept
{
    SendMessage(PSM_SETFINISHTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CPropertySheet::SetHeaderTitle(int pageIndex, const std::wstring& text) const noexcept
{
    SendMessage(PSM_SETHEADERTITLEW, pageIndex, reinterpret_cast<LPARAM>(text.c_str()));
    // Wine repaints the header only when the whole sheet is invalidated.
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CPropertySheet::SetHeaderSubTitle(int pageIndex, const std::wstring& text) const noexcept
{
    SendMessage(PSM_SETHEADERSUBTITLEW, pageIndex, reinterpret_cast<LPARAM>(text.c_str()));
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CPropertySheet::PressButton(int button) const noexcept
{
    PostMessage(PSM_PRESSBUTTON, button);
}
