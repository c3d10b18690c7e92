// WaitUntil: see WaitUntil.h.
#include "WaitUntil.h"

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    // Windows of other threads have no event to wait on: look again soon.
    constexpr DWORD kPollMs = 10;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;)
    {
        if (condition())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(kPollMs);
    }
}
