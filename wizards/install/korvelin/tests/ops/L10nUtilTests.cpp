// Choosing the language module by locale.
#include "L10nUtil.h"

#include "AfxWin.h"
#include "WizardTestEnvironment.h"
#include "L10nTestIds.h"
#include "StringIds.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// The tag a test module answers with (its string 1), or "" without a module.
std::wstring TagOf(HMODULE module)
{
    if (!module)
        return {};
    wchar_t tag[16] = {};
    ::LoadStringW(module, 1, tag, 16);
    ::FreeLibrary(module);
    return tag;
}

struct SelectionCase
{
    const char* name;
    const wchar_t* application;
    LANGID langId;
    const wchar_t* expectedTag;
};

class L10nSelectionTest : public ::testing::TestWithParam<SelectionCase>
{
};
} // namespace

TEST_P(L10nSelectionTest, LoadsTheModuleOfTheLocale)
{
    const SelectionCase& c = GetParam();
    EXPECT_EQ(std::wstring(c.expectedTag), TagOf(L10nUtil::SelectModule(c.application, c.langId)));
}

// L10nTest has modules "en" and "zht" only; L10nNone has none at all.
INSTANTIATE_TEST_SUITE_P(
    Locales, L10nSelectionTest,
    ::testing::Values(SelectionCase{"EnglishUs", L"L10nTest", 0x0409, L"en"},
                      SelectionCase{"EnglishAustraliaByPrimaryLanguage", L"L10nTest", 0x0C09, L"en"},
                      SelectionCase{"ChineseHongKongToTraditional", L"L10nTest", 0x0C04, L"zht"},
                      SelectionCase{"ChineseTaiwanExact", L"L10nTest", 0x0404, L"zht"},
                      SelectionCase{"GermanMissingFallsBackToEnglish", L"L10nTest", 0x0407, L"en"},
                      SelectionCase{"LocaleWithoutRowFallsBackToEnglish", L"L10nTest", 0x041D, L"en"},
                      SelectionCase{"NoModuleAtAll", L"L10nNone", 0x0409, L""}),
    [](const ::testing::TestParamInfo<SelectionCase>& info) { return std::string(info.param.name); });

TEST(L10nUtilTests, LoadedModuleBecomesTheResourceHandle)
{
    CScopedResourceModule restore(nullptr);
    L10nUtil::LoadResourceModule(L"L10nNone");
    EXPECT_EQ(nullptr, AfxGetResourceHandle());
    EXPECT_EQ(L"", AfxLoadString(IDS_TEST_LANGUAGE_TAG));

    L10nUtil::LoadResourceModule(L"L10nTest");
    const HINSTANCE module = AfxGetResourceHandle();
    ASSERT_NE(nullptr, module);
    const std::wstring tag = AfxLoadString(IDS_TEST_LANGUAGE_TAG);
    EXPECT_TRUE(tag == L"en" || tag == L"zht") << "tag " << std::string(tag.begin(), tag.end());
    ::FreeLibrary(module);
}
