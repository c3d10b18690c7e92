// The scripted user of the GUI tests: finds this process's message boxes by
// the unique message identifier in their text, reads them and answers them.
#pragma once

#include "WaitUntil.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct CSeenMessageBox
{
    std::wstring text;
    std::vector<int> buttons;
    std::wstring linkText;
    RECT textRect{};   // dialog client coordinates
    RECT linkRect{};   // dialog client coordinates
    RECT buttonsRect{}; // bounding box of the buttons, client coordinates
    RECT client{};
};

struct CSeenListItem
{
    std::wstring text;
    int image = -1;
    std::vector<std::wstring> columns; // every column's text, the item's own first
    std::vector<int> images;           // every column's image, likewise
};

namespace ScriptedUser
{
// Waits until the sheet shows the page of that dialog id (false on time-out).
bool WaitForPage(HWND sheet, int dialogId, DWORD timeoutMs = kWaitMs);
// The dialog id of the page the sheet shows, 0 without one.
int CurrentPage(HWND sheet);
HWND CurrentPageWindow(HWND sheet);
// Presses a wizard button (PSBTN_NEXT, PSBTN_BACK, PSBTN_FINISH, PSBTN_CANCEL).
void PressButton(HWND sheet, int button);
// A window's text.
std::wstring TextOf(HWND window);
// Every item of a list view, with its image and the texts of its columns.
std::vector<CSeenListItem> ReadList(HWND list);
// A report list view's column headings, in column order.
std::vector<std::wstring> ReadHeadings(HWND list);

// Answers each box of the wizard as answer(its message id) says until done()
// holds (false when the time runs out first); seen gets the ids in order.
bool AnswerBoxesUntil(const std::function<bool()>& done, const std::function<int(int)>& answer,
                      std::vector<int>& seen, DWORD timeoutMs = kWaitMs);
// Cancels the wizard, confirms every question with Yes and waits until the
// sheet is gone (false on time-out).
bool CancelWizard(HWND sheet);
// Presses Finish, answers every box with answer until the sheet is gone;
// the boxes seen, in order.
std::vector<int> FinishWizard(HWND sheet, int answer);
// Ends every box of this process, of any thread (a run past its deadline).
void CloseEveryBox();

// The first visible dialog box of this process whose text contains needle,
// or null. The wizard's own sheet never carries a message identifier.
HWND FindMessageBox(const std::wstring& needle);

// The sheet of this process that shows a page, or null: for runs whose
// sheet the test does not make itself.
HWND FindSheet();

// Waits until such a box is up or the time runs out (null).
HWND WaitForMessageBox(const std::wstring& needle, DWORD timeoutMs = kWaitMs);

CSeenMessageBox Read(HWND box);

// Presses a button of a box shown by any thread of this process.
void Answer(HWND box, int buttonId);
} // namespace ScriptedUser
