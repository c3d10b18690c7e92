// What the wizard tests' shared set-up provides.
#pragma once

#include "LoggerBasic.h"

#include <string>

#define KV_STRINGIZE_(x) #x
#define KV_STRINGIZE(x) KV_STRINGIZE_(x)
// The unique message identifier that a box's text and a log line carry for a
// string id, as a literal: "M-42-13-<id> ".
#define KV_MESSAGE_TAG(id) "M-42-13-" KV_STRINGIZE(id) " "
#define KV_MESSAGE_TAGW(id) L"M-42-13-" KV_STRINGIZE(id) L" "

// One whole log line as Untimed() shows it; lines concatenate into a block.
#define KV_LOG_LINE(level, id, text) "QLX " level " " KV_MESSAGE_TAG(id) text "\r\n"

// What the process-wide log (component 13, debug level 1) received since
// construction, across one rotation of its files.
class CLogTail
{
public:
    CLogTail();
    std::string Text() const;
    bool Has(const std::string& lines) const { return Text().find(lines) != std::string::npos; }
    // The entries' message lines without their time stamps (and without the
    // lines that name where they came from), so that consecutive entries can
    // be looked for as one block (see KV_LOG_LINE).
    std::string Untimed() const;
    bool HasLines(const std::string& lines) const { return Untimed().find(lines) != std::string::npos; }

private:
    size_t _start;
    size_t _previousSize; // of B: it changes when A is moved there
};

// For state that lasts as long as the process: the test runs itself again,
// alone, in a new process (RunInFreshProcess gives that run's exit code, 0
// when it passed) and does its work only there (InFreshProcess).
bool InFreshProcess();
DWORD RunInFreshProcess();

// Installs a language module as the resource handle for one test and puts
// the previous one back afterwards.
class CScopedResourceModule
{
public:
    explicit CScopedResourceModule(HMODULE module) noexcept;
    ~CScopedResourceModule();
    CScopedResourceModule(const CScopedResourceModule&) = delete;
    CScopedResourceModule& operator=(const CScopedResourceModule&) = delete;

private:
    HINSTANCE _previous;
    HMODULE _module;
};
