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
