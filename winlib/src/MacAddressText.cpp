// VLibMacAddressText: see MacAddressText.h.
#include "MacAddressText.h"

namespace VLibMacAddressText
{
namespace
{
int HexValue(char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

CStatus Parse(std::string_view text, std::array<uint8_t, 6>& address) noexcept
{
    const CStatus malformed = CStatus::Failure(CStatus::kNetworkName, kMalformed);
    if (text.size() != kTextLength || (text[2] != ':' && text[2] != '-'))
        return malformed;
    std::array<uint8_t, 6> parsed{};
    for (size_t pair = 0; pair < parsed.size(); ++pair)
    {
        const size_t at = pair * 3;
        // One separator throughout: the first one decides.
        if (pair > 0 && text[at - 1] != text[2])
            return malformed;
        const int high = HexValue(text[at]);
        const int low = HexValue(text[at + 1]);
        if (high < 0 || low < 0)
            return malformed;
        parsed[pair] = static_cast<uint8_t>(high << 4 | low);
    }
    address = parsed;
    return CStatus::Success();
}
} // namespace VLibMacAddressText
