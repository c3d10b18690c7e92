// SourceSite: see SourceSite.h.
#include "SourceSite.h"

#include <cstring>

namespace
{
// The parameter list's "(" at template depth 0; "(anonymous namespace)" and
// the like are skipped because a name follows their ")".
size_t ParameterListStart(const std::string& signature)
{
    int depth = 0;
    for (size_t i = 0; i < signature.size(); ++i)
    {
        const char c = signature[i];
        if (c == '<')
            ++depth;
        else if (c == '>' && depth > 0)
            --depth;
        else if (c == '(' && depth == 0)
        {
            const size_t close = signature.find(')', i);
            if (close != std::string::npos && close + 2 < signature.size() && signature.compare(close + 1, 2, "::") == 0)
            {
                i = close;
                continue;
            }
            return i;
        }
    }
    return std::string::npos;
}
} // namespace

namespace SourceSite
{
std::string QualifiedName(const char* functionSignature)
{
    const std::string signature = functionSignature ? functionSignature : "";
    const size_t open = ParameterListStart(signature);
    std::string name = signature;
    if (open != std::string::npos)
    {
        // Walk back over the name to the blank that ends the return type.
        int depth = 0;
        size_t start = open;
        while (start > 0)
        {
            const char c = signature[start - 1];
            if (c == '>')
                ++depth;
            else if (c == '<')
                --depth;
            else if ((c == ' ' || c == '*' || c == '&') && depth == 0)
                break;
            --start;
        }
        name = signature.substr(start, open - start);
    }
    // Helpers in an unnamed namespace go by their own names.
    for (const char* unnamed : {"{anonymous}::", "(anonymous namespace)::", "`anonymous-namespace'::"})
    {
        const size_t at = name.find(unnamed);
        if (at != std::string::npos)
            name.erase(at, std::strlen(unnamed));
    }
    return name;
}

std::string BaseName(const char* sourcePath)
{
    const std::string path = sourcePath ? sourcePath : "";
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return name;
}
} // namespace SourceSite
