// Choosing the language module by locale.
#include "L10nUtil.h"

#include "AfxWin.h"
#include "WizardTestEnvironment.h"
#include "L10nTestIds.h"
#include "StringIds.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

// L10nTest has modules "en" and "zht" only; L10nNone has none at all.
TEST(L10nUtilTests, LoadsTheModuleOfTheLocaleOrEnglish)
{
    const std::tuple<const wchar_t*, LANGID, const wchar_t*> cases[] = {
        {L"L10nTest", 0x0C09, L"en"},  // by its primary language
        {L"L10nTest", 0x0C04, L"zht"}, // Hong Kong: traditional Chinese by the primary language's default
        {L"L10nTest", 0x0404, L"zht"}, // Taiwan: exact
        {L"L10nTest", 0x0407, L"en"},  // German: a row but no module
        {L"L10nNone", 0x0409, L""}};
    for (const auto& [application, langId, expected] : cases)
    {
        const HMODULE module = L10nUtil::SelectModule(application, langId);
        wchar_t tag[16] = {};
        if (module)
        {
            ::LoadStringW(module, IDS_TEST_LANGUAGE_TAG, tag, 16);
            ::FreeLibrary(module);
        }
        EXPECT_EQ(std::wstring(expected), tag) << std::hex << langId;
    }
}

