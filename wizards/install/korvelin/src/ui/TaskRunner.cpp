// CTaskRunner: see TaskRunner.h.
#include "TaskRunner.h"

#include "LibLogger.h"

#include <new>

namespace
{
// No exception of an operation may end the worker thread.
CStatus RunGuarded(const std::function<CStatus()>& operation) noexcept
{
    try
    {
        return operation();
    }
    catch (const std::bad_alloc&)
    {
        return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    catch (...)
    {
        return CStatus::Failure(CStatus::kWin32, CTaskRunner::kOperationThrew);
    }
}
} // namespace

void CTaskRunner::AddRows(ITaskView& view, const std::vector<CTaskRow>& rows) noexcept
{
    view.ClearRows();
    for (const CTaskRow& row : rows)
        view.AddRow(row.textId);
}

CStatus CTaskRunner::Run(ITaskView& view, const std::vector<CTaskRow>& rows, const CFunctionLog& log) noexcept
{
    CStatus status = CStatus::Success();
    for (size_t index = 0; index < rows.size(); ++index)
    {
        const CTaskRow& row = rows[index];
        const int item = static_cast<int>(index);
        view.SetRowState(item, row.textId, TaskState::Running);
        status = RunGuarded(row.operation);
        if (status.IsSuccess())
        {
            view.SetRowState(item, row.textId, TaskState::Done);
            continue;
        }
        view.SetRowState(item, row.textId, TaskState::Failed);
        // What the library classes recorded on the way, before the failure line.
        VLibThreadLogQueue::Global().Dump();
        log.Failed(__LINE__, row.logLabel, status);
        view.ShowFailure(row.failureMessage);
        if (row.onFailure == CTaskRow::kStop)
            return status;
        status = CStatus::Success();
    }
    return status;
}
