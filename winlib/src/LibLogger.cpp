// VLibThreadLogQueue and its outputs: see LibLogger.h.
#include "LibLogger.h"

#include "LibSingleLock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{
VLibThreadLogQueue g_threadLogQueue;

constexpr char kDumpModule[] = ".\\LibLogger";
constexpr char kDumpFunction[] = "VLibThreadLogQueue::Dump";
constexpr uint32_t kDumpStartLine = 206;
constexpr uint32_t kDumpEndLine = 217;
constexpr wchar_t kDumpStart[] = L"*** Start of debug information dump for troubleshooting ***";
constexpr wchar_t kDumpEnd[] = L"*** End of debug information dump for troubleshooting ***";
constexpr wchar_t kUnformattable[] = L"Unknown error (_vsnwprintf is not able to put the message)";

// The bounded formatter reports a format it cannot use (a null one) through
// the C runtime's invalid-parameter handler, which by default ends the
// process; while a trace is formatted it only makes the call fail.
void IgnoreInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t)
{
}

// At most 999 characters, longer text cut; false when the
// format could not be used at all.
bool FormatBounded(wchar_t (&buffer)[VLibThreadLogQueue::kMessageBuffer], const wchar_t* format, va_list args) noexcept
{
    const _invalid_parameter_handler previous = _set_invalid_parameter_handler(&IgnoreInvalidParameter);
    errno = 0;
    const int written = _vsnwprintf_s(buffer, VLibThreadLogQueue::kMessageBuffer, _TRUNCATE, format, args);
    const bool unusable = written < 0 && errno == EINVAL;
    _set_invalid_parameter_handler(previous);
    return !unusable;
}

const char* AfterLastBackslash(const char* module) noexcept
{
    const char* slash = std::strrchr(module, '\\');
    return slash ? slash + 1 : module;
}

void PrintLine(const std::wstring& text) noexcept
{
    fputws(text.c_str(), stdout);
    fflush(stdout);
}
} // namespace

std::wstring VLibLogImpl::FormatLine(const char* module, uint32_t line, const char* function, const wchar_t* message)
{
    const int needed = _scwprintf(L"\nMod: %S Line: %d Func: %S Msg: %s", module, static_cast<int>(line), function,
                                  message);
    if (needed < 0)
        return {};
    std::wstring text(static_cast<size_t>(needed) + 1, L'\0');
    _snwprintf(text.data(), text.size(), L"\nMod: %S Line: %d Func: %S Msg: %s", module, static_cast<int>(line),
               function, message);
    text.resize(static_cast<size_t>(needed));
    return text;
}

void VLibLogImpl::Write(const char* module, uint32_t line, const char* function, const wchar_t* message) noexcept
{
    if (_echo)
        WriteDump(module, line, function, message);
}

void VLibLogImpl::WriteDump(const char* module, uint32_t line, const char* function, const wchar_t* message) noexcept
{
    try
    {
        PrintLine(FormatLine(module, line, function, message));
    }
    catch (...)
    {
    }
}

void VLibLogImpl::WriteCoded(const char*, uint32_t, const char*, const wchar_t*, uint32_t, uint32_t) noexcept
{
}

VLibThreadLogQueue::VLibThreadLogQueue() noexcept : _output(&_defaultOutput)
{
    (void)_lock.Create(false, nullptr);
}

VLibThreadLogQueue::~VLibThreadLogQueue()
{
    ClearAll();
}

VLibThreadLogQueue& VLibThreadLogQueue::Global() noexcept
{
    return g_threadLogQueue;
}

void VLibThreadLogQueue::SetLogImpl(VLibLogImpl* output) noexcept
{
    if (output)
        _output = output;
}

ThreadLogList* VLibThreadLogQueue::_FindList() noexcept
{
    // A lock that cannot be taken (or is not made yet) means no list.
    if (!_lock.IsOpen())
        return nullptr;
    VLibSingleLock lock(&_lock, false);
    if (lock.Wait(INFINITE).IsFailed())
        return nullptr;
    const auto found = _lists.find(::GetCurrentThreadId());
    return found == _lists.end() ? nullptr : found->second.get();
}

void VLibThreadLogQueue::RegisterThread() noexcept
{
    if (_FindList() || !_lock.IsOpen())
        return;
    VLibSingleLock lock(&_lock, false);
    if (lock.Wait(INFINITE).IsFailed())
        return;
    try
    {
        _lists.emplace(::GetCurrentThreadId(), std::make_unique<ThreadLogList>());
    }
    catch (...)
    {
        // Without a list the thread's traces are dropped, as for any thread
        // that never registered.
    }
}

void VLibThreadLogQueue::LibLog(const char* module, uint32_t line, const char* function, const wchar_t* format,
                                ...) noexcept
{
    va_list args;
    va_start(args, format);
    LibLogV(module, line, function, format, args);
    va_end(args);
}

void VLibThreadLogQueue::LibLogV(const char* module, uint32_t line, const char* function, const wchar_t* format,
                                 va_list args) noexcept
{
    // A trace raised while recording a trace (the map's lock failing) is dropped.
    static thread_local bool recording = false;
    if (recording)
        return;
    recording = true;
    ThreadLogList* list = _FindList();
    recording = false;
    if (!list)
        return;

    wchar_t buffer[kMessageBuffer] = {};
    if (!FormatBounded(buffer, format, args))
        wcsncpy(buffer, kUnformattable, kMessageBuffer - 1);
    buffer[kMessageBuffer - 1] = L'\0';

    module = module ? module : "";
    function = function ? function : "";
    try
    {
        list->push_back(ThreadLogRecord{line, AfterLastBackslash(module), function, buffer});
    }
    catch (...)
    {
        return;
    }
    if (_output->GetEcho())
        _output->Write(module, line, function, buffer);
}

void VLibThreadLogQueue::Dump() noexcept
{
    ThreadLogList* list = _FindList();
    if (!list)
        return;
    if (!list->empty())
    {
        _output->WriteDump(kDumpModule, kDumpStartLine, kDumpFunction, kDumpStart);
        for (const ThreadLogRecord& record : *list)
            _output->WriteDump(record.module.c_str(), record.line, record.function.c_str(), record.message.c_str());
        _output->WriteDump(kDumpModule, kDumpEndLine, kDumpFunction, kDumpEnd);
    }
    list->clear();
}

void VLibThreadLogQueue::ClearThread() noexcept
{
    if (ThreadLogList* list = _FindList())
        list->clear();
}

void VLibThreadLogQueue::ClearAll() noexcept
{
    if (!_lock.IsOpen())
        return;
    VLibSingleLock lock(&_lock, false);
    if (lock.Wait(INFINITE).IsFailed())
        return;
    _lists.clear();
}

size_t VLibThreadLogQueue::CountForThisThread() noexcept
{
    const ThreadLogList* list = _FindList();
    return list ? list->size() : 0;
}
