// The computer name inside a cluster system's "SysInfo" text.
#include "SysInfoName.h"

#include <gtest/gtest.h>

namespace
{
using Shape = CSysInfoName::Shape;

struct SysInfoCase
{
    const char* text;
    const char* name;
    Shape shape;
};

struct SysInfoTest : ::testing::TestWithParam<SysInfoCase> {};

TEST_P(SysInfoTest, TakesThePartAfterTheFirstColonBeforeTheFirstComma)
{
    const CSysInfoName found = CSysInfoName::FromText(GetParam().text);
    EXPECT_EQ(GetParam().name, found.name);
    EXPECT_EQ(GetParam().shape, found.shape);
}

INSTANTIATE_TEST_SUITE_P(Texts, SysInfoTest, ::testing::Values(
    SysInfoCase{"1:NODE1,Running,x86", "NODE1", Shape::Name},
    SysInfoCase{"NODE1,Running", "NODE1", Shape::Name},
    SysInfoCase{"a:b:c,d", "b:c", Shape::Name},
    SysInfoCase{"up,1:NODE1", "up", Shape::Name},
    SysInfoCase{"", "", Shape::NoComma},
    SysInfoCase{"1:,NODE1", "", Shape::EmptyName},
    SysInfoCase{"1:ABCDEFGHIJKLMNO,x", "ABCDEFGHIJKLMNO", Shape::Name},
    SysInfoCase{"1:ABCDEFGHIJKLMNOP,x", "ABCDEFGHIJKLMNOP", Shape::NotComputer}));
} // namespace
