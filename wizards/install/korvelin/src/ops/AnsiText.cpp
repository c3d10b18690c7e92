// ANSI conversions: see AnsiText.h.
#include "AnsiText.h"

#include <windows.h>

#include <climits>

namespace
{
// Both conversions ask for the length first, then convert into a string of
// that length; convert(buffer, length) is the call, and null 0 asks.
template <typename Result, typename Convert> Result Converted(size_t inputSize, const Convert& convert) noexcept
{
    if (inputSize == 0 || inputSize > INT_MAX)
        return {};
    try
    {
        const int length = convert(nullptr, 0);
        if (length <= 0)
            return {};
        Result result(static_cast<size_t>(length), typename Result::value_type{});
        convert(result.data(), length);
        return result;
    }
    catch (...)
    {
        return {};
    }
}
} // namespace

std::string ToAnsi(std::wstring_view text, unsigned codePage) noexcept
{
    return Converted<std::string>(text.size(), [&](char* buffer, int length) {
        return ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), buffer, length, nullptr,
                                     nullptr);
    });
}

std::wstring FromAnsi(std::string_view text) noexcept
{
    return Converted<std::wstring>(text.size(), [&](wchar_t* buffer, int length) {
        return ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), static_cast<int>(text.size()), buffer,
                                     length);
    });
}
