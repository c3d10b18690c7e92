// Handle objects, mutexes and scoped locks against real kernel objects.
#include "LibLogger.h"
#include "LibMutex.h"
#include "LibSingleLock.h"

#include <gtest/gtest.h>

#include <thread>

TEST(LibWin32ObjectTests, IsOpenIsFalseForNullAndInvalidHandles)
{
    VLibWin32Object none;
    EXPECT_FALSE(none.IsOpen());
    VLibWin32Object invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(invalid.IsOpen());
    EXPECT_TRUE(invalid.Close().IsSuccess());
    EXPECT_EQ(nullptr, invalid.GetHandle());
}

TEST(LibWin32ObjectTests, AttachClosesTheOldHandleAndDetachHandsOver)
{
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
    std::thread owner([&] { ASSERT_TRUE(mutex.Wait(INFINITE).IsSuccess()); });
    owner.join();
    EXPECT_TRUE(mutex.Wait(1000).IsSuccess());
    EXPECT_TRUE(mutex.Release().IsSuccess());
}

TEST(LibMutexTests, TimeoutIs2Slash258)
{
    VLibMutex mutex;
    ASSERT_TRUE(mutex.Create(true, nullptr).IsSuccess());
    CStatus result;
    std::thread other([&] { result = mutex.Wait(20); });
    other.join();
    EXPECT_EQ(2u, result.GetCategory());
    EXPECT_EQ(258u, result.GetCode());
    EXPECT_TRUE(mutex.Release().IsSuccess());
}

TEST(LibMutexTests, CreatingAnExistingNamedMutexSetsTheFlagAndDoesNotOwnIt)
{
    VLibMutex first;
    bool existed = false;
    ASSERT_TRUE(first.Create(true, L"KvLibSyncTests_Existing", &existed).IsSuccess());
    EXPECT_FALSE(existed);
    EXPECT_EQ(L"KvLibSyncTests_Existing", first.GetName());

    CStatus waited;
    bool secondExisted = false;
    std::thread other([&] {
        VLibMutex second;
        ASSERT_TRUE(second.Create(true, L"KvLibSyncTests_Existing", &secondExisted).IsSuccess());
        // The first owner still holds it, so another thread cannot get it.
        waited = second.Wait(20);
    });
    other.join();
    EXPECT_TRUE(secondExisted);
    EXPECT_EQ(258u, waited.GetCode());
    EXPECT_TRUE(first.Release().IsSuccess());
}

TEST(LibMutexTests, ReleaseOfAMutexNotOwnedFailsAndIsTraced)
{
    VLibThreadLogQueue& queue = VLibThreadLogQueue::Global();
    queue.RegisterThread();
    VLibMutex mutex;
    ASSERT_TRUE(mutex.Create(false, L"KvLibSyncTests_NotOwned").IsSuccess());
    const CStatus released = mutex.Release();
    EXPECT_EQ(2u, released.GetCategory());
    EXPECT_EQ(static_cast<uint32_t>(ERROR_NOT_OWNER), released.GetCode());
    EXPECT_EQ(1u, queue.CountForThisThread());
    queue.ClearAll();

    EXPECT_TRUE(mutex.Close().IsSuccess());
    EXPECT_TRUE(mutex.GetName().empty());
}

TEST(LibSingleLockTests, DestroyedWhileLockedReleases)
{
    VLibMutex mutex;
    ASSERT_TRUE(mutex.Create(false, nullptr).IsSuccess());
    {
        VLibSingleLock lock(&mutex, true);
        EXPECT_TRUE(lock.IsLocked());
    }
    CStatus fromOther;
    std::thread other([&] {
        fromOther = mutex.Wait(100);
        (void)mutex.Release();
    });
    other.join();
    EXPECT_TRUE(fromOther.IsSuccess()) << "the lock was released at the end of its scope";
}

TEST(LibSingleLockTests, DestroyedAfterAFailedWaitReleasesNothing)
{
    VLibMutex mutex;
    ASSERT_TRUE(mutex.Create(true, nullptr).IsSuccess());
    std::thread other([&] {
        VLibSingleLock lock(&mutex, false);
        EXPECT_EQ(258u, lock.Wait(10).GetCode());
        EXPECT_FALSE(lock.IsLocked());
    });
    other.join();
    // Still ours: releasing once works, a second time fails.
    EXPECT_TRUE(mutex.Release().IsSuccess());
    EXPECT_TRUE(mutex.Release().IsFailed());
}

// Locking what is not open, or locking twice, is a programming error the
// library stops at once instead of waiting on a dead handle.
TEST(LibSingleLockDeathTest, RefusesAClosedObjectAndASecondWait)
{
    VLibMutex closed;
    EXPECT_DEATH({ VLibSingleLock lock(&closed, false); }, "IsOpen");
    VLibMutex mutex;
    ASSERT_TRUE(mutex.Create(false, nullptr).IsSuccess());
    EXPECT_DEATH(
        {
            VLibSingleLock lock(&mutex, true);
            (void)lock.Wait(0);
        },
        "_locked");
}
