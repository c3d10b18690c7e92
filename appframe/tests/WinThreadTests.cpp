// The framework's worker threads, as the task page uses them.
#include "AfxMt.h"

#include <gtest/gtest.h>

namespace
{
UINT __cdecl Worker(LPVOID param)
{
    auto* seen = static_cast<int*>(param);
    return static_cast<UINT>(++*seen);
}
} // namespace

TEST(WinThreadTests, RunsTheFunctionWithItsParameterAndCanBeWaitedFor)
{
    int seen = 41;
    const std::unique_ptr<CWinThread> thread = AfxBeginThread(&Worker, &seen);
    ASSERT_NE(nullptr, thread);
    ASSERT_TRUE(thread->Wait(30000));
    DWORD exitCode = 0;
    ASSERT_TRUE(::GetExitCodeThread(thread->GetHandle(), &exitCode));
    EXPECT_EQ(42u, exitCode);
    EXPECT_EQ(42, seen);
}
