// Waiting in tests: on a condition with a deadline, never for a fixed time.
#pragma once

#include <windows.h>

#include <functional>

// Long enough for a slow prefix to show a page or a box, short enough to fail fast.
constexpr DWORD kWaitMs = 10 * 1000;

// True as soon as condition holds, false when the time runs out first.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kWaitMs);
