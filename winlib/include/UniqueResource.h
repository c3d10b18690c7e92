// Move-only owners for Win32 handles: one owner per handle, released once.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
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
        if (this != std::addressof(other))
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

// Traits of a handle type: its failure value and the function that releases it.
template <typename Handle, auto CloseFn, auto InvalidValue = nullptr>
struct CHandleTraits
{
    using pointer = Handle;
    static pointer Invalid() noexcept
    {
        if constexpr (std::is_same_v<decltype(InvalidValue), std::nullptr_t>)
            return nullptr;
        else
            return reinterpret_cast<pointer>(InvalidValue);
    }
    static void Close(pointer value) noexcept { CloseFn(value); }
};

using unique_hkey = CUniqueResource<CHandleTraits<HKEY, &::RegCloseKey>>;
// CreateFile fails with INVALID_HANDLE_VALUE, other kernel calls with null.
using unique_hfile = CUniqueResource<CHandleTraits<HANDLE, &::CloseHandle, static_cast<intptr_t>(-1)>>;
using unique_handle = CUniqueResource<CHandleTraits<HANDLE, &::CloseHandle>>;
using unique_hmodule = CUniqueResource<CHandleTraits<HMODULE, &::FreeLibrary>>;
using unique_hhook = CUniqueResource<CHandleTraits<HHOOK, &::UnhookWindowsHookEx>>;
using unique_schandle = CUniqueResource<CHandleTraits<SC_HANDLE, &::CloseServiceHandle>>;
// GDI objects and icons of the user interface; shared icons (LR_SHARED) are
// never owned.
using unique_hbitmap = CUniqueResource<CHandleTraits<HBITMAP, &::DeleteObject>>;
using unique_hbrush = CUniqueResource<CHandleTraits<HBRUSH, &::DeleteObject>>;
using unique_hicon = CUniqueResource<CHandleTraits<HICON, &::DestroyIcon>>;

// COM on the calling thread: released once, by reset() or at scope exit, and
// only when this owner's initialisation succeeded.
class unique_com_init
{
public:
    unique_com_init() noexcept : _result(::CoInitialize(nullptr)) {}
    ~unique_com_init() { reset(); }
    unique_com_init(const unique_com_init&) = delete;
    unique_com_init& operator=(const unique_com_init&) = delete;

    HRESULT result() const noexcept { return _result; }
    void reset() noexcept
    {
        if (SUCCEEDED(_result))
            ::CoUninitialize();
        _result = CO_E_NOTINITIALIZED;
    }

private:
    HRESULT _result;
};

// COM strings and variants, for the COM-based library classes.

using unique_bstr = CUniqueResource<CHandleTraits<BSTR, &::SysFreeString>>;
using unique_safearray = CUniqueResource<CHandleTraits<SAFEARRAY*, &::SafeArrayDestroy>>;

// Cleared once; VariantClear also releases an interface or string it holds.
struct unique_variant
{
    unique_variant() noexcept { ::VariantInit(&value); }
    ~unique_variant() { ::VariantClear(&value); }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;

    // For out-parameters: whatever was held is cleared first.
    VARIANT* operator&() noexcept
    {
        ::VariantClear(&value);
        return &value;
    }

    VARIANT value;
};
