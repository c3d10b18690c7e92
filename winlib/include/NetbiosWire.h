// NetBIOS as bytes: the 16-byte name field of a control block, the
// adapter-status answer and the mapping of NetBIOS return codes to the codes
// the library reports. Pure, without Windows headers, so it can be fuzzed
// natively.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace VLibNetbiosWire
{
constexpr size_t kNameLength = 16;
// The ADAPTER_STATUS block before the names, and where it keeps their count.
constexpr size_t kStatusLength = 60;
constexpr size_t kNameCountOffset = 58;
// A name entry: 16 name bytes, the name number, the flags.
constexpr size_t kNameEntryLength = 18;
constexpr size_t kPhysicalAddressLength = 6;

using NameField = std::array<uint8_t, kNameLength>;
using PhysicalAddress = std::array<uint8_t, kPhysicalAddressLength>;

// Spaces, the suffix byte 0x00 (the workstation name), then the name's first
// 16 bytes over the start, in upper case.
NameField MakeNameField(std::string_view ansiName) noexcept;

// The code reported for a NetBIOS return code; 0 for 0.
uint32_t ReportedCode(uint8_t returnCode) noexcept;

// Whether an answer of `length` bytes lists the name: each entry's 16 bytes
// cut at the first space (or zero byte), compared without letter case, so
// any suffix matches. Entries the answer does not hold are not read; an
// empty name is never listed.
bool ListsName(const uint8_t* answer, size_t length, std::string_view ansiName) noexcept;

// The adapter's physical address: the answer's first 6 bytes; false when
// the answer is shorter.
bool AnswerAddress(const uint8_t* answer, size_t length, PhysicalAddress& address) noexcept;
} // namespace VLibNetbiosWire
