// CPageRoute: see PageRoute.h.
#include "PageRoute.h"

#include "ResourceIds.h"
#include "TarnwickSheet.h"

uint32_t CPageRoute::FirstPage(bool secondPass) noexcept
{
    return secondPass ? CTarnwickSheet::kMessageIndex : CTarnwickSheet::kWelcomeIndex;
}

LRESULT CPageRoute::AfterWelcome(bool discoveryFailed) noexcept
{
    return discoveryFailed ? IDD_COMPLETION : 0;
}

LRESULT CPageRoute::AfterConfirmation(int answer) noexcept
{
    return answer == IDYES ? IDD_TASK_EXECUTION : CPropertyPage::kStayOnPage;
}

LRESULT CPageRoute::AfterTasks(bool upgradeFailed, bool secondPass) noexcept
{
    return !upgradeFailed && !secondPass ? IDD_MESSAGE : IDD_COMPLETION;
}
