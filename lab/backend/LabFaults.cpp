// KvLab faults: see LabFaults.h.
#include "LabFaults.h"

#include "LabCluster.h"
#include "LabState.h"
#include "UniqueResource.h"

#include <array>
#include <mutex>
#include <string>
#include <vector>

namespace KvLab
{
namespace
{
constexpr size_t kEntries = static_cast<size_t>(Entry::Count);

struct Point
{
    const wchar_t* name;
    KvFailsBy failsBy;
};

const Point kPoints[kEntries] = {
#define KV_LAB_ENTRY_POINT(name, result, params, failsBy) {L## #name, KvFailsBy::failsBy},
    KV_ENTRY_POINTS(KV_LAB_ENTRY_POINT)
#undef KV_LAB_ENTRY_POINT
#define KV_LAB_FAULT_POINT(name) {L## #name, KvFailsBy::HResult},
        KV_LAB_FAULT_POINTS(KV_LAB_FAULT_POINT)
#undef KV_LAB_FAULT_POINT
};

struct Fault
{
    uint32_t failAt = 0; // absolute call number
    DWORD error = 0;
    bool every = false; // and every call after it
};

struct Hold
{
    uint32_t callAt = 0; // absolute call number
    HANDLE reached = nullptr;
    HANDLE open = nullptr; // the gate's; it outlives the hold
};

struct State
{
    std::mutex lock;
    bool loaded = false;
    std::array<uint32_t, kEntries> calls{};
    std::array<std::vector<Fault>, kEntries> faults{};
    std::array<std::vector<Hold>, kEntries> holds{};
};

State& Faults()
{
    static State state;
    return state;
}

void Add(State& state, size_t index, uint32_t callNumber, DWORD error, bool every)
{
    if (callNumber == 0)
        return;
    try
    {
        state.faults[index].push_back(Fault{state.calls[index] + callNumber, error, every});
    }
    catch (...)
    {
        // A fault that cannot be stored is not set; the test that wanted it fails.
    }
}

void AddFromKey(State& state, size_t index, HKEY key)
{
    Add(state, index, ReadDword(key, L"Call").value_or(0), ReadDword(key, L"Error").value_or(0),
        ReadDword(key, L"Every").value_or(0) != 0);
}

// Faults a lab scenario left in the registry, for runs of the real program.
void LoadFromRegistry(State& state)
{
    state.loaded = true;
    for (size_t i = 0; i < kEntries; ++i)
    {
        const std::wstring path = std::wstring(kFaultsKey) + L"\\" + kPoints[i].name;
        unique_hkey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            continue;
        AddFromKey(state, i, key.get());
        wchar_t name[256];
        for (DWORD n = 0;; ++n)
        {
            DWORD length = ARRAYSIZE(name);
            unique_hkey more;
            if (::RegEnumKeyExW(key.get(), n, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            if (::RegOpenKeyExW(key.get(), name, 0, KEY_QUERY_VALUE, &more) == ERROR_SUCCESS)
                AddFromKey(state, i, more.get());
        }
    }
}

void Set(Entry entry, uint32_t callNumber, DWORD error, bool every) noexcept
{
    State& state = Faults();
    std::lock_guard<std::mutex> guard(state.lock);
    Add(state, static_cast<size_t>(entry), callNumber, error, every);
}
} // namespace

const wchar_t* EntryName(Entry entry) noexcept
{
    const size_t index = static_cast<size_t>(entry);
    return index < kEntries ? kPoints[index].name : L"";
}

KvFailsBy FailsBy(Entry entry) noexcept
{
    const size_t index = static_cast<size_t>(entry);
    return index < kEntries ? kPoints[index].failsBy : KvFailsBy::Code;
}

void FailCall(Entry entry, uint32_t callNumber, DWORD error) noexcept
{
    Set(entry, callNumber, error, false);
}

void FailFromCall(Entry entry, uint32_t callNumber, DWORD error) noexcept
{
    Set(entry, callNumber, error, true);
}

void ResetFaults() noexcept
{
    {
        State& state = Faults();
        std::lock_guard<std::mutex> guard(state.lock);
        state.calls.fill(0);
        for (auto& faults : state.faults)
            faults.clear();
        for (auto& holds : state.holds)
            holds.clear();
        LoadFromRegistry(state);
    }
    ResetClusterAttempts();
}

uint32_t CallCount(Entry entry) noexcept
{
    State& state = Faults();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.calls[static_cast<size_t>(entry)];
}

CallGate::CallGate(CallGate&& other) noexcept : _reached(other._reached), _open(other._open)
{
    other._reached = other._open = nullptr;
}

CallGate::~CallGate()
{
    Open();
    State& state = Faults();
    {
        std::lock_guard<std::mutex> guard(state.lock);
        for (auto& holds : state.holds)
            for (auto hold = holds.begin(); hold != holds.end(); ++hold)
                if (hold->open == _open)
                {
                    holds.erase(hold);
                    break;
                }
    }
    if (_reached)
        ::CloseHandle(_reached);
    if (_open)
        ::CloseHandle(_open);
}

bool CallGate::WaitReached(DWORD timeoutMs) const noexcept
{
    return _reached && ::WaitForSingleObject(_reached, timeoutMs) == WAIT_OBJECT_0;
}

void CallGate::Open() noexcept
{
    if (_open)
        ::SetEvent(_open);
}

CallGate HoldCall(Entry entry, uint32_t callNumber) noexcept
{
    CallGate gate;
    gate._reached = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    gate._open = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!gate._reached || !gate._open || callNumber == 0)
        return gate;
    State& state = Faults();
    std::lock_guard<std::mutex> guard(state.lock);
    const size_t index = static_cast<size_t>(entry);
    try
    {
        state.holds[index].push_back(Hold{state.calls[index] + callNumber, gate._reached, gate._open});
    }
    catch (...)
    {
        // Not held: the test that waits for the call times out.
    }
    return gate;
}

std::optional<DWORD> TakeFault(Entry entry) noexcept
{
    State& state = Faults();
    std::unique_lock<std::mutex> guard(state.lock);
    if (!state.loaded)
        LoadFromRegistry(state);
    const size_t index = static_cast<size_t>(entry);
    const uint32_t call = ++state.calls[index];
    for (const Hold& hold : state.holds[index])
        if (hold.callAt == call)
        {
            // Copies of the gate's events: the test may end the gate while
            // this call still waits at it.
            HANDLE reached = nullptr, open = nullptr;
            const HANDLE self = ::GetCurrentProcess();
            ::DuplicateHandle(self, hold.reached, self, &reached, 0, FALSE, DUPLICATE_SAME_ACCESS);
            ::DuplicateHandle(self, hold.open, self, &open, 0, FALSE, DUPLICATE_SAME_ACCESS);
            guard.unlock();
            const unique_handle reachedCopy(reached), openCopy(open);
            ::SetEvent(reached);
            ::WaitForSingleObject(open, INFINITE);
            guard.lock();
            break;
        }
    auto& faults = state.faults[index];
    for (auto fault = faults.begin(); fault != faults.end(); ++fault)
    {
        if (fault->every ? fault->failAt > call : fault->failAt != call)
            continue;
        const DWORD error = fault->error;
        if (!fault->every)
            faults.erase(fault);
        return error;
    }
    return std::nullopt;
}
} // namespace KvLab
