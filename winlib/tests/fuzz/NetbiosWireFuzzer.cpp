// Any bytes as an adapter-status answer (and a name to look for in it): no
// read beyond the answer, and a name the walk finds fits in a name field.
// The first byte doubles as a return code and a name for the name field.
#include "NetbiosWire.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint32_t reported = VLibNetbiosWire::ReportedCode(data[0]);
    if ((reported == 0) != (data[0] == 0))
        std::abort();
    const size_t nameLength = data[0] % 20;
    const std::string_view name(reinterpret_cast<const char*>(data + 1), std::min(nameLength, size - 1));
    const VLibNetbiosWire::NameField field = VLibNetbiosWire::MakeNameField(name);
    if (name.size() < VLibNetbiosWire::kNameLength && field[VLibNetbiosWire::kNameLength - 1] != 0)
        std::abort();
    // The answer is copied to memory of its own exact size, so a read past it is caught.
    const size_t rest = size - 1 - name.size();
    uint8_t* answer = static_cast<uint8_t*>(std::malloc(rest ? rest : 1));
    std::copy(data + 1 + name.size(), data + size, answer);
    if (VLibNetbiosWire::ListsName(answer, rest, name) &&
        (name.empty() || name.size() > VLibNetbiosWire::kNameLength))
        std::abort();
    VLibNetbiosWire::PhysicalAddress address{};
    VLibNetbiosWire::AnswerAddress(answer, rest, address);
    std::free(answer);
    return 0;
}
