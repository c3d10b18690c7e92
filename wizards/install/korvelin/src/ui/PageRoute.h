// Which page follows which: the sheet's routing decisions on plain values, so
// a table can test them without windows. Results follow the page handlers'
// convention: a dialog id jumps, -1 stays, 0 goes on to the next page.
#pragma once

#include <windows.h>

#include <cstdint>

class CPageRoute
{
public:
    // The index of the page the sheet opens on: the message page in the second
    // pass, the welcome page otherwise.
    static uint32_t FirstPage(bool secondPass) noexcept;
    // Leaving the welcome page: a failed discovery ends on the completion page.
    static LRESULT AfterWelcome(bool discoveryFailed) noexcept;
    // Leaving a page through the confirmation box: Yes goes to the tasks,
    // every other answer (-1 when no box was shown) stays.
    static LRESULT AfterConfirmation(int answer) noexcept;
    // Leaving the task page: the message page's reboot offer after a good
    // first pass, the completion page after a failure and in the second pass.
    static LRESULT AfterTasks(bool upgradeFailed, bool secondPass) noexcept;
};
