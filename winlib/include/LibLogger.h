// The library classes' diagnostics: each thread records its trace lines in a
// list of its own; a wizard operation that sees a library call fail dumps the
// calling thread's list, and it is emptied after every dump.
#pragma once

#include "LibMutex.h"
#include "SourceSite.h"

#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Receives what the queue writes out.
class VLibLogImpl
{
public:
    VLibLogImpl() noexcept = default;
    // Printed only while echo is on.
    virtual void Write(const char* module, uint32_t line, const char* function, const wchar_t* message) noexcept;
    // Printed always: the lines of a dump.
    virtual void WriteDump(const char* module, uint32_t line, const char* function, const wchar_t* message) noexcept;
    virtual void WriteCoded(const char* module, uint32_t line, const char* function, const wchar_t* message,
                            uint32_t code, uint32_t subCode) noexcept;
    virtual ~VLibLogImpl() = default;

    void SetEcho(bool echo) noexcept { _echo = echo; }
    bool GetEcho() const noexcept { return _echo; }

    // "\nMod: <module> Line: <line> Func: <function> Msg: <message>"
    static std::wstring FormatLine(const char* module, uint32_t line, const char* function, const wchar_t* message);

private:
    bool _echo = false;
};

// The wizard's output; it writes as the base does.
class VLibLogImplExchInstaller : public VLibLogImpl
{
};

struct ThreadLogRecord
{
    uint32_t line = 0;
    std::string module;   // without directory: "LibService"
    std::string function; // "VLibService::Open"
    std::wstring message; // at most 999 characters
};

using ThreadLogList = std::vector<ThreadLogRecord>;

class VLibThreadLogQueue
{
public:
    static constexpr size_t kMessageBuffer = 1000;

    VLibThreadLogQueue() noexcept;
    ~VLibThreadLogQueue();
    VLibThreadLogQueue(const VLibThreadLogQueue&) = delete;
    VLibThreadLogQueue& operator=(const VLibThreadLogQueue&) = delete;

    // The process-wide queue.
    static VLibThreadLogQueue& Global() noexcept;

    // A null output is ignored. The output is not owned.
    void SetLogImpl(VLibLogImpl* output) noexcept;
    VLibLogImpl* GetLogImpl() const noexcept { return _output; }
    void RegisterThread() noexcept;
    // module is the caller's source file as ".\LibService".
    void LibLog(const char* module, uint32_t line, const char* function, const wchar_t* format, ...) noexcept;
    void LibLogV(const char* module, uint32_t line, const char* function, const wchar_t* format,
                 va_list args) noexcept;
    void Dump() noexcept;
    void ClearThread() noexcept;
    void ClearAll() noexcept;

    // The calling thread's records (tests and callers that inspect them).
    size_t CountForThisThread() noexcept;

private:
    ThreadLogList* _FindList() noexcept;

    std::map<uint32_t, std::unique_ptr<ThreadLogList>> _lists;
    VLibLogImpl _defaultOutput;
    VLibLogImpl* _output;
    // Guards the map only; each list is touched by its own thread alone.
    VLibMutex _lock;
};

// Empties the calling thread's list when the thread's top-level work ends.
class ThreadLogScope
{
public:
    ThreadLogScope() noexcept = default;
    ~ThreadLogScope() { VLibThreadLogQueue::Global().ClearThread(); }
    ThreadLogScope(const ThreadLogScope&) = delete;
    ThreadLogScope& operator=(const ThreadLogScope&) = delete;
};

// Where a library trace comes from: ".\LibService" and "VLibService::Open".
class VLibTraceSite
{
public:
    VLibTraceSite(const char* functionSignature, const char* sourcePath)
        : _module(".\\" + SourceSite::BaseName(sourcePath)), _function(SourceSite::QualifiedName(functionSignature))
    {
    }
    const char* Module() const noexcept { return _module.c_str(); }
    const char* Function() const noexcept { return _function.c_str(); }

private:
    std::string _module;
    std::string _function;
};

// Records one trace line of a library class in the calling thread's list.
#define VLIB_TRACE(...)                                                                              \
    do                                                                                               \
    {                                                                                                \
        static const VLibTraceSite vlibTraceSite_(KV_FUNCTION_SIGNATURE, __FILE__);                  \
        VLibThreadLogQueue::Global().LibLog(vlibTraceSite_.Module(), __LINE__, vlibTraceSite_.Function(), \
                                            __VA_ARGS__);                                            \
    } while (0)
