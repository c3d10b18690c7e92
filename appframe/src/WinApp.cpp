// CWinApp: see AfxApp.h.
#include "AfxApp.h"

namespace
{
CWinApp* g_app = nullptr;
} // namespace

CWinApp::CWinApp() noexcept
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

void CWinApp::SetMainWnd(CWnd* window) noexcept
{
    m_pMainWnd = window;
    AfxSetAppMainWnd(window);
}

CWinApp* AfxGetApp() noexcept
{
    return g_app;
}
