// Owners of the cluster library's results. Each frees its result through the
// entry-point table, never by calling the library: a result of the lab's
// engine freed by the real library would crash a node.
#pragma once

#include "EntryPoints.h"
#include "UniqueResource.h"

template <typename Result, void (WINAPI* KvEntryPointTable::*Free)(Result**)>
struct CClusterResultTraits
{
    using pointer = Result*;
    static pointer Invalid() noexcept { return nullptr; }
    static void Close(pointer value) noexcept { (KvEntry().*Free)(&value); }
};

using unique_qlx_cntlinfo = CUniqueResource<CClusterResultTraits<QLXCntlInfo, &KvEntryPointTable::QLXFreeCntlInfo>>;
using unique_qlx_names = CUniqueResource<CClusterResultTraits<QLXNames, &KvEntryPointTable::QLXFreeObjNames>>;
using unique_qlx_attr = CUniqueResource<CClusterResultTraits<QLXAttr, &KvEntryPointTable::QLXFreeAttr>>;
using unique_qlx_str = CUniqueResource<CClusterResultTraits<char, &KvEntryPointTable::QLXFreeStr>>;
using unique_qlx_states = CUniqueResource<CClusterResultTraits<QLXStates, &KvEntryPointTable::QLXFreeObjState>>;
