// A physical address written as text: six pairs of hexadecimal digits joined
// by five colons or by five dashes. Pure, without Windows headers, so it can
// be fuzzed natively.
#pragma once

#include "Status.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace VLibMacAddressText
{
constexpr size_t kTextLength = 17;
constexpr uint32_t kMalformed = 87; // with category 3

// 3/87 for any other text; the address is written only on success.
CStatus Parse(std::string_view text, std::array<uint8_t, 6>& address) noexcept;
} // namespace VLibMacAddressText
