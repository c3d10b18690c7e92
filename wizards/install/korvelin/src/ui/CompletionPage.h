// The last page (dialog 104): the cluster's upgrade state after a good pass,
// or the way to the log after a failure.
#pragma once

#include "TarnwickPage.h"
#include "XListCtrl.h"

class CCompletionPage : public CTarnwickPage
{
public:
    explicit CCompletionPage(CTarnwickApp& app) noexcept;

    // "notepad.exe <home>\log\Korvelin_A.txt": the home as the registry has it.
    static std::wstring LogViewerCommand(const std::wstring& homeDirectory);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    // The work is done: closing needs no confirmation.
    BOOL OnQueryCancel() override { return TRUE; }
    bool OnCommand(UINT controlId, UINT code, HWND control) override;

private:
    // Opens the log file in Notepad.
    void OnLog() noexcept;

    CXListCtrl m_matrix;
};
