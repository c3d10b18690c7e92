// The one clock every wait of the program goes through. The program uses the
// real one; a test installs a clock of its own that advances at once, so a
// wait of a minute costs nothing and its schedule can be read back.
#pragma once

#include <windows.h>

class VLibClock
{
public:
    virtual ~VLibClock() = default;
    virtual void Sleep(DWORD ms) noexcept = 0;
    // Milliseconds since some fixed moment.
    virtual ULONGLONG TickCount() noexcept = 0;

    // The process's clock: the real one unless another is installed.
    static VLibClock& Current() noexcept;
    // Installs clock for the whole process (null: the real one again); the
    // caller keeps it alive while it is installed. Returns the one replaced.
    static VLibClock* Install(VLibClock* clock) noexcept;
};
