// The shipped English module: every text the program asks for is there, and
// every format takes exactly the arguments its callers pass.
#include "L10nUtil.h"
#include "StringIds.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace
{
// The conversions of a printf format, one letter each: "s" for a string,
// "u" for a number. "%%" is no conversion.
std::string Conversions(const std::wstring& format)
{
    std::string kinds;
    for (size_t i = format.find(L'%'); i != std::wstring::npos; i = format.find(L'%', i + 1))
    {
        i = format.find_first_not_of(L"-+ #0123456789.lhI", i + 1);
        if (i == std::wstring::npos)
            return kinds + "?";
        if (format[i] != L'%')
            kinds += format[i] == L's' ? 's' : (wcschr(L"duxX", format[i]) ? 'u' : '?');
    }
    return kinds;
}

// Every id the shared header names, read from the header itself, so a string
// added there and forgotten in the module fails here.
std::map<std::string, UINT> NamedIds()
{
    std::map<std::string, UINT> ids;
    std::ifstream header(KV_STRING_IDS_HEADER);
    std::string line;
    while (std::getline(header, line))
    {
        std::istringstream words(line);
        std::string directive, name;
        UINT id = 0;
        if (words >> directive >> name >> id && directive == "#define" && name.rfind("IDS_", 0) == 0)
            ids[name] = id;
    }
    return ids;
}
} // namespace

TEST(LanguageModuleTests, EveryNamedTextIsPresentWithTheRightArguments)
{
    const unique_hmodule module(L10nUtil::SelectModule(L"Korvelin", 0x0409));
    ASSERT_NE(nullptr, module.get());
    const auto load = [&](UINT id) {
        const wchar_t* text = nullptr;
        const int length = ::LoadStringW(module.get(), id, reinterpret_cast<LPWSTR>(&text), 0);
        return length > 0 ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
    };
    // Texts with arguments, and what their callers pass; every other text takes none.
    const std::map<UINT, std::string> withArguments = {
        {IDS_LOG_INFORMATION, "s"},  {IDS_EVS_ONLINE_TAKE_OFFLINE, "s"},
        {IDS_OPTIONAL_SERVICES_SKIPPED, "s"}, {IDS_LOG_CALL_FAILED, "suu"}, {IDS_LOG_WIN32_FAILED, "su"},
        {IDS_LOG_CLUSTER_CALL_FAILED, "suu"}, {IDS_LOG_SERVICE_MISSING, "s"}, {IDS_LOG_NO_SYSINFO, "ss"},
        {IDS_LOG_NAME_IN_USE, "s"},
    };
    const std::map<std::string, UINT> ids = NamedIds();
    ASSERT_GT(ids.size(), 90u) << "the header was not read";
    for (const auto& [name, id] : ids)
    {
        const std::wstring text = load(id);
        EXPECT_FALSE(text.empty()) << name << " is missing";
        const auto expected = withArguments.find(id);
        EXPECT_EQ(expected == withArguments.end() ? "" : expected->second, Conversions(text)) << name;
    }
    // The log's application name is a registry key's name; the help links need an address.
    EXPECT_EQ(L"Korvelin", load(IDS_LOG_APPLICATION_NAME));
    EXPECT_EQ(0u, load(IDS_HELP_LINK_BASE).find(L"https://"));
}
