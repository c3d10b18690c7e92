// ScriptedUser: see ScriptedUser.h.
#include "ScriptedUser.h"

#include "WaitUntil.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <functional>

namespace
{
constexpr int kTextControlId = 0xFFFF;

std::wstring WindowText(HWND window)
{
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

RECT ClientRectOf(HWND dialog, HWND child)
{
    RECT rect{};
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The first visible dialog box of this process that matches.
HWND FindDialog(const std::function<bool(HWND)>& matches)
{
    for (HWND window = ::FindWindowExW(nullptr, nullptr, L"#32770", nullptr); window;
         window = ::FindWindowExW(nullptr, window, L"#32770", nullptr))
    {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(window) && matches(window))
            return window;
    }
    return nullptr;
}
// The message identifier a box of the wizard carries, 0 for another box.
int MessageIdOf(HWND box)
{
    static const std::wstring kTag = L"M-42-13-";
    const std::wstring text = WindowText(::GetDlgItem(box, kTextControlId));
    const size_t at = text.find(kTag);
    return at == std::wstring::npos ? 0 : _wtoi(text.c_str() + at + kTag.size());
}
} // namespace

namespace ScriptedUser
{
std::wstring TextOf(HWND window)
{
    return WindowText(window);
}

HWND FindMessageBox(const std::wstring& needle)
{
    return FindDialog([&](HWND window) {
        HWND text = ::GetDlgItem(window, kTextControlId);
        return text && WindowText(text).find(needle) != std::wstring::npos;
    });
}

HWND FindSheet()
{
    return FindDialog([](HWND window) { return CurrentPageWindow(window) != nullptr; });
}

HWND WaitForMessageBox(const std::wstring& needle, DWORD timeoutMs)
{
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindMessageBox(needle)) != nullptr; }, timeoutMs);
    return box;
}

CSeenMessageBox Read(HWND box)
{
    CSeenMessageBox seen;
    ::GetClientRect(box, &seen.client);
    SetRectEmpty(&seen.buttonsRect);
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        const std::wstring kind = ClassOf(child);
        const int id = ::GetDlgCtrlID(child);
        if (id == kTextControlId)
        {
            seen.text = WindowText(child);
            seen.textRect = ClientRectOf(box, child);
        }
        else if (::lstrcmpiW(kind.c_str(), WC_LINK) == 0)
        {
            seen.linkText = WindowText(child);
            seen.linkRect = ClientRectOf(box, child);
        }
        else if (::lstrcmpiW(kind.c_str(), WC_BUTTON) == 0)
        {
            seen.buttons.push_back(id);
            const RECT rect = ClientRectOf(box, child);
            UnionRect(&seen.buttonsRect, &seen.buttonsRect, &rect);
        }
    }
    return seen;
}

HWND CurrentPageWindow(HWND sheet)
{
    return reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

int CurrentPage(HWND sheet)
{
    HWND page = CurrentPageWindow(sheet);
    if (!page)
        return 0;
    const LRESULT index = ::SendMessageW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0);
    return static_cast<int>(::SendMessageW(sheet, PSM_INDEXTOID, index, 0));
}

bool WaitForPage(HWND sheet, int dialogId, DWORD timeoutMs)
{
    return WaitUntil([&] { return CurrentPage(sheet) == dialogId; }, timeoutMs);
}

void PressButton(HWND sheet, int button)
{
    // The sheet drops a press that comes before it first shows, which a page
    // that is done at once (a task list that ends at the start) can bring about.
    (void)WaitUntil([&] { return ::IsWindowVisible(sheet) != FALSE; });
    ::PostMessageW(sheet, PSM_PRESSBUTTON, button, 0);
}

std::vector<CSeenListItem> ReadList(HWND list)
{
    std::vector<CSeenListItem> items;
    const HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
    {
        CSeenListItem seen;
        for (int column = 0; column == 0 || column < columns; ++column)
        {
            wchar_t text[512] = {};
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.iItem = i;
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 512;
            ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            seen.columns.push_back(text);
            seen.images.push_back(item.iImage);
        }
        seen.text = seen.columns[0];
        seen.image = seen.images[0];
        items.push_back(std::move(seen));
    }
    return items;
}

std::vector<std::wstring> ReadHeadings(HWND list)
{
    std::vector<std::wstring> headings;
    for (;;)
    {
        wchar_t text[512] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = 512;
        if (!::SendMessageW(list, LVM_GETCOLUMNW, headings.size(), reinterpret_cast<LPARAM>(&column)))
            return headings;
        headings.push_back(text);
    }
}

bool AnswerBoxesUntil(const std::function<bool()>& done, const std::function<int(int)>& answer,
                      std::vector<int>& seen, DWORD timeoutMs)
{
    std::vector<HWND> answered;
    return WaitUntil(
        [&] {
            if (HWND box = FindMessageBox(L"M-42-13-");
                box && std::find(answered.begin(), answered.end(), box) == answered.end())
            {
                answered.push_back(box); // a box stays listed until its thread ends it
                const int id = MessageIdOf(box);
                seen.push_back(id);
                Answer(box, answer(id));
                return false;
            }
            return done();
        },
        timeoutMs);
}

bool CancelWizard(HWND sheet)
{
    PressButton(sheet, PSBTN_CANCEL);
    std::vector<int> seen;
    return AnswerBoxesUntil([&] { return !::IsWindow(sheet); }, [](int) { return IDYES; }, seen);
}

std::vector<int> FinishWizard(HWND sheet, int answer)
{
    std::vector<int> seen;
    PressButton(sheet, PSBTN_FINISH);
    if (!AnswerBoxesUntil([&] { return !::IsWindow(sheet); }, [&](int) { return answer; }, seen))
        seen.push_back(-1); // the sheet did not close
    return seen;
}

void CloseEveryBox()
{
    while (HWND box = FindMessageBox(L"M-42-13-"))
    {
        ::SendMessageW(box, WM_COMMAND, IDCANCEL, 0);
        ::SendMessageW(box, WM_COMMAND, IDOK, 0);
        if (::IsWindow(box) && ::IsWindowVisible(box))
            break; // a box that would not end; the run's deadline reports it
    }
}

void Answer(HWND box, int buttonId)
{
    // Posted: the box may belong to a thread that is blocked in MessageBoxW.
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, buttonId)));
}
} // namespace ScriptedUser
