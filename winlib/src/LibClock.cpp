// VLibClock: see LibClock.h.
#include "LibClock.h"

#include <atomic>

namespace
{
class CSystemClock final : public VLibClock
{
public:
    void Sleep(DWORD ms) noexcept override { ::Sleep(ms); }
    ULONGLONG TickCount() noexcept override { return ::GetTickCount64(); }
};

CSystemClock g_systemClock;
std::atomic<VLibClock*> g_installed{nullptr};
} // namespace

VLibClock& VLibClock::Current() noexcept
{
    VLibClock* clock = g_installed.load();
    return clock ? *clock : g_systemClock;
}

VLibClock* VLibClock::Install(VLibClock* clock) noexcept
{
    return g_installed.exchange(clock);
}
