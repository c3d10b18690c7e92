// The library's version tests against the versions Wine itself can report:
// the probe runs under each, set for it alone in Wine's per-program settings.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace
{
constexpr wchar_t kProbeSettings[] = L"Software\\Wine\\AppDefaults\\version_probe.exe";
constexpr DWORD kWindows2000 = 1, kVersion6 = 2, kNameVersion6 = 4;

DWORD RunProbeAs(const wchar_t* version)
{
    const DWORD size = static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t));
    if (::RegSetKeyValueW(HKEY_CURRENT_USER, kProbeSettings, L"Version", REG_SZ, version, size) != ERROR_SUCCESS)
        return MAXDWORD;
    wchar_t program[MAX_PATH] = {};
    std::wstring probe(program, ::GetModuleFileNameW(nullptr, program, MAX_PATH));
    probe.replace(probe.find_last_of(L'\\') + 1, std::wstring::npos, L"version_probe.exe");
    const DWORD exitCode = RunToEnd(probe, {});
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kProbeSettings);
    return exitCode;
}
} // namespace

TEST(SystemVersionTests, Windows2000AndVersion6AreToldFromTheirNeighbours)
{
    const struct
    {
        const wchar_t* version;
        DWORD expected;
    } rows[] = {
        {L"win2k", kWindows2000},
        {L"winxp", 0},
        {L"win2003", 0},
        {L"vista", kVersion6 | kNameVersion6},
        {L"win7", kVersion6 | kNameVersion6},
        {L"win10", kVersion6 | kNameVersion6},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.expected, RunProbeAs(row.version)) << row.version;
}
