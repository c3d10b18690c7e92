// Linked into every test executable: a crash ends the process with the
// exception's code. Under Wine the debugger that a crash starts may leave the
// process with exit code 0, which ctest would count as a pass.
#include <windows.h>

#include <cstdio>

namespace
{
LONG WINAPI ExitOnCrash(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD* record = exception ? exception->ExceptionRecord : nullptr;
    const DWORD code = record ? record->ExceptionCode : 0xDEAD;
    std::fprintf(stderr, "\nunhandled exception 0x%08lX at %p: the test process ends here\n", code,
                 record ? record->ExceptionAddress : nullptr);
    std::fflush(stderr);
    std::fflush(stdout);
    ::TerminateProcess(::GetCurrentProcess(), code ? code : 0xDEAD);
    return EXCEPTION_EXECUTE_HANDLER;
}

const LPTOP_LEVEL_EXCEPTION_FILTER g_previous = ::SetUnhandledExceptionFilter(ExitOnCrash);
} // namespace
