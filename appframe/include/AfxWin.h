// The small application framework of our own: process-wide state that the
// wizard reaches from anywhere (resource module, main windows) and the
// window wrapper its dialogs and controls derive from.
#pragma once

#include <windows.h>

#include <string>

// A window the framework knows by handle. The wrapper does not own the window:
// the window's own lifetime (dialog, control) decides when it goes.
class CWnd
{
public:
    CWnd() noexcept = default;
    explicit CWnd(HWND hWnd) noexcept : m_hWnd(hWnd) {}
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    // Wraps an existing window, e.g. a control of a dialog template.
    void Attach(HWND hWnd) noexcept { m_hWnd = hWnd; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept
    {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    HWND GetDlgItem(int id) const noexcept { return ::GetDlgItem(m_hWnd, id); }
    // Also the sheet's own buttons: Next 12324, Back 12323, Finish 12325, Cancel IDCANCEL.
    void SetDlgItemText(int id, const std::wstring& text) const noexcept { ::SetDlgItemTextW(m_hWnd, id, text.c_str()); }
    void SetWindowText(const std::wstring& text) const noexcept { ::SetWindowTextW(m_hWnd, text.c_str()); }
    std::wstring GetWindowText() const;
    void ShowWindow(int show) const noexcept { ::ShowWindow(m_hWnd, show); }
    void EnableWindow(bool enable) const noexcept { ::EnableWindow(m_hWnd, enable ? TRUE : FALSE); }

    HWND m_hWnd = nullptr;
};

// The wait cursor for as long as it lives; the previous cursor after.
class CWaitCursor
{
public:
    CWaitCursor() noexcept : _previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~CWaitCursor() { ::SetCursor(_previous); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    HCURSOR _previous;
};

// The module that every string, dialog, icon and bitmap is loaded from: the
// language module once it is loaded, null (nothing) before.
HINSTANCE AfxGetResourceHandle() noexcept;
void AfxSetResourceHandle(HINSTANCE module) noexcept;

// The main window of the calling thread if it has one, else the application's.
CWnd* AfxGetMainWnd() noexcept;
CWnd* AfxGetThreadMainWnd() noexcept;
CWnd* AfxGetAppMainWnd() noexcept;
void AfxSetThreadMainWnd(CWnd* window) noexcept;
void AfxSetAppMainWnd(CWnd* window) noexcept;

// A string of the resource module; empty when it cannot be loaded.
std::wstring AfxLoadString(UINT id) noexcept;

// Registers the common controls the wizard uses (list views, SysLink, the
// property sheet); safe to call more than once.
void AfxEnableControlContainer() noexcept;
