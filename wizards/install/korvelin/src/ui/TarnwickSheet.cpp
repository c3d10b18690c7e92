// CTarnwickSheet: see TarnwickSheet.h.
#include "TarnwickSheet.h"

#include "FunctionLog.h"
#include "MessageCatalogue.h"
#include "ResourceIds.h"
#include "StringIds.h"

namespace
{
constexpr int kTitlePoints = 12;
} // namespace

CTarnwickSheet::CTarnwickSheet(CTarnwickApp& app, UINT captionId, CWnd* parent, UINT firstPage, HBITMAP watermark,
                               HBITMAP header) noexcept
    : CPropertySheet(captionId, parent, firstPage, watermark, header), m_welcomePage(app), m_evsSelectPage(app),
      m_messagePage(app), m_completionPage(app), m_taskExecutionPage(app)
{
    m_psh.dwFlags &= ~PSH_HASHELP;
    try
    {
        AddPage(&m_welcomePage);
        AddPage(&m_evsSelectPage);
        AddPage(&m_taskExecutionPage);
        AddPage(&m_messagePage);
        AddPage(&m_completionPage);
    }
    catch (...)
    {
        // A sheet without its pages shows nothing; DoModal then fails.
    }
}

BOOL CTarnwickSheet::OnInitDialog()
{
    if (const HINSTANCE module = AfxGetResourceHandle())
        m_icon.reset(static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(IDI_WIZARD), IMAGE_ICON, 32, 32, 0)));
    if (m_icon)
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.get()));
    return CPropertySheet::OnInitDialog();
}

void CTarnwickSheet::CreateBoldFont() noexcept
{
    if (m_boldFont.GetSafeHandle())
        return;
    LOGFONTW font{};
    const HFONT dialogFont = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    if (!dialogFont || !::GetObjectW(dialogFont, sizeof(font), &font))
        return;
    font.lfWeight = FW_BOLD;
    if (HDC screen = ::GetDC(nullptr))
    {
        font.lfHeight = -(::GetDeviceCaps(screen, LOGPIXELSY) * kTitlePoints * 10 / 720);
        ::ReleaseDC(nullptr, screen);
    }
    m_boldFont.CreateFontIndirect(font);
}

BOOL CTarnwickSheet::DisplayCancelConfirm() noexcept
{
    KV_LOG_FUNCTION();
    const int answer = CMessageCatalogue::Show(MSG_WARNING, MB_YESNO | MB_DEFBUTTON2, IDS_CANCEL_QUESTION);
    // No box shown (-1) cannot keep the wizard open.
    if (answer != IDNO)
    {
        KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_CANCELLED);
        return TRUE;
    }
    KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_CANCEL_DECLINED);
    return FALSE;
}
