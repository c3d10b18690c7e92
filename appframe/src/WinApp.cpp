// CWinApp: see AfxApp.h.
#include "AfxApp.h"

CWinApp::CWinApp() noexcept = default;

CWinApp::~CWinApp() = default;

void CWinApp::SetMainWnd(CWnd* window) noexcept
{
    m_pMainWnd = window;
    AfxSetAppMainWnd(window);
}
