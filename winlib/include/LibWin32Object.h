// Root of the helper library's object family and the owner of one Win32 handle.
#pragma once

#include "Status.h"

#include <windows.h>

class VLibObject
{
public:
    virtual ~VLibObject() = default;
};

class VLibWin32Object : public VLibObject
{
public:
    VLibWin32Object() noexcept = default;
    explicit VLibWin32Object(HANDLE handle) noexcept : _handle(handle) {}
    ~VLibWin32Object() override;
    VLibWin32Object(const VLibWin32Object&) = delete;
    VLibWin32Object& operator=(const VLibWin32Object&) = delete;

    // Neither null nor INVALID_HANDLE_VALUE.
    virtual bool IsOpen() const noexcept;
    // Never fails towards the caller: a failed CloseHandle is only traced.
    [[nodiscard]] virtual CStatus Close() noexcept;
    virtual HANDLE GetHandle() const noexcept { return _handle; }
    // Closes what is held, then owns the given handle.
    [[nodiscard]] virtual CStatus Attach(HANDLE handle) noexcept;
    // Hands the handle to the caller, who closes it.
    virtual HANDLE Detach() noexcept;

protected:
    HANDLE _handle = nullptr;
};
