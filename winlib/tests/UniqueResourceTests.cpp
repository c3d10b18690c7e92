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

TEST(UniqueResourceTests, OwnersCloseOnDestructionAndAddressOfAndHandOverOnMoveAndRelease)
{
    HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr), other = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        unique_handle first(raw), second(std::move(first)), third(other);
        EXPECT_TRUE(!first.is_valid() && second.get() == raw && IsOpenHandle(raw));
        EXPECT_TRUE(*&third == nullptr && !IsOpenHandle(other)) << "taking the address closes what was owned";
    }
    EXPECT_FALSE(IsOpenHandle(raw));
    unique_handle owner(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const unique_handle kept(owner.release());
    EXPECT_TRUE(!owner.is_valid() && IsOpenHandle(kept.get()));
    // A failed CreateFile gives INVALID_HANDLE_VALUE, which the file owner holds as empty.
    unique_hfile file(::CreateFileW(L"C:\\no\\such\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(!file.is_valid() && file.get() == INVALID_HANDLE_VALUE);
}
