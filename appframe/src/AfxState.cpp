// Process-wide framework state: resource module and main windows.
#include "AfxWin.h"

#include <commctrl.h>

#include <atomic>

namespace
{
std::atomic<HINSTANCE> g_resourceModule{nullptr};
std::atomic<CWnd*> g_appMainWnd{nullptr};
thread_local CWnd* t_threadMainWnd = nullptr;
} // namespace

HINSTANCE AfxGetResourceHandle() noexcept
{
    return g_resourceModule.load();
}

void AfxSetResourceHandle(HINSTANCE module) noexcept
{
    g_resourceModule.store(module);
}

CWnd* AfxGetThreadMainWnd() noexcept
{
    return t_threadMainWnd;
}

CWnd* AfxGetAppMainWnd() noexcept
{
    return g_appMainWnd.load();
}

CWnd* AfxGetMainWnd() noexcept
{
    CWnd* window = AfxGetThreadMainWnd();
    return window ? window : AfxGetAppMainWnd();
}

void AfxSetThreadMainWnd(CWnd* window) noexcept
{
    t_threadMainWnd = window;
}

void AfxSetAppMainWnd(CWnd* window) noexcept
{
    g_appMainWnd.store(window);
}

std::wstring AfxLoadString(UINT id) noexcept
{
    const HINSTANCE module = AfxGetResourceHandle();
    if (!module)
        return {};
    // With a zero length LoadStringW hands out a pointer into the resource
    // itself, so any length of text is read whole.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (!text)
        return {}; // no such string
    try
    {
        return std::wstring(text, static_cast<size_t>(length));
    }
    catch (...)
    {
        return {}; // out of memory: no text rather than an end to the program
    }
}

std::wstring CWnd::GetWindowText() const
{
    std::wstring text;
    text.resize(static_cast<size_t>(::GetWindowTextLengthW(m_hWnd)));
    // The terminator goes where the string keeps its own.
    text.resize(static_cast<size_t>(::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()) + 1)));
    return text;
}

void AfxEnableControlContainer() noexcept
{
    INITCOMMONCONTROLSEX init{sizeof(init), ICC_WIN95_CLASSES | ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&init);
}
