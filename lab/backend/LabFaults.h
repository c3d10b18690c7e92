// Fault injection for the lab backend: any entry can be told to fail its k-th
// call from now with a given error. Tests set faults in-process; a lab run
// reads them from HKLM\SOFTWARE\KorvelinLab\Faults\<entry> ("Call", "Error").
#pragma once

#include "EntryPoints.h"

#include <cstdint>
#include <optional>

namespace KvLab
{
enum class Entry
{
#define KV_LAB_ENUM(name, result, params) name,
    KV_ENTRY_POINTS(KV_LAB_ENUM)
#undef KV_LAB_ENUM
        Count
};

const wchar_t* EntryName(Entry entry) noexcept;

// The callNumber-th call of entry from now (1 = the next one) fails with error.
void FailCall(Entry entry, uint32_t callNumber, DWORD error) noexcept;
// Forgets every fault and every count, and reads the registry's faults again.
void ResetFaults() noexcept;
// Calls of entry since the last reset.
uint32_t CallCount(Entry entry) noexcept;

// Counts one call of entry; the error to fail it with, if it is to fail.
std::optional<DWORD> TakeFault(Entry entry) noexcept;
} // namespace KvLab
