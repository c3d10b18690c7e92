// Conversions between the wizard's text and the cluster library's ANSI text.
#include "AnsiText.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(AnsiTextTests, ConvertsWholeTextsOfAnyLengthBothWays)
{
    for (const std::wstring& text : {std::wstring(L"N"), std::wstring(L"NODE-1 qlx_a"), std::wstring(300, L'x')})
    {
        const std::string ansi = ToAnsi(text);
        EXPECT_EQ(text.size(), ansi.size());
        EXPECT_EQ(text, FromAnsi(ansi));
    }
    EXPECT_EQ("", ToAnsi(L""));
    EXPECT_EQ(L"", FromAnsi(""));
    // A code page that cannot be used gives nothing rather than a part.
    EXPECT_EQ("", ToAnsi(L"NODE1", 0xFFFF));
}
