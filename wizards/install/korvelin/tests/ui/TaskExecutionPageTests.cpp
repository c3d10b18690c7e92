// The task page on a lab node: each pass's rows end to end, each row's
// failure, the worker's hand-over, and the reboot offer at Finish.
#include "TaskExecutionPage.h"

#include "LabFaults.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "StringIds.h"
#include "Tarnwick.h"
#include "UpgradeNode.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

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

HWND TaskList(HWND sheet) { return ::GetDlgItem(ScriptedUser::CurrentPageWindow(sheet), IDC_TASK_LIST); }

std::wstring StatusText(HWND sheet)
{
    wchar_t text[512] = {};
    ::GetDlgItemTextW(ScriptedUser::CurrentPageWindow(sheet), IDC_TASK_STATUS, text, 512);
    return text;
}

std::vector<Row> Rows(HWND sheet)
{
    std::vector<Row> rows;
    for (const CSeenListItem& item : ScriptedUser::ReadList(TaskList(sheet)))
    {
        UINT text = 0;
        for (const UINT id : {IDS_TASK_SYSNAME_FILE, IDS_TASK_ADD_STARTUP, IDS_TASK_SAVE_STATE, IDS_TASK_RENAME,
                              IDS_TASK_SERVICES_MANUAL, IDS_TASK_RECORD_VERSION, IDS_TASK_REMOVE_STARTUP})
            if (item.columns.size() > 1 && item.columns[1] == AfxLoadString(id))
                text = id;
        int slot = -1;
        for (int s = 0; s < CTarnwickApp::kImageCount && slot < 0; ++s)
            if (theApp.m_images[s] == item.image)
                slot = s;
        rows.push_back({text, slot});
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

// Presses Finish and answers the restart question, if it comes, with
// restart; the boxes seen until the sheet is gone.
std::vector<int> Finish(HWND sheet, int restart)
{
    std::vector<int> boxes;
    ScriptedUser::PressButton(sheet, PSBTN_FINISH);
    EXPECT_TRUE(ScriptedUser::AnswerBoxesUntil([&] { return !::IsWindow(sheet); }, [&](int) { return restart; },
                                               boxes));
    return boxes;
}

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
        Finish(sheet, IDNO);
    });
    return outcome;
}
} // namespace

TEST(TaskExecutionPageTests, FirstPassPreparesTheNodeEndToEnd)
{
    CUpgradeNode node(CUpgradeNode::kFirstPass);
    const Outcome outcome = RunTasks(node);
    EXPECT_EQ((std::vector<Row>{{IDS_TASK_SYSNAME_FILE, kDone}, {IDS_TASK_ADD_STARTUP, kDone},
                                {IDS_TASK_SAVE_STATE, kDone}, {IDS_TASK_RENAME, kDone}}),
              outcome.rows);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_EQ(AfxLoadString(IDS_TASKS_DONE), outcome.status);
    EXPECT_EQ(IDD_MESSAGE, outcome.next);
    EXPECT_EQ("NODE1", node.SysnameFile());
    EXPECT_NE(L"-", node.StartUpEntry());
    EXPECT_EQ(L"211", CUpgradeNode::ConfigValue(L"InstallState"));
    EXPECT_EQ(L"NODE1", CUpgradeNode::ConfigValue(L"OrgCompName"));
    EXPECT_EQ(L"EVS1", CLabScenario::PendingComputerName());
    EXPECT_TRUE(theApp.m_rebootNeeded);
}
