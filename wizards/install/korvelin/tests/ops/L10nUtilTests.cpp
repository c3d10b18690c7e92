// Choosing the language module by locale.
#include "L10nUtil.h"

#include "AfxWin.h"
#include "WizardTestEnvironment.h"
#include "L10nTestIds.h"
#include "LabFaults.h"
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


// Without its own path, or with one cut short, the program loads no module
// rather than one found elsewhere by its bare name.
TEST(L10nUtilTests, NoModuleWithoutTheProgramsWholePath)
{
    for (const DWORD error : {DWORD{ERROR_ACCESS_DENIED}, DWORD{ERROR_INSUFFICIENT_BUFFER}})
    {
        KvLab::ResetFaults();
        KvLab::FailFromCall(KvLab::Entry::GetModuleFileNameW, 1, error);
        const HMODULE module = L10nUtil::SelectModule(L"L10nTest", 0x0409);
        EXPECT_EQ(nullptr, module) << error;
        if (module)
            ::FreeLibrary(module);
    }
    KvLab::ResetFaults();
}
