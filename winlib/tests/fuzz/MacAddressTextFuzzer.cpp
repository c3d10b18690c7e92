// Any bytes as a physical-address text: accepted only in the written shape,
// and then the same address written back parses to the same bytes.
#include "MacAddressText.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::array<uint8_t, 6> address{};
    if (VLibMacAddressText::Parse(text, address).IsFailed())
        return 0;
    if (size != VLibMacAddressText::kTextLength)
        std::abort();
    char written[18];
    std::snprintf(written, sizeof(written), "%02X%c%02X%c%02X%c%02X%c%02X%c%02X", address[0], text[2], address[1],
                  text[2], address[2], text[2], address[3], text[2], address[4], text[2], address[5]);
    std::array<uint8_t, 6> again{};
    if (VLibMacAddressText::Parse(written, again).IsFailed() || again != address)
        std::abort();
    return 0;
}
