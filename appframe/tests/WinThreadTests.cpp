// The framework's worker threads and its mutex, as the task page and the
// single-instance check use them.
#include "AfxMt.h"

#include <gtest/gtest.h>

#include <thread>

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

// The single-instance check: an owned mutex cannot be taken by another thread,
// one its owner left behind can.
TEST(MutexTests, OwnedRefusesOthersAndAbandonedCountsAsTaken)
{
    CMutex owned(TRUE, nullptr);
    ASSERT_EQ(0u, owned.GetCreateError());
    bool takenByOther = true;
    std::thread([&] { takenByOther = owned.Lock(0); }).join();
    EXPECT_FALSE(takenByOther);
    EXPECT_TRUE(owned.Unlock());
    EXPECT_FALSE(owned.Unlock()) << "released once only";

    CMutex abandoned(FALSE, nullptr);
    std::thread([&] { ASSERT_TRUE(abandoned.Lock(0)); }).join();
    EXPECT_TRUE(abandoned.Lock(0));
    EXPECT_TRUE(abandoned.Unlock());
}
