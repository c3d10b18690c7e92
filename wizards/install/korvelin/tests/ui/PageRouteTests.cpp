// Which page follows which, for every combination the pages can meet.
#include "PageRoute.h"

#include "ResourceIds.h"
#include "TarnwickSheet.h"

#include <gtest/gtest.h>

TEST(PageRouteTests, EveryRouteForEveryValue)
{
    EXPECT_EQ(uint32_t{CTarnwickSheet::kWelcomeIndex}, CPageRoute::FirstPage(false));
    EXPECT_EQ(uint32_t{CTarnwickSheet::kMessageIndex}, CPageRoute::FirstPage(true));
    EXPECT_EQ(IDD_COMPLETION, CPageRoute::AfterWelcome(true)) << "a failed discovery ends on the last page";
    EXPECT_EQ(0, CPageRoute::AfterWelcome(false));
    EXPECT_EQ(IDD_TASK_EXECUTION, CPageRoute::AfterConfirmation(IDYES));
    for (int answer : {IDNO, IDCANCEL, -1, 0})
        EXPECT_EQ(-1, CPageRoute::AfterConfirmation(answer)) << "only Yes goes to the tasks, not " << answer;
    // Only a good first pass ends on the message page's reboot offer.
    EXPECT_EQ(IDD_MESSAGE, CPageRoute::AfterTasks(false, false));
    for (const auto& [failed, secondPass] : {std::pair(true, false), std::pair(false, true), std::pair(true, true)})
        EXPECT_EQ(IDD_COMPLETION, CPageRoute::AfterTasks(failed, secondPass)) << failed << secondPass;
}
