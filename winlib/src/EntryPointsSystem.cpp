// The system backend: every entry is the real function.
#include "EntryPoints.h"

// ADSI's headers need COM's types, which WIN32_LEAN_AND_MEAN leaves out.
#include <ole2.h>

#include <activeds.h>

const KvEntryPointTable& KvEntry() noexcept
{
    static const KvEntryPointTable table = {
#define KV_SYSTEM_ENTRY(name, result, params, failsBy) &::name,
        KV_ENTRY_POINTS(KV_SYSTEM_ENTRY)
#undef KV_SYSTEM_ENTRY
    };
    return table;
}
