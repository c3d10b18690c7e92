// CLogSite and CFunctionLog: see FunctionLog.h.
#include "FunctionLog.h"

#include "AfxWin.h"

#include <cstdarg>
#include <cstring>

namespace
{
std::wstring Widen(const char* text, size_t length)
{
    return std::wstring(text, text + length);
}

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

CLogSite::CLogSite(const char* functionSignature, const char* sourcePath)
    : _function(QualifiedName(functionSignature)), _file(SourceName(sourcePath))
{
}

std::wstring CLogSite::QualifiedName(const char* functionSignature)
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
    // Helpers in an unnamed namespace log under their own names.
    for (const char* unnamed : {"{anonymous}::", "(anonymous namespace)::", "`anonymous-namespace'::"})
    {
        const size_t at = name.find(unnamed);
        if (at != std::string::npos)
            name.erase(at, strlen(unnamed));
    }
    return Widen(name.data(), name.size());
}

std::wstring CLogSite::SourceName(const char* sourcePath)
{
    const std::string path = sourcePath ? sourcePath : "";
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return L"./" + Widen(name.data(), name.size());
}

CFunctionLog::CFunctionLog(const CLogSite& site, uint32_t line) noexcept : _site(site), _line(line)
{
    g_Logger.LogDebug(0, _site.Function(), _site.File(), _line, kFormatFlags, 0, L">> Entering");
}

CFunctionLog::~CFunctionLog()
{
    g_Logger.LogDebug(0, _site.Function(), _site.File(), _line, kFormatFlags, 0, L"<< Exiting");
}

void CFunctionLog::Failed(uint32_t line, const wchar_t* callee, const CStatus& status) const noexcept
{
    Message(line, LOG_ERROR, kFailedCall, callee, status.GetCategory(), status.GetCode());
}

void CFunctionLog::Win32Failed(uint32_t line, const wchar_t* function, DWORD error) const noexcept
{
    Message(line, LOG_ERROR, kFailedWin32, function, static_cast<unsigned>(error));
}

void CFunctionLog::Message(uint32_t line, int32_t level, uint32_t messageId, ...) const noexcept
{
    std::wstring format;
    try
    {
        format = AfxLoadString(messageId);
    }
    catch (...)
    {
    }
    va_list args;
    va_start(args, messageId);
    g_Logger.LogMessageV(level, _site.Function(), _site.File(), line, kFormatFlags, messageId, format.c_str(), args);
    va_end(args);
}

void CFunctionLog::Text(uint32_t line, int32_t level, uint32_t messageId, const wchar_t* format, ...) const noexcept
{
    va_list args;
    va_start(args, format);
    g_Logger.LogMessageV(level, _site.Function(), _site.File(), line, kFormatFlags, messageId, format, args);
    va_end(args);
}
