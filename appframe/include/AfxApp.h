// The application object: one per process, its InitInstance is the program.
#pragma once

#include "AfxWin.h"

class CWinApp
{
public:
    CWinApp() noexcept;
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The whole run of a dialog-based program; its result is the exit code.
    virtual int InitInstance() = 0;

    // Also the main window of every thread that has none of its own.
    void SetMainWnd(CWnd* window) noexcept;
    CWnd* m_pMainWnd = nullptr;
};
