// A handle that can be waited on.
#pragma once

#include "LibWin32Object.h"

class VLibSyncObject : public VLibWin32Object
{
public:
    // Signalled and abandoned both count as success; a time-out is 2/258.
    [[nodiscard]] virtual CStatus Wait(DWORD timeoutMs) noexcept;
    // Nothing to do for the objects of this library.
    [[nodiscard]] virtual CStatus Notify(uint32_t value, uint64_t data) noexcept;
    // What a lock releases; objects that cannot be released report success.
    [[nodiscard]] virtual CStatus Release() noexcept;
};
