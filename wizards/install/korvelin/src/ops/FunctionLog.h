// Logging for the wizard's functions: one line at the top of a function gives
// ">> Entering" now and "<< Exiting" when it returns, and the failure lines of
// the function carry its qualified name, "./File" and line by themselves.
//
//     CStatus CUtil::GetClusterInfo(...)
//     {
//         KV_LOG_FUNCTION();
//         ...
//         KV_LOG_FAILED(L"CUtil::InitQLXApi()", status);   // IDS_LOG_CALL_FAILED
//         KV_LOG_WIN32(L"RegOpenKey", error);               // IDS_LOG_WIN32_FAILED
//         KV_LOG_CLUSTER(L"QLXObjGetNames()", error);       // IDS_LOG_CLUSTER_CALL_FAILED, then the text
//         KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_INFORMATION, text.c_str()); // any format
//     }
#pragma once

#include "LoggerBasic.h"
#include "SourceSite.h"
#include "Status.h"
#include "StringIds.h"

#include "qlxapi.h"

#include <windows.h>

#include <cstdint>
#include <string>

// Where entries come from: the caller's qualified name ("CUtil::GetClusterInfo")
// and its source file as "./Util". Built once per function.
class CLogSite
{
public:
    CLogSite(const char* functionSignature, const char* sourcePath);
    // For functions that log under a name of their own.
    CLogSite(const wchar_t* name, const char* sourcePath);

    const wchar_t* Function() const noexcept { return _function.c_str(); }
    const wchar_t* File() const noexcept { return _file.c_str(); }

    // "static CStatus CUtil::Foo(int)" -> "CUtil::Foo"; a bare name stays.
    static std::wstring QualifiedName(const char* functionSignature);
    // "/any/dir/Util.cpp" -> "./Util".
    static std::wstring SourceName(const char* sourcePath);

private:
    std::wstring _function;
    std::wstring _file;
};

class CFunctionLog
{
public:
    // Message identifiers of the failure lines.
    static constexpr uint32_t kFailedCall = IDS_LOG_CALL_FAILED;  // operation, category, code
    static constexpr uint32_t kFailedWin32 = IDS_LOG_WIN32_FAILED; // function, Windows error
    static constexpr uint32_t kFormatFlags = LOG_NO_MODULE;

    CFunctionLog(const CLogSite& site, uint32_t line) noexcept;
    ~CFunctionLog();
    CFunctionLog(const CFunctionLog&) = delete;
    CFunctionLog& operator=(const CFunctionLog&) = delete;

    void Failed(uint32_t line, const wchar_t* callee, const CStatus& status) const noexcept;
    void Win32Failed(uint32_t line, const wchar_t* function, DWORD error) const noexcept;
    // The cluster library's class and number, then its own text.
    void ClusterFailed(uint32_t line, const wchar_t* function, const QLXError& error) const noexcept;
    // An entry whose format is the catalogue text of messageId.
    void Message(uint32_t line, int32_t level, uint32_t messageId, ...) const noexcept;
    // An entry with a format of the program's own (debug traces, fixed texts).
    void Text(uint32_t line, int32_t level, uint32_t messageId, const wchar_t* format, ...) const noexcept;
    // A debug entry (written from "LogDbg" = level + 1 on).
    void Debug(uint32_t line, int32_t level, const wchar_t* format, ...) const noexcept;

private:
    const CLogSite& _site;
    uint32_t _line;
};

#define KV_LOG_FUNCTION()                                                  \
    static const CLogSite kvLogSite_(KV_FUNCTION_SIGNATURE, __FILE__);     \
    const CFunctionLog kvLog_(kvLogSite_, __LINE__)
#define KV_LOG_FUNCTION_AS(name)                                           \
    static const CLogSite kvLogSite_((name), __FILE__);                    \
    const CFunctionLog kvLog_(kvLogSite_, __LINE__)
#define KV_LOG_FAILED(callee, status) kvLog_.Failed(__LINE__, (callee), (status))
#define KV_LOG_WIN32(function, error) kvLog_.Win32Failed(__LINE__, (function), (error))
#define KV_LOG_CLUSTER(function, error) kvLog_.ClusterFailed(__LINE__, (function), (error))
#define KV_LOG_MESSAGE(level, messageId, ...) kvLog_.Message(__LINE__, (level), (messageId), ##__VA_ARGS__)
#define KV_LOG_TEXT(level, messageId, ...) kvLog_.Text(__LINE__, (level), (messageId), __VA_ARGS__)
