// CSysInfoName: see SysInfoName.h.
#include "SysInfoName.h"

CSysInfoName CSysInfoName::FromText(std::string_view text)
{
    CSysInfoName result;
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        return result;
    std::string_view name = text.substr(0, comma);
    const size_t colon = name.find(':');
    if (colon != std::string_view::npos)
        name.remove_prefix(colon + 1);
    result.name.assign(name);
    if (name.empty())
        result.shape = Shape::EmptyName;
    else if (name.size() > kMaxComputerName)
        result.shape = Shape::NotComputer;
    else
    {
        result.shape = Shape::Name;
        for (const char c : name)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                result.shape = Shape::NotComputer;
    }
    return result;
}
