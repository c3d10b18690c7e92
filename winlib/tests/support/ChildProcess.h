// Runs a program to its end for a test: its exit code; the error when it
// cannot start; WAIT_TIMEOUT when it outlives the wait (it is then ended).
#pragma once

#include "UniqueResource.h"

#include <windows.h>

#include <string>

inline DWORD RunToEnd(const std::wstring& program, std::wstring commandLine, DWORD timeoutMs = 60000)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), commandLine.empty() ? nullptr : commandLine.data(), nullptr, nullptr,
                          FALSE, 0, nullptr, nullptr, &startup, &process))
        return ::GetLastError();
    const unique_handle child(process.hProcess), thread(process.hThread);
    DWORD exitCode = WAIT_TIMEOUT;
    if (::WaitForSingleObject(child.get(), timeoutMs) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(child.get(), &exitCode);
    else
        ::TerminateProcess(child.get(), WAIT_TIMEOUT);
    return exitCode;
}
