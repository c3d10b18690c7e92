// Which page follows which, for every combination the pages can meet (the
// first page of each pass is seen in the start-up tests).
#include "PageRoute.h"

#include "ResourceIds.h"

#include <gtest/gtest.h>

TEST(PageRouteTests, FailedDiscoveryEndsOnTheCompletionPage)
{
    EXPECT_EQ(IDD_COMPLETION, CPageRoute::AfterWelcome(true));
    EXPECT_EQ(0, CPageRoute::AfterWelcome(false));
}

TEST(PageRouteTests, OnlyYesGoesToTheTasks)
{
    EXPECT_EQ(IDD_TASK_EXECUTION, CPageRoute::AfterConfirmation(IDYES));
    for (int answer : {IDNO, IDCANCEL, -1, 0})
        EXPECT_EQ(-1, CPageRoute::AfterConfirmation(answer)) << answer;
}

TEST(PageRouteTests, OnlyAGoodFirstPassEndsOnTheMessagePage)
{
    struct Case
    {
        bool failed, secondPass;
        LRESULT next;
    };
    for (const Case& c : {Case{false, false, IDD_MESSAGE}, Case{true, false, IDD_COMPLETION},
                          Case{false, true, IDD_COMPLETION}, Case{true, true, IDD_COMPLETION}})
        EXPECT_EQ(c.next, CPageRoute::AfterTasks(c.failed, c.secondPass)) << c.failed << c.secondPass;
}
