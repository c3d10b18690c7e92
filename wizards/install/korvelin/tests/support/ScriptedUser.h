// The scripted user of the GUI tests: finds this process's message boxes by
// the unique message identifier in their text, reads them and answers them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct CSeenMessageBox
{
    HWND box = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<int> buttons;
    HWND link = nullptr;
    std::wstring linkText;
    RECT textRect{};   // dialog client coordinates
    RECT linkRect{};   // dialog client coordinates
    RECT buttonsRect{}; // bounding box of the buttons, client coordinates
    RECT client{};
};

namespace ScriptedUser
{
// The first visible dialog box of this process whose text contains needle,
// or null. The wizard's own sheet never carries a message identifier.
HWND FindMessageBox(const std::wstring& needle);

// Polls until such a box is up or the time runs out (null).
HWND WaitForMessageBox(const std::wstring& needle, DWORD timeoutMs);

CSeenMessageBox Read(HWND box);

// Presses a button of a box shown by any thread of this process.
void Answer(HWND box, int buttonId);
} // namespace ScriptedUser
