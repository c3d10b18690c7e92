// The task execution page (dialog 103): the tasks of the current pass, run on
// a worker thread that reports to the page's list by messages.
#pragma once

#include "AfxCtrl.h"
#include "AfxMt.h"
#include "Status.h"
#include "TarnwickPage.h"
#include "TaskRunner.h"

#include <atomic>
#include <memory>

class CTaskExecutionPage : public CPanelPage, private ITaskView
{
public:
    explicit CTaskExecutionPage(CTarnwickApp& app) noexcept;
    // Waits for a worker that is still running.
    ~CTaskExecutionPage() override;

    // The worker thread's body; param is the page.
    static UINT __cdecl ProgressThreadProc(LPVOID param);

protected:
    BOOL OnInitPage() override;
    // Starts the worker each time the page shows.
    BOOL OnActivatePage() override;
    // The message page's reboot offer after a good first pass, else the end.
    // Neither way leaves the page while the tasks run, whatever pressed it.
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
    // Nothing may stop the tasks half-way; afterwards the usual question.
    BOOL OnQueryCancel() override;

private:
    // The first pass's list; then the second pass's. Only building a list
    // can throw (out of memory); the worker catches it.
    [[nodiscard]] CStatus _UpgradeNode();
    [[nodiscard]] CStatus _UpgradeNodePart2();
    bool _IsWorkerRunning() const noexcept;

    // ITaskView, called on the worker thread: messages to the list only.
    void ClearRows() noexcept override;
    void AddRow(UINT textId) noexcept override;
    void SetRowState(int row, UINT textId, TaskState state) noexcept override;
    void ShowFailure(UINT messageId) noexcept override;

    CStatic m_status;
    CListCtrl m_list;
    CTarnwickSheet* m_sheet = nullptr;
    // When the page showed: the log gives support the length of the run.
    ULONGLONG m_activatedAt = 0;
    std::unique_ptr<CWinThread> m_worker;
    // Until the worker has set the outcome: nothing may leave the page.
    std::atomic<bool> m_running{false};
};
