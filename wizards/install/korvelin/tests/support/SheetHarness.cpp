// RunModal, CSheetSignals: see SheetHarness.h.
#include "SheetHarness.h"

#include "ScriptedUser.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <thread>

namespace
{
// Ends the modal loops of the thread that runs them; Wine's sheet loop and
// MessageBoxW both end on WM_QUIT and post it on to the loop outside.
void CALLBACK EndOverdueRun(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    ADD_FAILURE() << "the run passed its deadline: the script did not end the sheet";
    // Boxes of other threads too: a worker blocked in one would never end.
    ScriptedUser::CloseEveryBox();
    ::PostQuitMessage(0);
}

UINT SettleMessage()
{
    static const UINT message = ::RegisterWindowMessageW(L"KorvelinSheetHarnessSettle");
    return message;
}
} // namespace

void RunModal(const std::function<void()>& modal, const std::function<void()>& script, DWORD deadlineMs)
{
    // A thread timer fires inside whichever loop runs, even a script's box.
    const UINT_PTR deadline = ::SetTimer(nullptr, 0, deadlineMs, &EndOverdueRun);
    ASSERT_NE(0u, deadline);
    std::thread user(script);
    modal();
    ::KillTimer(nullptr, deadline);
    user.join();
    // A quit that ended an overdue run must not end the next test's sheet.
    MSG quit;
    while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
    {
    }
}

void CSheetSignals::SetReady(HWND sheet) noexcept
{
    if (::WaitForSingleObject(_ready.get(), 0) == WAIT_OBJECT_0)
        return;
    if (sheet)
        ::SetWindowSubclass(sheet, &_SettleProc, 0, reinterpret_cast<DWORD_PTR>(this));
    _sheet = sheet;
    ::SetEvent(_ready.get());
}

void CSheetSignals::RunWhenReady(const std::function<void(HWND)>& script) const
{
    const bool signalled = ::WaitForSingleObject(_ready.get(), kWaitMs) == WAIT_OBJECT_0;
    if (!signalled || !_sheet)
    {
        ADD_FAILURE() << "the sheet was never shown";
        return;
    }
    script(_sheet);
}

bool CSheetSignals::Settle(HWND sheet)
{
    // Posted messages are handled in order: once ours is, so is every one before it.
    const LONG mark = ++_posted;
    if (!::PostMessageW(sheet, SettleMessage(), static_cast<WPARAM>(mark), 0))
        return !::IsWindow(sheet);
    return WaitUntil([&] { return _handled.load() >= mark || !::IsWindow(sheet); });
}

LRESULT CALLBACK CSheetSignals::_SettleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                            DWORD_PTR data) noexcept
{
    if (message == SettleMessage())
    {
        reinterpret_cast<CSheetSignals*>(data)->_handled.store(static_cast<LONG>(wParam));
        return 0;
    }
    if (message == WM_NCDESTROY)
        ::RemoveWindowSubclass(window, &_SettleProc, id);
    return ::DefSubclassProc(window, message, wParam, lParam);
}
