// The welcome and the message page on a lab node: the first pass's discovery, the second
// pass's version check, discovery and confirmation, the first pass's end and restart offer.
#include "LabFaults.h"
#include "ResourceIds.h"
#include "ScriptedUser.h"
#include "StringIds.h"
#include "Tarnwick.h"
#include "UpgradeNode.h"
#include "WaitUntil.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

namespace
{
using KvLab::Entry;
constexpr Entry kOpen = Entry::QLXClusterOpenLocal, kInit = Entry::QLXApiInit;
// Any cluster error but the hung engine's, which would restart the engine.
constexpr DWORD kRefused = ERROR_ACCESS_DENIED;

uint32_t ClusterCalls()
{
    return KvLab::CallCount(Entry::QLXFillCntlInfo) + KvLab::CallCount(kInit) + KvLab::CallCount(kOpen) +
           KvLab::CallCount(Entry::QLXObjGetNames);
}

// Presses button and answers the wizard's boxes as answer says until `boxes`
// have come and gone and the sheet shows page; the boxes' ids in order.
std::vector<int> Press(HWND sheet, int button, int page, size_t boxes, const std::function<int(int)>& answer)
{
    std::vector<int> seen;
    ScriptedUser::PressButton(sheet, button);
    // The page first: the sheet answers once its handler has returned, or
    // from the loop of a box it shows next, which is then up.
    EXPECT_TRUE(ScriptedUser::AnswerBoxesUntil(
        [&] {
            return seen.size() >= boxes && ScriptedUser::CurrentPage(sheet) == page &&
                   !ScriptedUser::FindMessageBox(L"M-42-13-");
        },
        answer, seen))
        << "page " << ScriptedUser::CurrentPage(sheet);
    return seen;
}

// Lets the task page's worker end, goes on to the last page and finishes there.
void FinishAfterTasks(HWND sheet)
{
    const HWND status = ::GetDlgItem(ScriptedUser::CurrentPageWindow(sheet), IDC_TASK_STATUS);
    std::vector<int> seen;
    EXPECT_TRUE(ScriptedUser::AnswerBoxesUntil(
        [&] { return ::GetWindowTextLengthW(status) > 0 && ::IsWindowEnabled(::GetDlgItem(sheet, ID_WIZNEXT)); },
        [](int) { return IDOK; }, seen));
    Press(sheet, PSBTN_NEXT, IDD_COMPLETION, 0, [](int) { return IDOK; });
    ScriptedUser::FinishWizard(sheet, IDNO);
}

// answer: to the failure of fault's first call; 0: the discovery is skipped.
struct WelcomeCase { const char* name; Entry fault; int answer; std::vector<int> boxes; int page;
                     uint32_t upgradeFailed, reads; };
class WelcomeNextTest : public ::testing::TestWithParam<WelcomeCase> {};

// text, nextText: the face, 0: not checked; reads: over two presses of Next.
struct VersionCase { const char* name; DWORD minor; UINT text, nextText; int box, answer; uint32_t reads;
                     bool skip = false; };
class MessageNextTest : public ::testing::TestWithParam<VersionCase> {};

// logged: the answer's log line, null: none.
struct RestartCase { const char* name; bool rebootNeeded; int answer; std::vector<int> boxes; const char* logged;
                     size_t shutdowns; bool shutdownFails = false; };
class FirstPassFinishTest : public ::testing::TestWithParam<RestartCase> {};

template <class Case> std::string NameOf(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }
} // namespace

TEST_P(WelcomeNextTest, DiscoversTheClusterOrEnds)
{
    const WelcomeCase& c = GetParam();
    // The library is readied once per process: only a fresh one sees it fail.
    if (c.fault == kInit && !InFreshProcess())
    {
        EXPECT_EQ(0u, RunInFreshProcess());
        return;
    }
    CUpgradeNode node(CUpgradeNode::kFirstPass);
    const bool skip = c.answer == 0;
    skip ? CUpgradeNode::SetSkipDiscovery() : KvLab::FailCall(c.fault, 1, kRefused);
    std::vector<int> boxes;
    node.Run(CTarnwickSheet::kWelcomeIndex, [&](HWND sheet) {
        ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_WELCOME));
        boxes = Press(sheet, PSBTN_NEXT, c.page, c.boxes.size(), [&](int) { return c.answer; });
        if (c.page == IDD_COMPLETION)
            ScriptedUser::FinishWizard(sheet, IDNO);
        else
            EXPECT_TRUE(ScriptedUser::CancelWizard(sheet));
    });
    EXPECT_EQ(c.boxes, boxes);
    EXPECT_EQ(c.upgradeFailed, theApp.m_upgradeFailed);
    EXPECT_EQ(skip ? 1u : 0u, theApp.m_skipDiscovery);
    EXPECT_EQ(c.reads, KvLab::CallCount(kOpen));
    EXPECT_TRUE(!skip || ClusterCalls() == 0) << "a skipped discovery calls the cluster";
    CSystem* system = nullptr;
    EXPECT_EQ(c.page == IDD_EVS_SELECT && !skip,
              theApp.m_cluster.LookupSystem(L"NODE1", system, CCluster::kByComputerName).IsSuccess());
}

INSTANTIATE_TEST_SUITE_P(
    WelcomeMessage, WelcomeNextTest,
    ::testing::ValuesIn(std::vector<WelcomeCase>{
        {"Skipped", kOpen, 0, {}, IDD_EVS_SELECT, 0, 0},
        {"ReadAgain", kOpen, IDRETRY, {IDS_CLUSTER_READ_RETRY}, IDD_EVS_SELECT, 0, 2},
        {"Cancelled", kOpen, IDCANCEL, {IDS_CLUSTER_READ_RETRY}, IDD_COMPLETION, 1, 1},
        {"LibraryFails", kInit, IDOK, {IDS_CLUSTER_API_FAILED}, IDD_COMPLETION, 1, 0}}),
    NameOf<WelcomeCase>);

// Back and each refused Next leave the page as it is; a confirmation starts the tasks.
TEST_P(MessageNextTest, ChecksTheVersionBeforeTheTasks)
{
    const VersionCase& c = GetParam();
    CUpgradeNode node(CUpgradeNode::kSecondPass, c.minor);
    if (c.skip)
        CUpgradeNode::SetSkipDiscovery();
    std::wstring confirmation;
    const auto answer = [&](int) {
        confirmation = ScriptedUser::Read(ScriptedUser::FindMessageBox(KV_MESSAGE_TAGW(IDS_CONFIRM_CHANGES))).text;
        return c.answer;
    };
    node.Run(CTarnwickSheet::kMessageIndex, [&](HWND sheet) {
        ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_MESSAGE));
        if (c.text)
        {
            EXPECT_EQ(AfxLoadString(c.text),
                      ScriptedUser::TextOf(::GetDlgItem(ScriptedUser::CurrentPageWindow(sheet), IDC_MESSAGE_SECOND_TEXT)));
            EXPECT_EQ(AfxLoadString(c.nextText), ScriptedUser::TextOf(::GetDlgItem(sheet, ID_WIZNEXT)));
        }
        ScriptedUser::PressButton(sheet, PSBTN_BACK);
        for (int press = 0; press < 2; ++press)
            EXPECT_EQ(std::vector<int>{c.box}, Press(sheet, PSBTN_NEXT, IDD_MESSAGE, 1, answer)) << "press " << press;
        EXPECT_EQ(c.reads, KvLab::CallCount(kOpen));
        EXPECT_GE(1u, KvLab::CallCount(kInit)) << "the library is readied once per page, if not before";
        EXPECT_TRUE(c.reads != 0 || ClusterCalls() == 0) << "no discovery, no cluster call";
        if (c.box != IDS_CONFIRM_CHANGES)
            return (void)ScriptedUser::CancelWizard(sheet);
        EXPECT_EQ(std::wstring::npos, confirmation.find(L'%')) << "no placeholder left unformatted";
        Press(sheet, PSBTN_NEXT, IDD_TASK_EXECUTION, 1, [](int) { return IDYES; });
        FinishAfterTasks(sheet);
    });
    EXPECT_EQ(c.skip ? 1u : 0u, theApp.m_skipDiscovery);
}

INSTANTIATE_TEST_SUITE_P(
    WelcomeMessage, MessageNextTest,
    ::testing::ValuesIn(std::vector<VersionCase>{
        {"StillToUpgrade", 1, IDS_RUN_SETUP_TEXT, IDS_BUTTON_VERIFY, IDS_NOT_UPGRADED_YET, IDOK, 0},
        {"Upgraded", 2, IDS_UPGRADE_DETECTED_TEXT, IDS_BUTTON_NEXT, IDS_CONFIRM_CHANGES, IDNO, 2},
        {"OtherVersion", 3, 0, 0, IDS_CONFIRM_CHANGES, IDNO, 0},
        {"UpgradedDiscoverySkipped", 2, 0, 0, IDS_CONFIRM_CHANGES, IDNO, 0, true}}),
    NameOf<VersionCase>);

TEST(WelcomeMessagePageTests, FailedDiscoveryAsksAgainThenGoesOnWithoutTheSummary)
{
    CUpgradeNode node(CUpgradeNode::kSecondPass, 2);
    KvLab::FailFromCall(kOpen, 1, kRefused);
    const CLogTail tail;
    int retries = 0;
    node.Run(CTarnwickSheet::kMessageIndex, [&](HWND sheet) {
        ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_MESSAGE));
        EXPECT_EQ((std::vector<int>{IDS_DISCOVERY_RETRY, IDS_DISCOVERY_RETRY, IDS_CONFIRM_CHANGES}),
                  Press(sheet, PSBTN_NEXT, IDD_MESSAGE, 3, [&](int id) {
                      return id == IDS_DISCOVERY_RETRY && retries++ == 0 ? IDYES : IDNO;
                  }));
        EXPECT_EQ(2u, KvLab::CallCount(kOpen));
        EXPECT_EQ(1u, theApp.m_discoveryFailed);
        EXPECT_TRUE(ScriptedUser::CancelWizard(sheet));
    });
    EXPECT_TRUE(tail.HasLines(
        KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "CMessagePage::_DiscoverCluster() failed: category 1, code 206.")
            KV_LOG_LINE("ERROR", IDS_LOG_INFORMATION,
                        "Cluster Discovery Failed. So upgrade summary will not be shown on final page.")))
        << tail.Untimed();
}

TEST_P(FirstPassFinishTest, OnlyFinishesAndOffersTheRestart)
{
    const RestartCase& c = GetParam();
    CUpgradeNode node(CUpgradeNode::kFirstPass);
    theApp.m_rebootNeeded = c.rebootNeeded;
    if (c.shutdownFails)
        KvLab::FailCall(Entry::InitiateSystemShutdownW, 1, ERROR_ACCESS_DENIED);
    const CLogTail tail;
    std::vector<int> boxes;
    node.Run(CTarnwickSheet::kMessageIndex, [&](HWND sheet) {
        ASSERT_TRUE(ScriptedUser::WaitForPage(sheet, IDD_MESSAGE));
        const auto usable = [&](int id) {
            const HWND button = ::GetDlgItem(sheet, id);
            return ::IsWindowVisible(button) && ::IsWindowEnabled(button);
        };
        EXPECT_TRUE(WaitUntil([&] { return usable(ID_WIZFINISH); }));
        EXPECT_EQ(AfxLoadString(IDS_BUTTON_FINISH), ScriptedUser::TextOf(::GetDlgItem(sheet, ID_WIZFINISH)));
        EXPECT_FALSE(usable(ID_WIZNEXT) || usable(ID_WIZBACK) || usable(IDCANCEL)) << "Finish is the only way on";
        boxes = ScriptedUser::FinishWizard(sheet, c.answer);
    });
    EXPECT_EQ(c.boxes, boxes);
    for (const char* line : {KV_MESSAGE_TAG(IDS_LOG_RESTART_CHOSEN), KV_MESSAGE_TAG(IDS_LOG_RESTART_DECLINED)})
        EXPECT_EQ(c.logged && std::string(c.logged) == line, tail.Has(line)) << line;
    EXPECT_EQ(c.shutdowns, CLabScenario::ShutdownRequests().size());
}

INSTANTIATE_TEST_SUITE_P(
    WelcomeMessage, FirstPassFinishTest,
    ::testing::ValuesIn(std::vector<RestartCase>{
        {"Restart", true, IDYES, {IDS_RESTART_QUESTION}, KV_MESSAGE_TAG(IDS_LOG_RESTART_CHOSEN), 1},
        {"NoRestart", true, IDNO, {IDS_RESTART_QUESTION}, KV_MESSAGE_TAG(IDS_LOG_RESTART_DECLINED), 0},
        {"NothingToRestart", false, IDYES, {}, nullptr, 0},
        {"RestartRefused", true, IDYES, {IDS_RESTART_QUESTION, IDS_RESTART_FAILED}, KV_MESSAGE_TAG(IDS_LOG_RESTART_CHOSEN),
         0, true}}),
    NameOf<RestartCase>);
