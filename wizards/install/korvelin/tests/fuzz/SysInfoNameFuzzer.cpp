// Any bytes as a "SysInfo" text: the name found must be a piece of the text
// that holds no comma, and its shape must agree with it.
#include "SysInfoName.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CSysInfoName found = CSysInfoName::FromText(text);
    const bool hasComma = text.find(',') != std::string_view::npos;
    if (!hasComma && (!found.name.empty() || found.shape != CSysInfoName::Shape::NoComma))
        std::abort();
    if (found.name.find(',') != std::string::npos || text.find(found.name) == std::string_view::npos)
        std::abort();
    if ((found.shape == CSysInfoName::Shape::EmptyName) != (hasComma && found.name.empty()))
        std::abort();
    if (found.shape == CSysInfoName::Shape::Name && found.name.size() > CSysInfoName::kMaxComputerName)
        std::abort();
    return 0;
}
