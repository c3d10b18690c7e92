// A message box with a clickable help link below its text: MessageBoxW, with
// the box's dialog subclassed from a thread hook to add a SysLink control.
#pragma once

#include "AfxWin.h"
#include "UniqueResource.h"

#include <string>

class MessageBoxWithURL : public CWnd
{
public:
    static constexpr int kLinkControlId = 1000;
    static constexpr int kTextControlId = 0xFFFF;
    static constexpr int kLinkGap = 10;

    // Records itself as the current box and hooks the calling thread.
    MessageBoxWithURL(std::wstring body, std::wstring link, std::wstring caption, UINT style, HWND owner,
                      UINT showLink) noexcept;
    ~MessageBoxWithURL() override;

    // Shows the box; returns the MessageBoxW result, -1 when it could not be shown.
    int DoModal() noexcept;

    const std::wstring& GetLink() const noexcept { return _link; }

private:
    static LRESULT CALLBACK _HookProc(int code, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK _SubclassProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void _AddLink(HWND dialog) noexcept;
    void _OpenLink(const NMHDR& header, LPARAM lParam) const noexcept;

    std::wstring _caption;
    std::wstring _body;
    std::wstring _link;
    UINT _style;
    HWND _owner;
    unique_hhook _hook;
    WNDPROC _prevProc = nullptr;
    UINT _showLink;
    MessageBoxWithURL* _previous = nullptr;

    // One box at a time: the hook and the subclassed procedure find the box here.
    static MessageBoxWithURL* s_current;
};
