// Handle objects, mutexes and scoped locks against real kernel objects.
#include "LibLogger.h"
#include "LibMutex.h"
#include "LibSingleLock.h"

#include <gtest/gtest.h>

#include <thread>

TEST(LibWin32ObjectTests, NullAndInvalidAreClosedAttachClosesTheOldHandleAndDetachHandsOver)
{
    VLibWin32Object none, invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(none.IsOpen());
    EXPECT_FALSE(invalid.IsOpen());
    EXPECT_TRUE(invalid.Close().IsSuccess());
    EXPECT_EQ(nullptr, invalid.GetHandle());

    HANDLE first = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE second = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    VLibWin32Object object(first);
    EXPECT_TRUE(object.Attach(second).IsSuccess());
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(first, &flags)) << "the old handle is closed";
    EXPECT_EQ(second, object.Detach());
    EXPECT_FALSE(object.IsOpen());
    EXPECT_TRUE(::GetHandleInformation(second, &flags)) << "a detached handle stays open";
    ::CloseHandle(second);
}

TEST(LibMutexTests, WaitOnAMutexAbandonedByAnEndedThreadSucceeds)
{
    VLibMutex mutex;
    ASSERT_TRUE(mutex.Create(false, nullptr).IsSuccess());
    std::thread([&] { ASSERT_TRUE(mutex.Wait(INFINITE).IsSuccess()); }).join();
    EXPECT_TRUE(mutex.Wait(1000).IsSuccess());
    EXPECT_TRUE(mutex.Release().IsSuccess());
}

// Another thread's wait on the still-owned mutex times out as 2/258.
TEST(LibMutexTests, CreatingAnExistingNamedMutexSetsTheFlagAndDoesNotOwnIt)
{
    VLibMutex first;
    bool existed = false, secondExisted = false;
    ASSERT_TRUE(first.Create(true, L"KvLibSyncTests_Existing", &existed).IsSuccess());
    EXPECT_FALSE(existed);
    EXPECT_EQ(L"KvLibSyncTests_Existing", first.GetName());
    CStatus waited;
    std::thread([&] {
        VLibMutex second;
        ASSERT_TRUE(second.Create(true, L"KvLibSyncTests_Existing", &secondExisted).IsSuccess());
        waited = second.Wait(20);
    }).join();
    EXPECT_TRUE(secondExisted);
    EXPECT_EQ(std::make_pair(2u, 258u), std::make_pair(waited.GetCategory(), waited.GetCode()));
    EXPECT_TRUE(first.Release().IsSuccess());
}

TEST(LibMutexTests, ReleaseOfAMutexNotOwnedFailsAndIsTraced)
{
    VLibThreadLogQueue& queue = VLibThreadLogQueue::Global();
    queue.RegisterThread();
    VLibMutex mutex;
    ASSERT_TRUE(mutex.Create(false, L"KvLibSyncTests_NotOwned").IsSuccess());
    const CStatus released = mutex.Release();
    EXPECT_EQ(std::make_pair(2u, static_cast<uint32_t>(ERROR_NOT_OWNER)),
              std::make_pair(released.GetCategory(), released.GetCode()));
    EXPECT_EQ(1u, queue.CountForThisThread());
    queue.ClearAll();
    EXPECT_TRUE(mutex.Close().IsSuccess());
    EXPECT_TRUE(mutex.GetName().empty());
}

// A lock releases what it holds, once, at the latest at the end of its scope, and only that.
TEST(LibSingleLockTests, DestroyedLockReleasesOnlyWhatItHolds)
{
    VLibMutex free, owned;
    ASSERT_TRUE(free.Create(false, nullptr).IsSuccess());
    ASSERT_TRUE(owned.Create(true, nullptr).IsSuccess());
    {
        VLibSingleLock lock(&free, true), inner(&free, true); // the mutex counts both
        EXPECT_TRUE(inner.Release().IsSuccess() && !inner.IsLocked() && lock.IsLocked());
    }
    std::thread([&] {
        EXPECT_TRUE(free.Wait(100).IsSuccess()) << "released at the end of the scope";
        (void)free.Release();
        VLibSingleLock lock(&owned, false);
        EXPECT_EQ(258u, lock.Wait(10).GetCode());
        EXPECT_FALSE(lock.IsLocked());
    }).join();
    EXPECT_TRUE(owned.Release().IsSuccess()) << "still ours after the failed lock";
    EXPECT_TRUE(owned.Release().IsFailed());
}

// Locking what is not open, or locking twice, is a programming error the
// library stops at once instead of waiting on a dead handle.
TEST(LibSingleLockDeathTest, RefusesAClosedObjectAndASecondWait)
{
    VLibMutex closed;
    EXPECT_DEATH({ VLibSingleLock lock(&closed, false); }, "IsOpen");
    VLibMutex mutex;
    ASSERT_TRUE(mutex.Create(false, nullptr).IsSuccess());
    EXPECT_DEATH({ VLibSingleLock lock(&mutex, true); (void)lock.Wait(0); }, "_locked");
}
