// The shipped English module: every text the program asks for is there, and
// every format takes exactly the arguments its callers pass.
#include "L10nUtil.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace
{
// The conversions of a printf format, one letter each: "s" for a string,
// "u" for a number. "%%" is no conversion.
std::string Conversions(const std::wstring& format)
{
    std::string kinds;
    for (size_t i = 0; i < format.size(); ++i)
    {
        if (format[i] != L'%')
            continue;
        ++i;
        while (i < format.size() && wcschr(L"-+ #0123456789.lhI", format[i]))
            ++i;
        if (i >= format.size())
            return kinds + "?";
        const wchar_t type = format[i];
        if (type == L'%')
            continue;
        kinds += type == L's' ? 's' : (wcschr(L"duxX", type) ? 'u' : '?');
    }
    return kinds;
}

std::vector<UINT> Range(UINT first, UINT last)
{
    std::vector<UINT> ids;
    for (UINT id = first; id <= last; ++id)
        ids.push_back(id);
    return ids;
}

class LanguageModuleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        _module = L10nUtil::SelectModule(L"Korvelin", 0x0409);
        ASSERT_NE(nullptr, _module);
    }
    void TearDown() override
    {
        if (_module)
            ::FreeLibrary(_module);
    }

    std::wstring Load(UINT id) const
    {
        const wchar_t* text = nullptr;
        const int length = ::LoadStringW(_module, id, reinterpret_cast<LPWSTR>(&text), 0);
        return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
    }

    HMODULE _module = nullptr;
};
} // namespace

TEST_F(LanguageModuleTest, EveryTextIsPresentWithTheRightArguments)
{
    // Texts with arguments, and what their callers pass.
    const std::map<UINT, std::string> withArguments = {
        {7510, "s"},  {7514, "s"},    {7552, "s"},   {7556, "s"},  {10004, "suu"},
        {10009, "su"}, {10013, "suu"}, {10014, "s"}, {10017, "ss"}, {10018, "s"},
    };
    std::vector<UINT> ids = Range(501, 507);
    for (UINT id : {7501, 7502, 7503, 7504, 7505, 7507, 7508, 7511, 7512, 7513, 7515, 7516, 7517, 7518, 7519,
                    7520, 7521, 7522, 7523, 7524, 7525, 7526, 7527, 7528, 7529, 7530, 7531, 7532, 7533, 7534,
                    7535, 7536, 7537, 7538, 7539, 7540, 7541, 7542, 7543, 7544, 7545, 7547, 7548, 7549, 7550,
                    7551, 7553, 7554, 7555, 7557, 7558, 7559, 7560, 7561, 7562, 7563, 7564, 7565, 7567, 7568,
                    7571, 7572, 7573, 10001, 10002, 10003, 10007, 10008, 10010, 10011})
        ids.push_back(id);
    for (UINT id : Range(7601, 7607))
        ids.push_back(id);
    for (const auto& entry : withArguments)
        ids.push_back(entry.first);

    for (UINT id : ids)
    {
        const std::wstring text = Load(id);
        EXPECT_FALSE(text.empty()) << "string " << id << " is missing";
        const auto expected = withArguments.find(id);
        EXPECT_EQ(expected == withArguments.end() ? "" : expected->second, Conversions(text)) << "string " << id;
    }
}

TEST_F(LanguageModuleTest, LogApplicationNameIsARegistryKeyName)
{
    EXPECT_EQ(L"Korvelin", Load(10002));
}

TEST_F(LanguageModuleTest, HelpLinkBaseIsAnAddress)
{
    EXPECT_EQ(0u, Load(506).find(L"https://"));
}
