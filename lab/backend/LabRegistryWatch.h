// The lab's state lives in the registry, and reading it for every simulated
// call would make the lab dominate what it serves. Caches of that state are
// made at one generation of the registry and stay exact while it holds.
#pragma once

#include <cstdint>

namespace KvLab
{
// Grows whenever some key below HKLM\SOFTWARE changed (by this process or any
// other) since the last call; grows at every call when it cannot watch.
uint64_t RegistryGeneration() noexcept;
} // namespace KvLab
