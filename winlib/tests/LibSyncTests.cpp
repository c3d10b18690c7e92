// Handle objects, mutexes and scoped locks against real kernel objects.
#include "LibLogger.h"
#include "LibMutex.h"
#include "LibSingleLock.h"

#include <gtest/gtest.h>

#include <thread>

TEST(LibWin32ObjectTests, NullAndInvalidAreClosedAttachClosesTheOldHandleAndDetachHandsOver)
{
    VLibWin32Object none, invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(none.IsOpen() || invalid.IsOpen());
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

// A mutex left owned by an ended thread is taken; releasing one not owned fails and is traced.
TEST(LibMutexTests, AnAbandonedMutexIsTakenAndReleasingOneNotOwnedFails)
{
    VLibMutex mutex;
    ASSERT_TRUE(mutex.Create(false, L"KvLibSyncTests_NotOwned").IsSuccess());
    std::thread([&] { ASSERT_TRUE(mutex.Wait(INFINITE).IsSuccess()); }).join();
    EXPECT_TRUE(mutex.Wait(1000).IsSuccess());
    EXPECT_TRUE(mutex.Release().IsSuccess());
    VLibThreadLogQueue& queue = VLibThreadLogQueue::Global();
    queue.RegisterThread();
    const CStatus released = mutex.Release();
    EXPECT_EQ(std::make_pair(2u, static_cast<uint32_t>(ERROR_NOT_OWNER)),
              std::make_pair(released.GetCategory(), released.GetCode()));
    EXPECT_EQ(1u, queue.CountForThisThread());
    queue.ClearAll();
    EXPECT_TRUE(mutex.Close().IsSuccess());
    EXPECT_TRUE(mutex.GetName().empty());
}

// A lock releases what it holds, once, at the latest at the end of its scope, and only that. Creating
// an existing named mutex finds it without owning it, so a lock on it times out as 2/258.
TEST(LibSingleLockTests, DestroyedLockReleasesOnlyWhatItHolds)
{
    VLibMutex free, owned;
    bool existed = false, secondExisted = false;
    ASSERT_TRUE(free.Create(false, nullptr).IsSuccess());
    ASSERT_TRUE(owned.Create(true, L"KvLibSyncTests_Existing", &existed).IsSuccess());
    EXPECT_FALSE(existed);
    EXPECT_EQ(L"KvLibSyncTests_Existing", owned.GetName());
    {
        VLibSingleLock lock(&free, true), inner(&free, true); // the mutex counts both
        EXPECT_TRUE(inner.Release().IsSuccess() && !inner.IsLocked() && lock.IsLocked());
    }
    std::thread([&] {
        EXPECT_TRUE(free.Wait(100).IsSuccess()) << "released at the end of the scope";
        (void)free.Release();
        VLibMutex second;
        ASSERT_TRUE(second.Create(true, L"KvLibSyncTests_Existing", &secondExisted).IsSuccess());
        VLibSingleLock lock(&second, false);
        const CStatus waited = lock.Wait(10);
        EXPECT_EQ(std::make_pair(2u, 258u), std::make_pair(waited.GetCategory(), waited.GetCode()));
        EXPECT_FALSE(lock.IsLocked());
    }).join();
    EXPECT_TRUE(secondExisted);
    EXPECT_TRUE(owned.Release().IsSuccess()) << "still ours after the failed lock";
}

// Locking what is not open, or locking twice, is a programming error the
// library stops at once instead of waiting on a dead handle.
TEST(LibSingleLockDeathTest, RefusesAClosedObjectAndASecondWait)
{
    VLibMutex mutex;
    EXPECT_DEATH({ VLibSingleLock lock(&mutex, false); }, "IsOpen");
    ASSERT_TRUE(mutex.Create(false, nullptr).IsSuccess());
    EXPECT_DEATH({ VLibSingleLock lock(&mutex, true); (void)lock.Wait(0); }, "_locked");
}
