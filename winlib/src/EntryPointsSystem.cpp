// The system backend: every entry is the real function.
#include "EntryPoints.h"

const KvEntryPointTable& KvEntry() noexcept
{
    static const KvEntryPointTable table = {
#define KV_SYSTEM_ENTRY(name, result, params) &::name,
        KV_ENTRY_POINTS(KV_SYSTEM_ENTRY)
#undef KV_SYSTEM_ENTRY
    };
    return table;
}
