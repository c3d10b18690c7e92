// The task list of a pass as a table: each row names its text, its operation,
// the message and log label of its failure and what a failure does to the
// rest of the list. One runner drives any such table and reports to a view:
// the task page's list and message boxes, or a test's record.
#pragma once

#include "FunctionLog.h"
#include "Status.h"

#include <windows.h>

#include <functional>
#include <vector>

enum class TaskState
{
    Added,
    Running,
    Done,
    Failed
};

class ITaskView
{
public:
    virtual ~ITaskView() = default;
    virtual void ClearRows() noexcept = 0;
    // A new row at the end, in the added state.
    virtual void AddRow(UINT textId) noexcept = 0;
    virtual void SetRowState(int row, UINT textId, TaskState state) noexcept = 0;
    // The failure message of a row, to the administrator.
    virtual void ShowFailure(UINT messageId) noexcept = 0;
};

struct CTaskRow
{
    enum OnFailure
    {
        kStop, // the list ends with the failure
        kGoOn  // the failure is shown; the rows after it decide the result
    };

    UINT textId = 0;
    std::function<CStatus()> operation;
    UINT failureMessage = 0;
    const wchar_t* logLabel = L"";
    OnFailure onFailure = kStop;
};

class CTaskRunner
{
public:
    // What an operation that throws fails with: Windows' own code for an
    // exception nobody handled.
    static constexpr uint32_t kOperationThrew = 574; // ERROR_UNHANDLED_EXCEPTION

    // Empties the view and adds every row in the added state.
    static void AddRows(ITaskView& view, const std::vector<CTaskRow>& rows) noexcept;
    // Runs the rows in order: each running, then done or failed (logged to
    // log as a failed call under the row's label, its message shown). The
    // result is the first failure of a stopping row, else success; rows
    // not reached keep their added state.
    [[nodiscard]] static CStatus Run(ITaskView& view, const std::vector<CTaskRow>& rows,
                                     const CFunctionLog& log) noexcept;
};
