// Functions found at run time: a module and a function name in, a typed
// function pointer out (null when the module or the function is missing).
// GetProcAddress cannot know a function's type, so this is the one place
// that converts its result; callers name the type they expect.
#pragma once

#include <windows.h>

#include <type_traits>

template <typename Function>
Function KvResolve(FARPROC found) noexcept
{
    static_assert(std::is_pointer_v<Function> && std::is_function_v<std::remove_pointer_t<Function>>,
                  "resolve to a function pointer type");
    // Through the generic function type, which converts to and from any other
    // without a warning: the caller vouches for the real signature.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

template <typename Function>
Function KvResolve(HMODULE module, const char* name) noexcept
{
    return KvResolve<Function>(module ? ::GetProcAddress(module, name) : nullptr);
}
