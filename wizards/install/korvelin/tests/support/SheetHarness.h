// Runs a wizard sheet in a test as the program does, modal on the test
// thread, while a script on a second thread drives it:
//
//     CSheetHarness<CTarnwickSheet> harness(theApp, IDS_SHEET_CAPTION, nullptr, 0, nullptr, nullptr);
//     harness.Run([&](HWND sheet) { ... ScriptedUser::PressButton(sheet, PSBTN_CANCEL); ... });
//
// The script gets the sheet's window once the sheet is initialised and must
// end the sheet. A run past its deadline fails the test and is ended.
#pragma once

#include "AfxSheet.h"
#include "UniqueResource.h"
#include "WaitUntil.h"

#include <atomic>
#include <functional>
#include <utility>

// A whole run: every wait of its script and the sheet's pages.
constexpr DWORD kRunDeadlineMs = 30000;

// Runs modal (DoModal, InitInstance) on this thread and script on a second
// thread. At the deadline the test fails and every modal loop of this thread
// (sheet and message boxes) is ended.
void RunModal(const std::function<void()>& modal, const std::function<void()>& script,
              DWORD deadlineMs = kRunDeadlineMs);

// Hands the sheet's window from the thread that makes it to the script, and
// lets the script wait until the sheet has handled what was posted to it.
class CSheetSignals
{
public:
    // On the sheet's thread: once initialised, or null once it never will be.
    void SetReady(HWND sheet) noexcept;
    // On the script's thread: runs script with the window once the sheet is
    // ready; a sheet that never gets ready fails the test instead.
    void RunWhenReady(const std::function<void(HWND)>& script) const;

    // True once the sheet has handled everything posted to it before (a
    // pressed button, an answered box), or is gone; false on time-out.
    bool Settle(HWND sheet);

private:
    static LRESULT CALLBACK _SettleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR data) noexcept;

    unique_handle _ready{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HWND _sheet = nullptr; // written before _ready is set, read after
    std::atomic<LONG> _posted{0};
    std::atomic<LONG> _handled{0};
};

template <class Sheet>
class CSheetHarness
{
public:
    // The sheet's own constructor arguments.
    template <class... Args>
    explicit CSheetHarness(Args&&... args) : _sheet(_signals, std::forward<Args>(args)...)
    {
    }

    Sheet& GetSheet() noexcept { return _sheet; }

    // DoModal's result.
    INT_PTR Run(const std::function<void(HWND)>& script, DWORD deadlineMs = kRunDeadlineMs)
    {
        INT_PTR result = -1;
        RunModal(
            [&] {
                result = _sheet.DoModal();
                _signals.SetReady(nullptr); // a sheet that could not be shown
            },
            [&] { _signals.RunWhenReady(script); }, deadlineMs);
        return result;
    }

    bool Settle(HWND sheet) { return _signals.Settle(sheet); }

private:
    class CSignallingSheet : public Sheet
    {
    public:
        template <class... Args>
        explicit CSignallingSheet(CSheetSignals& signals, Args&&... args)
            : Sheet(std::forward<Args>(args)...), _signals(signals)
        {
        }

    protected:
        BOOL OnInitDialog() override
        {
            const BOOL result = Sheet::OnInitDialog();
            _signals.SetReady(this->m_hWnd);
            return result;
        }

    private:
        CSheetSignals& _signals;
    };

    CSheetSignals _signals;
    CSignallingSheet _sheet;
};
