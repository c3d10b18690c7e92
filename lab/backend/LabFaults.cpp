// KvLab faults: see LabFaults.h.
#include "LabFaults.h"

#include "LabState.h"
#include "UniqueResource.h"

#include <array>
#include <mutex>
#include <string>

namespace KvLab
{
namespace
{
constexpr size_t kEntries = static_cast<size_t>(Entry::Count);

const wchar_t* const kNames[kEntries] = {
#define KV_LAB_NAME(name, result, params) L## #name,
    KV_ENTRY_POINTS(KV_LAB_NAME)
#undef KV_LAB_NAME
};

struct Fault
{
    uint32_t failAt = 0; // absolute call number; 0 = none
    DWORD error = 0;
};

struct State
{
    std::mutex lock;
    bool loaded = false;
    std::array<uint32_t, kEntries> calls{};
    std::array<Fault, kEntries> faults{};
};

State& Faults()
{
    static State state;
    return state;
}

DWORD ReadDword(HKEY key, const wchar_t* name)
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

// Faults a lab scenario left in the registry, for runs of the real program.
void LoadFromRegistry(State& state)
{
    state.loaded = true;
    for (size_t i = 0; i < kEntries; ++i)
    {
        const std::wstring path = std::wstring(kFaultsKey) + L"\\" + kNames[i];
        unique_hkey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        const DWORD call = ReadDword(key.get(), L"Call");
        if (call)
            state.faults[i] = Fault{state.calls[i] + call, ReadDword(key.get(), L"Error")};
    }
}
} // namespace

const wchar_t* EntryName(Entry entry) noexcept
{
    const size_t index = static_cast<size_t>(entry);
    return index < kEntries ? kNames[index] : L"";
}

void FailCall(Entry entry, uint32_t callNumber, DWORD error) noexcept
{
    State& state = Faults();
    std::lock_guard<std::mutex> guard(state.lock);
    const size_t index = static_cast<size_t>(entry);
    state.faults[index] = Fault{state.calls[index] + callNumber, error};
}

void ResetFaults() noexcept
{
    State& state = Faults();
    std::lock_guard<std::mutex> guard(state.lock);
    state.calls.fill(0);
    state.faults.fill(Fault{});
    LoadFromRegistry(state);
}

uint32_t CallCount(Entry entry) noexcept
{
    State& state = Faults();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.calls[static_cast<size_t>(entry)];
}

std::optional<DWORD> TakeFault(Entry entry) noexcept
{
    State& state = Faults();
    std::lock_guard<std::mutex> guard(state.lock);
    if (!state.loaded)
        LoadFromRegistry(state);
    const size_t index = static_cast<size_t>(entry);
    const uint32_t call = ++state.calls[index];
    Fault& fault = state.faults[index];
    if (fault.failAt == 0 || fault.failAt != call)
        return std::nullopt;
    fault.failAt = 0;
    return fault.error;
}
} // namespace KvLab
