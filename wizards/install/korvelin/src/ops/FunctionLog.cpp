// CLogSite and CFunctionLog: see FunctionLog.h.
#include "FunctionLog.h"

#include "AfxWin.h"
#include "AnsiText.h"
#include "SourceSite.h"

#include <cstdarg>
#include <cstring>

namespace
{
std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}
} // namespace

CLogSite::CLogSite(const char* functionSignature, const char* sourcePath)
    : _function(QualifiedName(functionSignature)), _file(SourceName(sourcePath))
{
}

CLogSite::CLogSite(const wchar_t* name, const char* sourcePath) : _function(name), _file(SourceName(sourcePath))
{
}

std::wstring CLogSite::QualifiedName(const char* functionSignature)
{
    return Widen(SourceSite::QualifiedName(functionSignature));
}

std::wstring CLogSite::SourceName(const char* sourcePath)
{
    return L"./" + Widen(SourceSite::BaseName(sourcePath));
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

void CFunctionLog::ClusterFailed(uint32_t line, const wchar_t* function, const QLXError& error) const noexcept
{
    Message(line, LOG_ERROR, IDS_LOG_CLUSTER_CALL_FAILED, function, static_cast<unsigned>(error.errorClass),
            static_cast<unsigned>(error.errorNumber));
    // The library's text may lack its end in a broken record.
    const std::string_view text(error.text, strnlen(error.text, sizeof(error.text)));
    Message(line, LOG_ERROR, IDS_LOG_INFORMATION, FromAnsi(text).c_str());
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

void CFunctionLog::Debug(uint32_t line, int32_t level, const wchar_t* format, ...) const noexcept
{
    va_list args;
    va_start(args, format);
    g_Logger.LogDebugV(level, _site.Function(), _site.File(), line, kFormatFlags, 0, format, args);
    va_end(args);
}
