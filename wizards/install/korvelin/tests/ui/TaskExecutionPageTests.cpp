// The task page on a lab node: each pass's rows end to end, each row's
// failure, the worker's hand-over, and the reboot offer at Finish.
#include "TaskExecutionPage.h"

#include "L10nUtil.h"
#include "LabFaults.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "StringIds.h"
#include "FunctionLog.h"
#include "Tarnwick.h"
#include "Util.h"
#include "UpgradeNode.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace
{
using KvLab::Entry;

// A row as the list shows it: its text id and its picture's slot.
struct Row
{
    UINT text;
    int slot;
    bool operator==(const Row& other) const { return text == other.text && slot == other.slot; }
};
void PrintTo(const Row& row, std::ostream* out) { *out << row.text << "/" << row.slot; }

constexpr int kAdded = CTarnwickApp::kImageTaskDone, kDone = CTarnwickApp::kImageTaskDone,
              kRunning = CTarnwickApp::kImageTaskRunning, kFailed = CTarnwickApp::kImageTaskFailed;

std::wstring StatusText(HWND sheet)
{
    wchar_t text[512] = {};
    ::GetDlgItemTextW(ScriptedUser::CurrentPageWindow(sheet), IDC_TASK_STATUS, text, 512);
    return text;
}

std::vector<Row> Rows(HWND sheet)
{
    std::vector<Row> rows;
    for (const CSeenListItem& item : ScriptedUser::ReadList(::GetDlgItem(ScriptedUser::CurrentPageWindow(sheet), IDC_TASK_LIST)))
    {
        Row row{0, -1};
        for (const UINT id : {IDS_TASK_SYSNAME_FILE, IDS_TASK_ADD_STARTUP, IDS_TASK_SAVE_STATE, IDS_TASK_RENAME,
                              IDS_TASK_SERVICES_MANUAL, IDS_TASK_RECORD_VERSION, IDS_TASK_REMOVE_STARTUP})
            row.text = item.columns.at(1) == AfxLoadString(id) ? id : row.text;
        for (int s = CTarnwickApp::kImageCount - 1; s >= 0; --s)
            row.slot = theApp.m_images[s] == item.image ? s : row.slot;
        rows.push_back(row);
    }
    return rows;
}

// What a run of the task page left: the rows, the boxes in order, the status
// text and the page Next leads to.
struct Outcome
{
    std::vector<Row> rows;
    std::vector<int> boxes;
    std::wstring status;
    int next = 0;
};

// Runs the pass from the task page, answers every box with OK, presses Next
// once the tasks are done and finishes the wizard there without a restart.
Outcome RunTasks(CUpgradeNode& node)
{
    Outcome outcome;
    node.Run(CTarnwickSheet::kTaskIndex, [&](HWND sheet) {
        ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_TASK_EXECUTION));
        EXPECT_TRUE(ScriptedUser::AnswerBoxesUntil([&] { return !StatusText(sheet).empty(); },
                                                   [](int) { return IDOK; }, outcome.boxes));
        outcome.rows = Rows(sheet);
        outcome.status = StatusText(sheet);
        EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(sheet, ID_WIZNEXT)) != FALSE; }));
        ScriptedUser::PressButton(sheet, PSBTN_NEXT);
        EXPECT_TRUE(WaitUntil([&] { return ScriptedUser::CurrentPage(sheet) != IDD_TASK_EXECUTION; }));
        outcome.next = ScriptedUser::CurrentPage(sheet);
        ScriptedUser::FinishWizard(sheet, IDNO);
    });
    return outcome;
}
} // namespace

namespace
{
struct PassCase
{
    const char* name;
    CUpgradeNode::Pass pass;
    DWORD installedMinor;
    void (*prepare)(CUpgradeNode&);
    std::vector<Row> rows;
    std::vector<int> boxes;
    bool succeeds;
    void (*after)(const CUpgradeNode&) = nullptr; // what the node holds afterwards
};
void PrintTo(const PassCase& c, std::ostream* out) { *out << c.name; }
class TaskPassTest : public ::testing::TestWithParam<PassCase> {};

constexpr DWORD kDenied = ERROR_ACCESS_DENIED;
const std::vector<Row> kFirstAdded = {{IDS_TASK_SYSNAME_FILE, kAdded}, {IDS_TASK_ADD_STARTUP, kAdded},
                                      {IDS_TASK_SAVE_STATE, kAdded}, {IDS_TASK_RENAME, kAdded}};
std::vector<Row> FirstPassFailingAt(size_t row)
{
    std::vector<Row> rows = kFirstAdded;
    for (size_t i = 0; i < row; ++i)
        rows[i].slot = kDone;
    rows[row].slot = kFailed;
    return rows;
}
} // namespace

// Each pass's rows, boxes and outcome. A first-pass failure ends the list
// where it happens and undoes nothing; two second-pass failures do not stop it.
TEST_P(TaskPassTest, RowsBoxesAndOutcome)
{
    const PassCase& c = GetParam();
    CUpgradeNode node(c.pass, c.installedMinor);
    if (c.prepare)
        c.prepare(node);
    const Outcome outcome = RunTasks(node);
    EXPECT_EQ(c.rows, outcome.rows);
    EXPECT_EQ(c.boxes, outcome.boxes);
    EXPECT_EQ(AfxLoadString(c.succeeds ? IDS_TASKS_DONE : IDS_TASKS_FAILED), outcome.status);
    EXPECT_EQ(c.succeeds && c.pass == CUpgradeNode::kFirstPass ? IDD_MESSAGE : IDD_COMPLETION, outcome.next);
    EXPECT_EQ(c.succeeds, theApp.m_rebootNeeded);
    EXPECT_EQ(c.succeeds ? 0u : 1u, theApp.m_upgradeFailed);
    if (c.after)
        c.after(node);
}

INSTANTIATE_TEST_SUITE_P(
    Tasks, TaskPassTest,
    ::testing::Values(
        // A foreign program under the wizard's start-up name is replaced, never kept beside it.
        PassCase{"FirstPass", CUpgradeNode::kFirstPass, 1,
                 [](CUpgradeNode&) {
                     ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                       L"QLXExchInst", REG_SZ, L"C:\\other.exe", sizeof(L"C:\\other.exe"));
                 },
                 {{IDS_TASK_SYSNAME_FILE, kDone}, {IDS_TASK_ADD_STARTUP, kDone}, {IDS_TASK_SAVE_STATE, kDone},
                  {IDS_TASK_RENAME, kDone}},
                 {}, true,
                 [](const CUpgradeNode& node) { // what the second pass needs, and the new name pending
                     EXPECT_EQ("NODE1", node.SysnameFile());
                     wchar_t program[MAX_PATH] = {};
                     ::GetModuleFileNameW(nullptr, program, MAX_PATH);
                     EXPECT_EQ(program, node.StartUpEntry());
                     EXPECT_EQ(L"211", CUpgradeNode::ConfigValue(L"InstallState"));
                     EXPECT_EQ(L"NODE1", CUpgradeNode::ConfigValue(L"OrgCompName"));
                     EXPECT_EQ(L"EVS1", CLabScenario::PendingComputerName());
                 }},
        PassCase{"WorkerCannotStart", CUpgradeNode::kFirstPass, 1,
                 [](CUpgradeNode&) { KvLab::FailCall(Entry::_beginthreadex, 1, ERROR_NOT_ENOUGH_MEMORY); }, {}, {},
                 false},
        PassCase{"NodeNameUnreadable", CUpgradeNode::kFirstPass, 1,
                 [](CUpgradeNode&) { KvLab::FailFromCall(Entry::GetComputerNameW, 1, kDenied); }, kFirstAdded, {},
                 false},
        PassCase{"SysnameFileFails", CUpgradeNode::kFirstPass, 1,
                 [](CUpgradeNode& node) { node.RemoveConfDirectory(); }, FirstPassFailingAt(0),
                 {IDS_SYSNAME_FILE_FAILED}, false},
        PassCase{"StartUpFails", CUpgradeNode::kFirstPass, 1,
                 [](CUpgradeNode&) { KvLab::FailCall(Entry::RegConnectRegistryW, 1, kDenied); },
                 FirstPassFailingAt(1), {IDS_ADD_STARTUP_FAILED}, false},
        PassCase{"ProgramPathTooLongForStartUp", CUpgradeNode::kFirstPass, 1,
                 [](CUpgradeNode&) { KvLab::FailCall(Entry::GetModuleFileNameW, 1, ERROR_INSUFFICIENT_BUFFER); },
                 FirstPassFailingAt(1), {IDS_ADD_STARTUP_FAILED}, false,
                 [](const CUpgradeNode& node) { EXPECT_EQ(L"-", node.StartUpEntry()) << "no cut path registered"; }},
        PassCase{"ProgramPathUnreadable", CUpgradeNode::kFirstPass, 1,
                 [](CUpgradeNode&) { KvLab::FailCall(Entry::GetModuleFileNameW, 1, kDenied); }, FirstPassFailingAt(1),
                 {IDS_ADD_STARTUP_FAILED}, false},
        PassCase{"SaveStateFails", CUpgradeNode::kFirstPass, 1,
                 [](CUpgradeNode&) { KvLab::FailCall(Entry::RegSetValueExW, 2, kDenied); }, FirstPassFailingAt(2),
                 {IDS_SAVE_STATE_FAILED}, false},
        PassCase{"RenameFails", CUpgradeNode::kFirstPass, 1,
                 [](CUpgradeNode&) { KvLab::FailCall(Entry::NetRenameMachineInDomain, 1, kDenied); },
                 FirstPassFailingAt(3), {IDS_RENAME_FAILED}, false,
                 [](const CUpgradeNode& node) { // nothing done before is undone
                     EXPECT_EQ(L"211", CUpgradeNode::ConfigValue(L"InstallState"));
                     EXPECT_NE(L"-", node.StartUpEntry());
                     EXPECT_EQ("NODE1", node.SysnameFile());
                     EXPECT_EQ(L"", CLabScenario::PendingComputerName());
                 }},
        PassCase{"SecondPass", CUpgradeNode::kSecondPass, 2, [](CUpgradeNode&) { (void)CUtil::ModifyStartUp(0); },
                 {{IDS_TASK_SERVICES_MANUAL, kDone}, {IDS_TASK_RECORD_VERSION, kDone},
                  {IDS_TASK_REMOVE_STARTUP, kDone}, {IDS_TASK_RENAME, kDone}},
                 {}, true,
                 [](const CUpgradeNode& node) { // the node back under its own name, the new version recorded
                     EXPECT_EQ(L"8", CUpgradeNode::ConfigValue(L"ExchVersion"));
                     EXPECT_EQ(L"-", CUpgradeNode::ConfigValue(L"InstallState"));
                     EXPECT_EQ(L"-", CUpgradeNode::ConfigValue(L"OrgCompName"));
                     EXPECT_EQ(L"-", node.StartUpEntry());
                     EXPECT_EQ(L"NODE1", CLabScenario::PendingComputerName());
                     const auto actions = CLabScenario::FailureActionsOf(L"MSExchangeIS");
                     ASSERT_TRUE(actions.has_value());
                     ASSERT_EQ(1u, actions->actions.size());
                     EXPECT_EQ(SC_ACTION_NONE, actions->actions[0].Type) << "no recovery actions";
                     EXPECT_EQ(0u, actions->actions[0].Delay);
                 }},
        PassCase{"ServicesManualFailsAndTheRestRuns", CUpgradeNode::kSecondPass, 2,
                 [](CUpgradeNode&) {
                     (void)CUtil::ModifyStartUp(0);
                     KvLab::FailCall(Entry::OpenSCManagerW, 1, kDenied);
                 },
                 {{IDS_TASK_SERVICES_MANUAL, kFailed}, {IDS_TASK_RECORD_VERSION, kDone},
                  {IDS_TASK_REMOVE_STARTUP, kDone}, {IDS_TASK_RENAME, kDone}},
                 {IDS_SERVICES_MANUAL_FAILED}, true},
        PassCase{"StartUpRemovalFailsAndTheRenameDecides", CUpgradeNode::kSecondPass, 2, nullptr,
                 {{IDS_TASK_SERVICES_MANUAL, kDone}, {IDS_TASK_RECORD_VERSION, kDone},
                  {IDS_TASK_REMOVE_STARTUP, kFailed}, {IDS_TASK_RENAME, kDone}},
                 {IDS_REMOVE_STARTUP_FAILED}, true},
        PassCase{"SecondPassRenameFails", CUpgradeNode::kSecondPass, 2,
                 [](CUpgradeNode&) {
                     (void)CUtil::ModifyStartUp(0);
                     KvLab::FailCall(Entry::NetRenameMachineInDomain, 1, kDenied);
                 },
                 {{IDS_TASK_SERVICES_MANUAL, kDone}, {IDS_TASK_RECORD_VERSION, kDone},
                  {IDS_TASK_REMOVE_STARTUP, kDone}, {IDS_TASK_RENAME, kFailed}},
                 {IDS_RENAME_FAILED}, false}),
    [](const ::testing::TestParamInfo<PassCase>& info) { return std::string(info.param.name); });

// While a task is under way the sheet keeps answering, shows the row
// running, and neither Next nor Cancel can leave the page.
TEST(TaskExecutionPageTests, SheetAnswersWhileATaskRunsAndNothingLeavesThePage)
{
    CUpgradeNode node(CUpgradeNode::kFirstPass);
    KvLab::CallGate rename = KvLab::HoldCall(Entry::NetRenameMachineInDomain, 1);
    node.Run(CTarnwickSheet::kTaskIndex, [&](HWND sheet) {
        ASSERT_TRUE(rename.WaitReached(kWaitMs));
        DWORD_PTR answer = 0;
        EXPECT_NE(0, ::SendMessageTimeoutW(sheet, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &answer)) << "the sheet hangs";
        EXPECT_EQ((std::vector<Row>{{IDS_TASK_SYSNAME_FILE, kDone}, {IDS_TASK_ADD_STARTUP, kDone},
                                    {IDS_TASK_SAVE_STATE, kDone}, {IDS_TASK_RENAME, kRunning}}),
                  Rows(sheet));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(sheet, IDCANCEL)));
        ScriptedUser::PressButton(sheet, PSBTN_CANCEL);
        ScriptedUser::PressButton(sheet, PSBTN_NEXT);
        ::PostMessageW(sheet, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(WaitUntil([&] { return ::SendMessageTimeoutW(sheet, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &answer); }));
        EXPECT_EQ(IDD_TASK_EXECUTION, ScriptedUser::CurrentPage(sheet));
        EXPECT_EQ(nullptr, ScriptedUser::FindMessageBox(KV_MESSAGE_TAGW(IDS_CANCEL_QUESTION)));
        rename.Open();
        EXPECT_TRUE(WaitUntil([&] { return !StatusText(sheet).empty(); }));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(sheet, IDCANCEL))) << "Cancel stays off after the run";
        ScriptedUser::PressButton(sheet, PSBTN_NEXT);
        EXPECT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_MESSAGE));
        ScriptedUser::FinishWizard(sheet, IDNO);
    });
}

namespace
{
// The runner's reports as "add <text>", "<row>=<state>", "box <message>".
struct RecordingView final : ITaskView
{
    void ClearRows() noexcept override { events.clear(); }
    void AddRow(UINT text) noexcept override { events.push_back(L"add " + std::to_wstring(text)); }
    void SetRowState(int row, UINT, TaskState s) noexcept override
    {
        events.push_back(std::to_wstring(row) + L"=" + std::to_wstring(static_cast<int>(s)));
    }
    void ShowFailure(UINT message) noexcept override { events.push_back(L"box " + std::to_wstring(message)); }
    std::vector<std::wstring> events;
};
} // namespace

// An operation that throws fails its row like any failure and never ends the worker.
TEST(TaskExecutionPageTests, AnOperationThatThrowsFailsItsRow)
{
    const CScopedResourceModule module(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    const CLogTail log;
    KV_LOG_FUNCTION_AS(L"Runner");
    RecordingView view;
    const std::vector<CTaskRow> rows = {
        {1, [] { return CStatus::Success(); }, 11, L"first()"},
        {2, []() -> CStatus { throw std::runtime_error("broken"); }, 12, L"second()"},
        {3, [] { return CStatus::Success(); }, 13, L"third()"}};
    CTaskRunner::AddRows(view, rows);
    const CStatus status = CTaskRunner::Run(view, rows, kvLog_);
    EXPECT_EQ(std::make_pair(2u, CTaskRunner::kOperationThrew), std::make_pair(status.GetCategory(), status.GetCode()));
    EXPECT_EQ((std::vector<std::wstring>{L"add 1", L"add 2", L"add 3", L"0=1", L"0=2", L"1=1", L"1=3", L"box 12"}),
              view.events);
    EXPECT_TRUE(log.HasLines(KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "second() failed: category 2, code 574.")))
        << log.Untimed();
}
