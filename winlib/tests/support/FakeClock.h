// A clock for tests: installed for its lifetime, it advances at once by each
// sleep and records it. onSleep runs after a sleep has been recorded, with
// the number of sleeps so far, so a test can change the world between polls.
#pragma once

#include "LibClock.h"

#include <functional>
#include <vector>

class CFakeClock final : public VLibClock
{
public:
    CFakeClock() noexcept : _replaced(VLibClock::Install(this)) {}
    ~CFakeClock() override { VLibClock::Install(_replaced); }
    CFakeClock(const CFakeClock&) = delete;
    CFakeClock& operator=(const CFakeClock&) = delete;

    void Sleep(DWORD ms) noexcept override
    {
        sleeps.push_back(ms);
        now += ms;
        if (onSleep)
            onSleep(sleeps.size());
    }
    ULONGLONG TickCount() noexcept override { return now; }

    std::vector<DWORD> sleeps;
    ULONGLONG now = 1000;
    std::function<void(size_t sleeps)> onSleep;

private:
    VLibClock* _replaced;
};
