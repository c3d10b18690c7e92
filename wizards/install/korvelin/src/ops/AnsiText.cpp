// ANSI conversions: see AnsiText.h.
#include "AnsiText.h"

#include <windows.h>

#include <climits>

std::string ToAnsi(std::wstring_view text, unsigned codePage) noexcept
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    try
    {
        const int size = static_cast<int>(text.size());
        const int length = ::WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
        std::string result(length > 0 ? length : 0, '\0');
        if (length > 0)
            ::WideCharToMultiByte(codePage, 0, text.data(), size, result.data(), length, nullptr, nullptr);
        return result;
    }
    catch (...)
    {
        return {};
    }
}

std::wstring FromAnsi(std::string_view text) noexcept
{
    if (text.empty() || text.size() > INT_MAX)
        return {};
    try
    {
        const int size = static_cast<int>(text.size());
        const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
        std::wstring result(length > 0 ? length : 0, L'\0');
        if (length > 0)
            ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, result.data(), length);
        return result;
    }
    catch (...)
    {
        return {};
    }
}
