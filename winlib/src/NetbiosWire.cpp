// VLibNetbiosWire: see NetbiosWire.h.
#include "NetbiosWire.h"

#include <algorithm>

namespace VLibNetbiosWire
{
namespace
{
// The C library's upper case in the "C" locale: ASCII letters only.
uint8_t Upper(uint8_t c) noexcept
{
    return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 'a' + 'A') : c;
}
} // namespace

NameField MakeNameField(std::string_view ansiName) noexcept
{
    NameField field;
    field.fill(' ');
    field[kNameLength - 1] = 0x00;
    const size_t copied = std::min(ansiName.size(), kNameLength);
    for (size_t i = 0; i < copied; ++i)
        field[i] = Upper(static_cast<uint8_t>(ansiName[i]));
    return field;
}

uint32_t ReportedCode(uint8_t returnCode) noexcept
{
    switch (returnCode)
    {
    case 0x00:
        return 0;
    case 0x09: // no resources
        return 2136;
    case 0x0D: // duplicate name
        return 2276;
    case 0x0E: // name table full
        return 2277;
    case 0x0F: // active sessions
        return 2298;
    case 0x12: // remote table full
        return 51;
    case 0x14: // no answer
        return 2273;
    case 0x15:
    case 0x17: // name errors
        return 87;
    case 0x16: // name in use
    case 0x19: // name conflict
        return 2297;
    default:
        return returnCode < 0x0D ? 2105 : 2136;
    }
}

bool ListsName(const uint8_t* answer, size_t length, std::string_view ansiName) noexcept
{
    // No entry can stand for an empty name, though an empty entry is cut to one.
    if (!answer || length < kStatusLength || ansiName.empty())
        return false;
    const size_t count = answer[kNameCountOffset] | (size_t{answer[kNameCountOffset + 1]} << 8);
    const size_t held = (length - kStatusLength) / kNameEntryLength;
    const uint8_t* entry = answer + kStatusLength;
    for (size_t i = 0; i < std::min(count, held); ++i, entry += kNameEntryLength)
    {
        size_t cut = 0;
        while (cut < kNameLength && entry[cut] != ' ' && entry[cut] != 0)
            ++cut;
        if (cut != ansiName.size())
            continue;
        bool same = true;
        for (size_t j = 0; j < cut && same; ++j)
            same = Upper(entry[j]) == Upper(static_cast<uint8_t>(ansiName[j]));
        if (same)
            return true;
    }
    return false;
}

bool AnswerAddress(const uint8_t* answer, size_t length, PhysicalAddress& address) noexcept
{
    if (!answer || length < kPhysicalAddressLength)
        return false;
    std::copy(answer, answer + kPhysicalAddressLength, address.begin());
    return true;
}
} // namespace VLibNetbiosWire
