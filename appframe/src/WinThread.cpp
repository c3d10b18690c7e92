// CMutex, CWinThread and AfxBeginThread: see AfxMt.h.
#include "AfxMt.h"

#include "EntryPoints.h"

#include <process.h>

#include <new>

CMutex::CMutex(BOOL initiallyOwn, const wchar_t* name) noexcept : _handle(::CreateMutexW(nullptr, initiallyOwn, name))
{
    if (!_handle)
        _createError = ::GetLastError();
}

bool CMutex::Lock(DWORD timeoutMs) noexcept
{
    if (!_handle)
        return false;
    const DWORD result = ::WaitForSingleObject(_handle.get(), timeoutMs);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

bool CMutex::Unlock() noexcept
{
    return _handle && ::ReleaseMutex(_handle.get());
}

namespace
{
struct ThreadStart
{
    AFX_THREADPROC fn;
    LPVOID param;
};

unsigned __stdcall ThreadEntry(void* start)
{
    const ThreadStart copy = *static_cast<ThreadStart*>(start);
    delete static_cast<ThreadStart*>(start);
    return copy.fn(copy.param);
}
} // namespace

std::unique_ptr<CWinThread> AfxBeginThread(AFX_THREADPROC fn, LPVOID param) noexcept
{
    auto* start = new (std::nothrow) ThreadStart{fn, param};
    if (!start)
        return nullptr;
    // _beginthreadex so the C runtime is set up for the thread; suspended
    // until its owner exists, so no thread ever runs that nobody can wait for.
    const uintptr_t thread = KvEntry()._beginthreadex(nullptr, 0, &ThreadEntry, start, CREATE_SUSPENDED, nullptr);
    if (!thread)
    {
        delete start;
        return nullptr;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(thread);
    auto owner = std::unique_ptr<CWinThread>(new (std::nothrow) CWinThread(handle));
    if (!owner)
    {
        ::TerminateThread(handle, ERROR_NOT_ENOUGH_MEMORY); // it never ran a line of fn
        ::CloseHandle(handle);
        delete start;
        return nullptr;
    }
    ::ResumeThread(handle);
    return owner;
}
