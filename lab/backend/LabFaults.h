// Fault injection for the lab backend: any entry, and any of the lab's own
// fault points, can be told to fail its k-th call from now, or every call
// from the k-th on, with an error in that call's own terms. Several faults
// may wait on one entry. Tests set faults in-process; a lab run reads them
// from the registry:
//
//   HKLM\SOFTWARE\KorvelinLab\Faults\<entry>   one fault, and one more per subkey (any name)
//       "Call"    REG_DWORD, the call that fails, 1 = the first; 0 or missing: no fault
//       "Error"   REG_DWORD, the Win32 error or HRESULT it fails with
//       "Every"   REG_DWORD, 1: every call from "Call" on fails
#pragma once

#include "EntryPoints.h"

#include <cstdint>
#include <optional>
#include <type_traits>

namespace KvLab
{
// Fault points of the lab that are no entry points: the directory objects'
// COM methods. They fail with an HRESULT.
#define KV_LAB_FAULT_POINTS(X)                                                                                         \
    X(DirectoryGetInfoEx)                                                                                              \
    X(DirectoryGet)                                                                                                    \
    X(DirectoryGetEx)                                                                                                  \
    X(DirectoryExecuteSearch)                                                                                          \
    X(DirectoryGetNextRow)                                                                                             \
    X(DirectoryGetColumn)                                                                                              \
    X(DirectoryDelete)                                                                                                 \
    X(DirectoryDeleteObject)

enum class Entry
{
#define KV_LAB_ENTRY_ENUM(name, result, params, failsBy) name,
    KV_ENTRY_POINTS(KV_LAB_ENTRY_ENUM)
#undef KV_LAB_ENTRY_ENUM
#define KV_LAB_POINT_ENUM(name) name,
        KV_LAB_FAULT_POINTS(KV_LAB_POINT_ENUM)
#undef KV_LAB_POINT_ENUM
            Count
};

const wchar_t* EntryName(Entry entry) noexcept;
KvFailsBy FailsBy(Entry entry) noexcept;

// The callNumber-th call of entry from now (1 = the next one) fails with error.
void FailCall(Entry entry, uint32_t callNumber, DWORD error) noexcept;
// Every call of entry from the callNumber-th from now on fails with error.
void FailFromCall(Entry entry, uint32_t callNumber, DWORD error) noexcept;
// Forgets every fault and every count (the cluster engine's failed "SysInfo"
// reads too), and reads the registry's faults again.
void ResetFaults() noexcept;
// Calls of entry since the last reset.
uint32_t CallCount(Entry entry) noexcept;

// Holds the callNumber-th call of entry from now at its start until the
// returned gate opens, so a test can watch the program while the call is
// under way. Closing the gate (its destruction) lets the call go on.
class CallGate
{
public:
    CallGate() noexcept = default;
    CallGate(CallGate&& other) noexcept;
    CallGate& operator=(CallGate&&) = delete;
    ~CallGate();
    // True once the held call has started (false on time-out).
    bool WaitReached(DWORD timeoutMs) const noexcept;
    void Open() noexcept;

private:
    friend CallGate HoldCall(Entry entry, uint32_t callNumber) noexcept;
    HANDLE _reached = nullptr;
    HANDLE _open = nullptr;
};
CallGate HoldCall(Entry entry, uint32_t callNumber) noexcept;

// Counts one call of entry (waiting at a gate set for it); the error to fail
// it with, if it is to fail.
std::optional<DWORD> TakeFault(Entry entry) noexcept;

// Counts one call of entry; if it is to fail, what it returns then: FALSE or
// null with the error as the last error, the error itself, or the error as an
// HRESULT (an HRESULT stays as it is).
template <typename Result> std::optional<Result> TakeFailure(Entry entry) noexcept
{
    const std::optional<DWORD> error = TakeFault(entry);
    if (!error)
        return std::nullopt;
    if constexpr (std::is_pointer_v<Result>)
    {
        ::SetLastError(*error);
        return Result{};
    }
    else
    {
        switch (FailsBy(entry))
        {
        case KvFailsBy::LastError:
            ::SetLastError(*error);
            return Result{};
        case KvFailsBy::HResult:
            return static_cast<Result>(HRESULT_FROM_WIN32(*error));
        default:
            return static_cast<Result>(*error);
        }
    }
}
} // namespace KvLab
