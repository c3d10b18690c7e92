// The cluster library speaks ANSI; the wizard speaks UTF-16. Conversions in
// the current ANSI code page; an empty result when a text cannot be held.
#pragma once

#include <string>
#include <string_view>

// codePage: a Windows code page; 0 is CP_ACP.
std::string ToAnsi(std::wstring_view text, unsigned codePage = 0) noexcept;
std::wstring FromAnsi(std::string_view text) noexcept;
