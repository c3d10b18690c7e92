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

