// MessageBoxWithURL: see MessageBoxWithURL.h.
#include "MessageBoxWithURL.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <climits>
#include <utility>

MessageBoxWithURL* MessageBoxWithURL::s_current = nullptr;

namespace
{
bool HasClass(HWND window, const wchar_t* className) noexcept
{
    wchar_t name[64] = {};
    return ::GetClassNameW(window, name, 64) > 0 && ::lstrcmpiW(name, className) == 0;
}

// Moves a child window down by dy pixels.
void OffsetChild(HWND dialog, HWND child, int dy) noexcept
{
    RECT rect{};
    ::GetWindowRect(child, &rect);
    POINT corner{rect.left, rect.top};
    ::ScreenToClient(dialog, &corner);
    ::SetWindowPos(child, nullptr, corner.x, corner.y + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
} // namespace

MessageBoxWithURL::MessageBoxWithURL(std::wstring body, std::wstring link, std::wstring caption, UINT style,
                                     HWND owner, UINT showLink) noexcept
    : _caption(std::move(caption)), _body(std::move(body)), _link(std::move(link)), _style(style), _owner(owner),
      _showLink(showLink)
{
    _previous = s_current;
    s_current = this;
    _hook.reset(::SetWindowsHookExW(WH_CALLWNDPROC, &_HookProc, nullptr, ::GetCurrentThreadId()));
}

MessageBoxWithURL::~MessageBoxWithURL()
{
    _hook.reset();
    if (s_current == this)
        s_current = _previous;
}

int MessageBoxWithURL::DoModal() noexcept
{
    const int answer = ::MessageBoxW(_owner, _body.c_str(), _caption.c_str(), _style);
    // 0 means no box could be made: the same "nothing shown" as a missing text.
    return answer ? answer : -1;
}

LRESULT CALLBACK MessageBoxWithURL::_HookProc(int code, WPARAM wParam, LPARAM lParam) noexcept
{
    MessageBoxWithURL* self = s_current;
    if (code == HC_ACTION && self)
    {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call->message == WM_INITDIALOG && !self->_prevProc && HasClass(call->hwnd, L"#32770"))
        {
            self->m_hWnd = call->hwnd;
            self->_prevProc = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(call->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&_SubclassProc)));
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK MessageBoxWithURL::_SubclassProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    MessageBoxWithURL* self = s_current;
    if (!self || !self->_prevProc)
        return ::DefDlgProcW(dialog, message, wParam, lParam);

    const LRESULT result = ::CallWindowProcW(self->_prevProc, dialog, message, wParam, lParam);
    switch (message)
    {
    case WM_INITDIALOG:
        if (self->_showLink)
            self->_AddLink(dialog);
        break;
    case WM_CTLCOLORSTATIC:
        if (::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kLinkControlId)
            ::SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0xFF));
        break;
    case WM_NOTIFY:
        self->_OpenLink(*reinterpret_cast<const NMHDR*>(lParam), lParam);
        break;
    case WM_NCDESTROY:
        self->_hook.reset();
        self->m_hWnd = nullptr;
        break;
    default:
        break;
    }
    return result;
}

void MessageBoxWithURL::_OpenLink(const NMHDR& header, LPARAM lParam) const noexcept
{
    if ((header.code != NM_CLICK && header.code != NM_RETURN) || !HasClass(header.hwndFrom, WC_LINK))
        return;
    // Wine counts iLink wrongly; the address itself is reliable. Only web
    // addresses are opened, whatever a language module says.
    const auto* link = reinterpret_cast<const NMLINK*>(lParam);
    if (::StrCmpNIW(link->item.szUrl, L"https://", 8) != 0 && ::StrCmpNIW(link->item.szUrl, L"http://", 7) != 0)
        return;
    ::ShellExecuteW(nullptr, L"open", link->item.szUrl, nullptr, nullptr, SW_SHOWMINIMIZED);
}

void MessageBoxWithURL::_AddLink(HWND dialog) noexcept
{
    HWND text = ::GetDlgItem(dialog, kTextControlId);
    if (!text)
        return;
    const HFONT font = reinterpret_cast<HFONT>(::SendMessageW(text, WM_GETFONT, 0, 0));

    SIZE extent{};
    if (HDC dc = ::GetDC(dialog))
    {
        const HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
        ::GetTextExtentPoint32W(dc, _link.c_str(), static_cast<int>(_link.size()), &extent);
        if (previous)
            ::SelectObject(dc, previous);
        ::ReleaseDC(dialog, dc);
    }

    RECT textRect{};
    ::GetWindowRect(text, &textRect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&textRect), 2);

    // Wide enough for the whole address, with the text's margin on both sides.
    RECT client{};
    ::GetClientRect(dialog, &client);
    const int needed = textRect.left * 2 + extent.cx;
    RECT frame{};
    ::GetWindowRect(dialog, &frame);
    const int grow = client.right < needed ? needed - client.right : 0;

    // Room below the text for the link: the buttons and the dialog move down.
    const int linkTop = textRect.bottom + kLinkGap;
    const int linkBottom = linkTop + extent.cy;
    int buttonsTop = INT_MAX;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        if (!HasClass(child, WC_BUTTON))
            continue;
        RECT rect{};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        buttonsTop = rect.top < buttonsTop ? rect.top : buttonsTop;
    }
    const int dy = buttonsTop != INT_MAX && buttonsTop < linkBottom + kLinkGap ? linkBottom + kLinkGap - buttonsTop : 0;
    if (dy > 0)
    {
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            if (HasClass(child, WC_BUTTON))
                OffsetChild(dialog, child, dy);
    }
    if (grow > 0 || dy > 0)
        ::MoveWindow(dialog, frame.left, frame.top, frame.right - frame.left + grow, frame.bottom - frame.top + dy,
                     TRUE);

    INITCOMMONCONTROLSEX init{sizeof(init), ICC_LINK_CLASS};
    if (!::InitCommonControlsEx(&init))
        ::OutputDebugStringW(L"Failed to Initialize CommCtrl");

    const std::wstring markup = L"<A HREF=\"" + _link + L"\">" + _link + L"</A>";
    HWND link = ::CreateWindowExW(0, WC_LINK, markup.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, textRect.left,
                                  linkTop, extent.cx, extent.cy, dialog,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLinkControlId)), nullptr, nullptr);
    if (link && font)
        ::SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}
