// Network names as bytes and text: the NetBIOS name field, the adapter-status
// answer, and physical addresses written as text.
#include "MacAddressText.h"
#include "NetbiosWire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using namespace VLibNetbiosWire;

std::string Field(std::string_view name)
{
    const NameField field = MakeNameField(name);
    return std::string(field.begin(), field.end());
}

TEST(NetbiosWireTests, NameFieldIsPaddedSuffixedAndUpperCase)
{
    EXPECT_EQ(std::string("EVS1           \0", 16), Field("evs1"));
    EXPECT_EQ(std::string("ABCDEFGHIJKLMNO\0", 16), Field("abcdefghijklmno")) << "15 characters keep the suffix 0";
    EXPECT_EQ("ABCDEFGHIJKLMNOP", Field("abcdefghijklmnop")) << "16 fill the field, suffix included";
    EXPECT_EQ("ABCDEFGHIJKLMNOP", Field("abcdefghijklmnopqrs"));
    EXPECT_EQ(std::string("*              \0", 16), Field("*"));
}

// An answer: the 60-byte block with its count, then 18-byte entries.
std::vector<uint8_t> Answer(const std::vector<std::string>& names, uint16_t count)
{
    std::vector<uint8_t> bytes(kStatusLength, 0);
    for (uint8_t i = 0; i < 6; ++i)
        bytes[i] = static_cast<uint8_t>(0xA0 + i);
    bytes[kNameCountOffset] = static_cast<uint8_t>(count & 0xFF);
    bytes[kNameCountOffset + 1] = static_cast<uint8_t>(count >> 8);
    for (const std::string& name : names)
    {
        std::string entry = name;
        entry.resize(kNameEntryLength, '\x04');
        bytes.insert(bytes.end(), entry.begin(), entry.end());
    }
    return bytes;
}

TEST(NetbiosWireTests, AnswerListsTheNameWithAnySuffixWithinItsOwnBytes)
{
    const auto answer = Answer({"NODE2          \x00", "EVS1           \x20"}, 2);
    EXPECT_TRUE(ListsName(answer.data(), answer.size(), "evs1")) << "suffix 0x20 found through the first 15 bytes";
    EXPECT_TRUE(ListsName(answer.data(), answer.size(), "NODE2"));
    EXPECT_FALSE(ListsName(answer.data(), answer.size(), "EVS"));
    EXPECT_FALSE(ListsName(answer.data(), answer.size(), "EVS1 "));
    EXPECT_FALSE(ListsName(answer.data(), answer.size(), "XVS1")) << "the first letter counts too";

    const auto full = Answer({"ABCDEFGHIJKLMNOP"}, 1);
    EXPECT_TRUE(ListsName(full.data(), full.size(), "abcdefghijklmnop"));
    // A count beyond the bytes returned, a cut entry, nothing at all: only what is there is read.
    const auto overstated = Answer({"NODE2          \x00"}, 400);
    EXPECT_TRUE(ListsName(overstated.data(), overstated.size(), "NODE2"));
    const auto cut = Answer({"EVS1           \x20"}, 1);
    EXPECT_FALSE(ListsName(cut.data(), cut.size() - 1, "EVS1"));
    EXPECT_FALSE(ListsName(cut.data(), 0, ""));
    const auto blank = Answer({"                \x00"}, 1);
    EXPECT_FALSE(ListsName(blank.data(), blank.size(), "")) << "found by the fuzzer: an empty entry is no name";
    const auto zeros = Answer({std::string("EV\0S1          \x20", 16)}, 1);
    EXPECT_TRUE(ListsName(zeros.data(), zeros.size(), "EV")) << "a zero byte ends a name as a space does";

    PhysicalAddress address{};
    ASSERT_TRUE(AnswerAddress(answer.data(), answer.size(), address));
    EXPECT_EQ((PhysicalAddress{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5}), address);
    EXPECT_FALSE(AnswerAddress(answer.data(), 5, address));
    EXPECT_EQ(0u, ReportedCode(0)) << "a good return code is no failure";
}

TEST(MacAddressTextTests, SixPairsJoinedByOneKindOfSeparator)
{
    const std::array<uint8_t, 6> expected = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0xEF};
    for (const char* text : {"00-1A-2B-3C-4D-EF", "00:1a:2b:3c:4d:ef", "00:1A:2b:3C:4d:Ef"})
    {
        std::array<uint8_t, 6> parsed{};
        EXPECT_TRUE(VLibMacAddressText::Parse(text, parsed).IsSuccess()) << text;
        EXPECT_EQ(expected, parsed) << text;
    }
    for (const char* text : {"00-1A-2B:3C-4D-EF", "00:1A:2B:3C:4D:EF:", "00:1A:2B:3C:4D:E", "", "00.1A.2B.3C.4D.EF",
                             "0G:1A:2B:3C:4D:EF", "001A:2B:3C:4D:EF0", "00:1A:2B:3C:4D:\xC9\xC9"})
    {
        std::array<uint8_t, 6> untouched = {1, 2, 3, 4, 5, 6};
        const CStatus status = VLibMacAddressText::Parse(text, untouched);
        EXPECT_EQ(std::pair(3u, 87u), std::pair(status.GetCategory(), status.GetCode())) << text;
        EXPECT_EQ((std::array<uint8_t, 6>{1, 2, 3, 4, 5, 6}), untouched) << text;
    }
}
} // namespace
