// Chooses the language resource module by the user's locale and makes it the
// process's resource handle.
#pragma once

#include <windows.h>

class L10nUtil
{
public:
    struct LanguageRow
    {
        const wchar_t* tag;
        LANGID langId;
    };
    static constexpr size_t kLanguageCount = 11;
    static const LanguageRow kLanguages[kLanguageCount];

    // Loads "<applicationName>_Lang_<tag>.dll" for the user's default locale
    // and installs it as the resource handle; without one nothing is installed.
    static void LoadResourceModule(const wchar_t* applicationName) noexcept;

    // The same choice for a given language; returns the module loaded (which
    // the caller then owns) or null. Does not install it.
    static HMODULE SelectModule(const wchar_t* applicationName, LANGID langId) noexcept;

private:
    static HMODULE _Load(const wchar_t* applicationName, const wchar_t* tag) noexcept;
};
