#include "Status.h"

#include <gtest/gtest.h>

TEST(StatusTests, NeverSetCountsAsFailed)
{
    const CStatus status;
    EXPECT_EQ(0xFFFFFFFFu, status.GetCategory());
    EXPECT_EQ(0u, status.GetCode());
    EXPECT_TRUE(status.IsFailed());
    EXPECT_FALSE(status.IsSuccess());
    EXPECT_EQ(0u, status.extra);
    EXPECT_EQ(0u, status.extraA);
    EXPECT_EQ(0u, status.extraB);
    EXPECT_EQ(0u, status.spare64);
    EXPECT_EQ(0u, status.spare32);
}

TEST(StatusTests, SetSuccessTouchesOnlyCategoryAndCode)
{
    CStatus status;
    status.Set(2, 5, 7, 8, 9);
    status.spare64 = 11;
    status.spare32 = 12;
    status.SetSuccess();
    EXPECT_TRUE(status.IsSuccess());
    EXPECT_FALSE(status.IsFailed());
    EXPECT_EQ(0u, status.GetCode());
    EXPECT_EQ(9u, status.extra);
    EXPECT_EQ(7u, status.extraA);
    EXPECT_EQ(8u, status.extraB);
    EXPECT_EQ(11u, status.spare64);
    EXPECT_EQ(12u, status.spare32);
}

TEST(StatusTests, SetStoresFiveValuesAndClearsSpares)
{
    CStatus status;
    status.spare64 = 0xDEAD;
    status.spare32 = 0xBEEF;
    status.Set(CStatus::kCom, 0x80004005u, 3, 4, 0x1122334455667788ull);
    EXPECT_EQ(4u, status.GetCategory());
    EXPECT_EQ(0x80004005u, status.GetCode());
    EXPECT_EQ(3u, status.extraA);
    EXPECT_EQ(4u, status.extraB);
    EXPECT_EQ(0x1122334455667788ull, status.extra);
    EXPECT_EQ(0u, status.spare64);
    EXPECT_EQ(0u, status.spare32);
    EXPECT_TRUE(status.IsFailed());
}
