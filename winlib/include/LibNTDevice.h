// A device opened by its NT path through the native calls, and the NetBT
// interface device that the virtual-name table may have to delete.
#pragma once

#include "LibWin32Object.h"

#include <string>

class VLibNTDevice : public VLibObject
{
public:
    explicit VLibNTDevice(std::wstring deviceName) noexcept;
    ~VLibNTDevice() override;
    VLibNTDevice(const VLibNTDevice&) = delete;
    VLibNTDevice& operator=(const VLibNTDevice&) = delete;

    [[nodiscard]] CStatus Open(ACCESS_MASK access, ULONG attributes, ULONG shareAccess, ULONG disposition,
                               ULONG options, void* extendedAttributes, ULONG extendedLength) noexcept;
    [[nodiscard]] CStatus Close() noexcept;
    // 2/234 (more data) is reported without a trace.
    [[nodiscard]] CStatus Ioctl(DWORD code, void* input, DWORD inputLength, void* output, DWORD outputLength) noexcept;

    bool IsOpen() const noexcept { return _open; }
    const std::wstring& DeviceName() const noexcept { return _deviceName; }

private:
    CStatus _NotOpen() const noexcept;

    std::wstring _deviceName;
    HANDLE _handle = nullptr;
    bool _open = false;
    bool _valid = false;
};

class VLibNetbiosInterface : public VLibNTDevice
{
public:
    static constexpr DWORD kDeleteInterface = 0x0021C0B8;
    static constexpr size_t kRequestLength = 88;

    using VLibNTDevice::VLibNTDevice;
    // Opens the device if needed, asks NetBT to delete the interface, closes.
    [[nodiscard]] CStatus Destroy() noexcept;
};
