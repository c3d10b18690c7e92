// L10nUtil: see L10nUtil.h.
#include "L10nUtil.h"

#include "AfxWin.h"
#include "EntryPoints.h"

#include <string>

const L10nUtil::LanguageRow L10nUtil::kLanguages[kLanguageCount] = {
    {L"en", 0x0409}, {L"en-us", 0x0409}, {L"en-gb", 0x0809}, {L"ja", 0x0411},  {L"kr", 0x0412},  {L"fr", 0x040C},
    {L"de", 0x0407}, {L"es", 0x040A},    {L"it", 0x0410},    {L"zhs", 0x0804}, {L"zht", 0x0404},
};

namespace
{
constexpr LANGID kPrimaryMask = 0x3FF;
constexpr LANGID kSublangShift = 10;
} // namespace

HMODULE L10nUtil::_Load(const wchar_t* applicationName, const wchar_t* tag) noexcept
{
    try
    {
        // Only the module beside the program: a bare name would also be
        // looked for in folders that others may write to.
        wchar_t program[MAX_PATH] = {};
        const DWORD length = KvEntry().GetModuleFileNameW(nullptr, program, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return nullptr;
        std::wstring path(program, length);
        path.resize(path.find_last_of(L"\\/") + 1);
        path += std::wstring(applicationName) + L"_Lang_" + tag + L".dll";
        return ::LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    }
    catch (...)
    {
        return nullptr;
    }
}

HMODULE L10nUtil::SelectModule(const wchar_t* applicationName, LANGID langId) noexcept
{
    // Exact language first.
    for (const LanguageRow& row : kLanguages)
    {
        if (row.langId != langId)
            continue;
        if (HMODULE module = _Load(applicationName, row.tag))
            return module;
        break;
    }

    // Then the default sublanguage of the same primary language.
    for (const LanguageRow& row : kLanguages)
    {
        if ((row.langId & kPrimaryMask) != (langId & kPrimaryMask) || (row.langId >> kSublangShift) != SUBLANG_DEFAULT)
            continue;
        if (HMODULE module = _Load(applicationName, row.tag))
            return module;
        break;
    }

    return _Load(applicationName, L"en");
}

void L10nUtil::LoadResourceModule(const wchar_t* applicationName) noexcept
{
    const LANGID langId = LOWORD(::GetUserDefaultLCID());
    // Stays loaded for the life of the process: every later string comes from it.
    if (HMODULE module = SelectModule(applicationName, langId))
        AfxSetResourceHandle(module);
}
