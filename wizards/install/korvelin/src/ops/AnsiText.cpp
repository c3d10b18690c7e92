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
        if (length <= 0)
            return {};
        std::string result(static_cast<size_t>(length), '\0');
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
        const int length = ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), size, nullptr, 0);
        if (length <= 0)
            return {};
        std::wstring result(static_cast<size_t>(length), L'\0');
        ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), size, result.data(), length);
        return result;
    }
    catch (...)
    {
        return {};
    }
}
