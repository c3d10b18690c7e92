#include "Status.h"

#include <gtest/gtest.h>

#include <tuple>

namespace
{
// Every field, so one comparison shows what a call touched.
auto Fields(const CStatus& s)
{
    return std::make_tuple(s.category, s.code, s.extraA, s.extraB, s.extra, s.spare64, s.spare32, s.IsFailed(),
                           s.IsSuccess());
}
} // namespace

TEST(StatusTests, NeverSetCountsAsFailed)
{
    EXPECT_EQ(std::make_tuple(0xFFFFFFFFu, 0u, 0u, 0u, 0ull, 0ull, 0u, true, false), Fields(CStatus()));
}

// Set clears the spares; SetSuccess touches only category and code.
TEST(StatusTests, SetStoresFiveValuesAndSetSuccessKeepsTheExtras)
{
    CStatus status;
    status.spare64 = 0xDEAD;
    status.spare32 = 0xBEEF;
    status.Set(CStatus::kCom, 0x80004005u, 3, 4, 0x1122334455667788ull);
    EXPECT_EQ(std::make_tuple(4u, 0x80004005u, 3u, 4u, 0x1122334455667788ull, 0ull, 0u, true, false), Fields(status));
    status.spare64 = 11;
    status.spare32 = 12;
    status.SetSuccess();
    EXPECT_EQ(std::make_tuple(0u, 0u, 3u, 4u, 0x1122334455667788ull, 11ull, 12u, false, true), Fields(status));
}
