// Handle owners release exactly once and hand ownership over on move.
#include "UniqueResource.h"

#include <gtest/gtest.h>

namespace
{
bool IsOpenHandle(HANDLE handle)
{
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}
} // namespace

TEST(UniqueResourceTests, ResetAndDestructionCloseTheHandle)
{
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        unique_handle owner(raw);
        ASSERT_TRUE(IsOpenHandle(raw));
    }
    EXPECT_FALSE(IsOpenHandle(raw));
}

TEST(UniqueResourceTests, MoveTransfersOwnershipAndReleaseGivesItAway)
{
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unique_handle first(raw);
    unique_handle second(std::move(first));
    EXPECT_FALSE(first.is_valid());
    EXPECT_EQ(raw, second.get());

    HANDLE kept = second.release();
    EXPECT_FALSE(second.is_valid());
    EXPECT_TRUE(IsOpenHandle(kept));
    ::CloseHandle(kept);
}

TEST(UniqueResourceTests, AddressOfReleasesWhatWasOwned)
{
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unique_handle owner(raw);
    HANDLE* slot = &owner;
    EXPECT_FALSE(IsOpenHandle(raw));
    EXPECT_EQ(nullptr, *slot);
}

TEST(UniqueResourceTests, FileOwnerTreatsInvalidHandleValueAsEmpty)
{
    unique_hfile file(::CreateFileW(L"C:\\no\\such\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(file.is_valid());
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.get());
}
