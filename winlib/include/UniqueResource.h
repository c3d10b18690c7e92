// Move-only owners for Win32 handles: one owner per handle, released once.
#pragma once

#include <windows.h>

#include <utility>

// Traits give the handle type, its invalid value and how to release it.
template <typename Traits>
class CUniqueResource
{
public:
    using pointer = typename Traits::pointer;

    CUniqueResource() noexcept = default;
    explicit CUniqueResource(pointer value) noexcept : _value(value) {}
    CUniqueResource(CUniqueResource&& other) noexcept : _value(other.release()) {}
    CUniqueResource& operator=(CUniqueResource&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    CUniqueResource(const CUniqueResource&) = delete;
    CUniqueResource& operator=(const CUniqueResource&) = delete;
    ~CUniqueResource() { reset(); }

    pointer get() const noexcept { return _value; }
    bool is_valid() const noexcept { return _value != Traits::Invalid(); }
    explicit operator bool() const noexcept { return is_valid(); }

    void reset(pointer value = Traits::Invalid()) noexcept
    {
        const pointer old = std::exchange(_value, value);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }
    pointer release() noexcept { return std::exchange(_value, Traits::Invalid()); }

    // For out-parameters: whatever was owned is released first.
    pointer* operator&() noexcept
    {
        reset();
        return &_value;
    }

private:
    pointer _value = Traits::Invalid();
};

struct CHKeyTraits
{
    using pointer = HKEY;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer value) noexcept { ::RegCloseKey(value); }
};

// Kernel handles whose failure value is INVALID_HANDLE_VALUE (CreateFile).
struct CFileHandleTraits
{
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(pointer value) noexcept { ::CloseHandle(value); }
};

// Kernel handles whose failure value is null (threads, events, mutexes).
struct CKernelHandleTraits
{
    using pointer = HANDLE;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer value) noexcept { ::CloseHandle(value); }
};

struct CModuleTraits
{
    using pointer = HMODULE;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer value) noexcept { ::FreeLibrary(value); }
};

struct CHookTraits
{
    using pointer = HHOOK;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer value) noexcept { ::UnhookWindowsHookEx(value); }
};

using unique_hkey = CUniqueResource<CHKeyTraits>;
using unique_hfile = CUniqueResource<CFileHandleTraits>;
using unique_handle = CUniqueResource<CKernelHandleTraits>;
using unique_hmodule = CUniqueResource<CModuleTraits>;
using unique_hhook = CUniqueResource<CHookTraits>;
