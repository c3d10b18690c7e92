// CTaskExecutionPage: see TaskExecutionPage.h.
#include "TaskExecutionPage.h"

#include "ExchRegistry.h"
#include "FunctionLog.h"
#include "LibClock.h"
#include "LibLogger.h"
#include "MessageCatalogue.h"
#include "PageRoute.h"
#include "ResourceIds.h"
#include "Tarnwick.h"
#include "TarnwickSheet.h"
#include "UniqueResource.h"
#include "Util.h"

namespace
{
constexpr int kIconColumnWidth = 40;
constexpr int kTaskColumnWidth = 380;
// Lets the list show its rows before the first task starts.
constexpr DWORD kFirstTaskDelayMs = 10;
} // namespace

CTaskExecutionPage::CTaskExecutionPage(CTarnwickApp& app) noexcept
    : CPanelPage(IDD_TASK_EXECUTION, IDC_PANEL_TASK_EXECUTION, app)
{
}

CTaskExecutionPage::~CTaskExecutionPage()
{
    // The sheet is gone by now, so the worker's messages no longer wait for it.
    if (m_worker)
        m_worker->Wait();
}

BOOL CTaskExecutionPage::OnInitPage()
{
    m_status.Attach(GetDlgItem(IDC_TASK_STATUS));
    m_list.Attach(GetDlgItem(IDC_TASK_LIST));
    m_list.InsertColumn(0, std::wstring(), LVCFMT_LEFT, kIconColumnWidth);
    m_list.InsertColumn(1, AfxLoadString(IDS_TASK_COLUMN), LVCFMT_LEFT, kTaskColumnWidth);
    m_list.SetImageList(App().m_imageList.GetSafeHandle(), LVSIL_SMALL);
    m_list.SetExtendedStyle(LVS_EX_GRIDLINES);
    return TRUE;
}

BOOL CTaskExecutionPage::OnActivatePage()
{
    KV_LOG_FUNCTION();
    m_sheet = GetSheet();
    m_activatedAt = VLibClock::Current().TickCount();
    const bool second = App().IsSecondPass();
    m_sheet->SetHeaderTitle(CTarnwickSheet::kTaskIndex,
                            AfxLoadString(second ? IDS_TASK_TITLE_SECOND_PASS : IDS_TASK_TITLE_FIRST_PASS));
    m_sheet->SetHeaderSubTitle(CTarnwickSheet::kTaskIndex,
                               AfxLoadString(second ? IDS_TASK_SUBTITLE_SECOND_PASS : IDS_TASK_SUBTITLE_FIRST_PASS));
    SetButtonTexts();
    m_sheet->PostWizardButtons(PSWIZB_NEXT);

    // A worker of an earlier activation has ended: its buttons allowed no
    // way here while it ran.
    if (m_worker)
        m_worker->Wait();
    m_running = true;
    m_worker = AfxBeginThread(&CTaskExecutionPage::ProgressThreadProc, this);
    if (!m_worker)
    {
        m_running = false;
        KV_LOG_WIN32(L"AfxBeginThread", ::GetLastError());
        App().m_upgradeFailed = 1;
        m_status.SetWindowText(AfxLoadString(IDS_TASKS_FAILED));
    }
    return TRUE;
}

UINT __cdecl CTaskExecutionPage::ProgressThreadProc(LPVOID param)
{
    VLibThreadLogQueue::Global().RegisterThread();
    const ThreadLogScope scope;
    KV_LOG_FUNCTION();
    auto* page = static_cast<CTaskExecutionPage*>(param);
    CTarnwickApp& app = page->App();
    unique_com_init com;
    ::EnableWindow(page->m_sheet->GetDlgItem(IDCANCEL), FALSE);
    page->m_sheet->PostWizardButtons(0);
    page->ClearRows();

    CStatus status = CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    try
    {
        status = app.IsSecondPass() ? page->_UpgradeNodePart2() : page->_UpgradeNode();
    }
    catch (...)
    {
        KV_LOG_FAILED(app.IsSecondPass() ? L"_UpgradeNodePart2()" : L"_UpgradeNode()", status);
    }
    com.reset();

    // The outcome first: Next, once enabled, reads it.
    if (status.IsFailed())
        app.m_upgradeFailed = 1;
    page->m_status.SetWindowText(AfxLoadString(status.IsFailed() ? IDS_TASKS_FAILED : IDS_TASKS_DONE));
    kvLog_.Debug(__LINE__, 0, L"The tasks ended %llu ms after the page showed.",
                 VLibClock::Current().TickCount() - page->m_activatedAt);
    page->m_running = false;
    page->m_sheet->PostWizardButtons(PSWIZB_NEXT);
    // The focus left with the disabled buttons: Enter goes on again.
    page->m_sheet->PostMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(page->m_sheet->GetDlgItem(ID_WIZNEXT)), TRUE);
    return 0;
}

CStatus CTaskExecutionPage::_UpgradeNode()
{
    KV_LOG_FUNCTION();
    CTarnwickApp& app = App();
    std::wstring nodeName;
    const std::vector<CTaskRow> rows = {
        {IDS_TASK_SYSNAME_FILE, [&] { return CUtil::CreateSysnameFile(nodeName); }, IDS_SYSNAME_FILE_FAILED,
         L"CUtil::CreateSysnameFile()"},
        {IDS_TASK_ADD_STARTUP, [] { return CUtil::ModifyStartUp(CUtil::kAddStartUp); }, IDS_ADD_STARTUP_FAILED,
         L"CUtil::ModifyStartUp()"},
        {IDS_TASK_SAVE_STATE,
         [&] {
             // What links the two passes: the node's own name and the state.
             app.m_config.orgCompName = nodeName;
             app.m_config.installState = CExchRegistry::kInstallStateUpgrading;
             return CExchRegistry::WriteQLXExchReg(nullptr, app.m_config);
         },
         IDS_SAVE_STATE_FAILED, L"CUtil::WriteQLXExchReg()"},
        {IDS_TASK_RENAME, [&] { return CUtil::RenameNode(app.m_selectedEVS, nodeName); }, IDS_RENAME_FAILED,
         L"CUtil::RenameNode()"},
    };
    CTaskRunner::AddRows(*this, rows);
    VLibClock::Current().Sleep(kFirstTaskDelayMs);

    // Its own failure lines say why; no row has started.
    if (const CStatus named = CUtil::GetThisNodeName(nodeName); named.IsFailed())
        return named;
    const CStatus status = CTaskRunner::Run(*this, rows, kvLog_);
    if (status.IsSuccess())
        app.m_rebootNeeded = true;
    return status;
}

CStatus CTaskExecutionPage::_UpgradeNodePart2()
{
    KV_LOG_FUNCTION();
    CTarnwickApp& app = App();
    std::wstring nodeName;
    const std::vector<CTaskRow> rows = {
        {IDS_TASK_SERVICES_MANUAL, [] { return CUtil::MakeServicesManual(); }, IDS_SERVICES_MANUAL_FAILED,
         L"CUtil::MakeServicesManual()", CTaskRow::kGoOn},
        {IDS_TASK_RECORD_VERSION, [&] { return CExchRegistry::RegChangesForUpgrade(app.m_installedVersion); },
         IDS_RECORD_VERSION_FAILED, L"CExchRegistry::RegChangesForAddNode()"},
        {IDS_TASK_REMOVE_STARTUP, [] { return CUtil::ModifyStartUp(CUtil::kRemoveStartUp); }, IDS_REMOVE_STARTUP_FAILED,
         L"CUtil::ModifyStartUp()", CTaskRow::kGoOn},
        {IDS_TASK_RENAME, [&] { return CUtil::RenameNode(app.m_config.orgCompName, nodeName); }, IDS_RENAME_FAILED,
         L"CUtil::RenameNode()"},
    };
    CTaskRunner::AddRows(*this, rows);
    const CStatus status = CTaskRunner::Run(*this, rows, kvLog_);
    if (status.IsSuccess())
        app.m_rebootNeeded = true;
    return status;
}

LRESULT CTaskExecutionPage::OnWizardNext()
{
    if (_IsWorkerRunning())
        return kStayOnPage;
    return CPageRoute::AfterTasks(App().m_upgradeFailed == 1, App().IsSecondPass());
}

LRESULT CTaskExecutionPage::OnWizardBack()
{
    return _IsWorkerRunning() ? kStayOnPage : CPanelPage::OnWizardBack();
}

BOOL CTaskExecutionPage::OnQueryCancel()
{
    return _IsWorkerRunning() ? FALSE : CTarnwickPage::OnQueryCancel();
}

bool CTaskExecutionPage::_IsWorkerRunning() const noexcept
{
    return m_running;
}

void CTaskExecutionPage::ClearRows() noexcept
{
    m_list.DeleteAllItems();
}

void CTaskExecutionPage::AddRow(UINT textId) noexcept
{
    const int item = m_list.InsertItem(m_list.GetItemCount(), std::wstring(), App().m_images[CTarnwickApp::kImageTaskDone]);
    m_list.SetItemText(item, 1, AfxLoadString(textId));
}

void CTaskExecutionPage::SetRowState(int row, UINT textId, TaskState state) noexcept
{
    static constexpr int kSlots[] = {CTarnwickApp::kImageTaskDone, CTarnwickApp::kImageTaskRunning,
                                     CTarnwickApp::kImageTaskDone, CTarnwickApp::kImageTaskFailed};
    m_list.SetItemImage(row, 0, App().m_images[kSlots[static_cast<int>(state)]]);
    m_list.SetItemText(row, 1, AfxLoadString(textId));
    m_list.SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void CTaskExecutionPage::ShowFailure(UINT messageId) noexcept
{
    (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, messageId);
}
