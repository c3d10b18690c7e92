// A diagnostic-queue output for tests: keeps what the queue writes out
// instead of printing it.
#pragma once

#include "LibLogger.h"

#include <string>
#include <vector>

struct Written
{
    std::string module;
    uint32_t line;
    std::string function;
    std::wstring message;
    bool dump;
};

class CRecordingOutput : public VLibLogImpl
{
public:
    void Write(const char* module, uint32_t line, const char* function, const wchar_t* message) noexcept override
    {
        if (GetEcho())
            written.push_back({module, line, function, message, false});
    }
    void WriteDump(const char* module, uint32_t line, const char* function, const wchar_t* message) noexcept override
    {
        written.push_back({module, line, function, message, true});
    }
    // The calling thread's traces since the last call, without the dump's frame.
    std::vector<std::wstring> TakeTraces()
    {
        written.clear();
        VLibThreadLogQueue::Global().Dump();
        std::vector<std::wstring> traces;
        for (const Written& line : written)
            if (line.module != ".\\LibLogger")
                traces.push_back(line.message);
        return traces;
    }

    std::vector<Written> written;
};

// Takes the process-wide queue's output while it lives, with the calling
// thread registered; afterwards every thread's list is gone.
class CScopedRecordingOutput : public CRecordingOutput
{
public:
    CScopedRecordingOutput() noexcept : _previous(VLibThreadLogQueue::Global().GetLogImpl())
    {
        VLibThreadLogQueue::Global().SetLogImpl(this);
        VLibThreadLogQueue::Global().RegisterThread();
    }
    ~CScopedRecordingOutput() override
    {
        VLibThreadLogQueue::Global().ClearAll();
        VLibThreadLogQueue::Global().SetLogImpl(_previous);
    }
    CScopedRecordingOutput(const CScopedRecordingOutput&) = delete;
    CScopedRecordingOutput& operator=(const CScopedRecordingOutput&) = delete;

private:
    VLibLogImpl* _previous;
};
