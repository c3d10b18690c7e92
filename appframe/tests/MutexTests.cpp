// The single-instance mutex: its owner keeps it from every other thread until it lets go.
#include "AfxMt.h"

#include <gtest/gtest.h>

#include <thread>

TEST(MutexTests, AnotherThreadGetsItOnlyAfterUnlock)
{
    CMutex mutex(TRUE, nullptr);
    const auto lockedElsewhere = [&] {
        bool locked = false;
        std::thread([&] { locked = mutex.Lock(0) && mutex.Unlock(); }).join();
        return locked;
    };
    EXPECT_FALSE(lockedElsewhere());
    EXPECT_TRUE(mutex.Unlock());
    EXPECT_TRUE(lockedElsewhere());
    EXPECT_FALSE(mutex.Unlock()) << "only the owner can let go";

    // One its owner left behind when it ended counts as taken.
    CMutex abandoned(FALSE, nullptr);
    std::thread([&] { ASSERT_TRUE(abandoned.Lock(0)); }).join();
    EXPECT_TRUE(abandoned.Lock(0));
}

// A mutex another copy made first is no failure; a name taken by another kind
// of object is, and then nothing can lock it.
TEST(MutexTests, OnlyARealFailureIsKeptAsTheCreateError)
{
    const CMutex first(TRUE, L"KvMutexTestsShared");
    CMutex second(FALSE, L"KvMutexTestsShared");
    EXPECT_EQ(0u, second.GetCreateError());
    const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, L"KvMutexTestsEvent");
    CMutex clash(FALSE, L"KvMutexTestsEvent");
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), clash.GetCreateError());
    EXPECT_FALSE(clash.Lock(0));
    ::CloseHandle(event);
}
