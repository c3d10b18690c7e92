// Threads and the named mutex of the framework.
#pragma once

#include "UniqueResource.h"

#include <windows.h>

#include <memory>

// A named (or unnamed) kernel mutex; the constructor creates it.
class CMutex
{
public:
    CMutex(BOOL initiallyOwn = FALSE, const wchar_t* name = nullptr) noexcept;
    // True when the mutex was taken within the time-out (an abandoned mutex
    // counts as taken).
    bool Lock(DWORD timeoutMs = INFINITE) noexcept;
    bool Unlock() noexcept;
    HANDLE GetHandle() const noexcept { return _handle.get(); }
    // The Windows error of a creation that failed, else 0.
    DWORD GetCreateError() const noexcept { return _createError; }

private:
    unique_handle _handle;
    DWORD _createError = 0;
};

using AFX_THREADPROC = UINT(__cdecl*)(LPVOID);

// A thread the caller keeps and waits for.
class CWinThread
{
public:
    explicit CWinThread(HANDLE thread) noexcept : _thread(thread) {}
    HANDLE GetHandle() const noexcept { return _thread.get(); }
    // True when the thread ended within the time-out.
    bool Wait(DWORD timeoutMs = INFINITE) const noexcept
    {
        return ::WaitForSingleObject(_thread.get(), timeoutMs) == WAIT_OBJECT_0;
    }

private:
    unique_handle _thread;
};

// Starts fn(param) on a new thread; null when it could not be started.
std::unique_ptr<CWinThread> AfxBeginThread(AFX_THREADPROC fn, LPVOID param) noexcept;
