// The handles the lab's network hands out: ICMP handles and open NetBT
// devices. Each is an event handle the lab owns, so its value cannot be the
// value of another handle of the process while it is open.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>

namespace KvLab
{
enum class LabHandleKind
{
    Icmp4,
    Icmp6,
    NetbtDevice
};

struct LabHandle
{
    LabHandleKind kind;
    std::wstring device; // NetBT devices only
};

// Null, with the last error set, when no handle can be made.
HANDLE OpenLabHandle(const LabHandle& handle) noexcept;
std::optional<LabHandle> FindLabHandle(HANDLE handle);
// False when the handle is no open lab handle of one of these kinds.
bool CloseLabHandle(HANDLE handle, std::initializer_list<LabHandleKind> kinds) noexcept;
} // namespace KvLab
