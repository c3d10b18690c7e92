// The calls that reach beyond this computer or change its identity. Code
// makes them only through this table; the program links the system backend
// (the real functions), the lab edition and the tests link the lab backend
// (simulated surroundings). Adding an entry is one line here and a function
// of the same name in the lab backend.
#pragma once

#include <windows.h>

// X(name, return type, parameter list)
#define KV_ENTRY_POINTS(X)                                                                   \
    X(RegConnectRegistryW, LSTATUS, (LPCWSTR machineName, HKEY root, PHKEY result))                  \
    X(ADsOpenObject, HRESULT,                                                                        \
      (LPCWSTR pathName, LPCWSTR userName, LPCWSTR password, DWORD reserved, REFIID riid, void** object))

struct KvEntryPointTable
{
#define KV_ENTRY_FIELD(name, result, params) result(WINAPI* name) params;
    KV_ENTRY_POINTS(KV_ENTRY_FIELD)
#undef KV_ENTRY_FIELD
};

// The table of this build.
const KvEntryPointTable& KvEntry() noexcept;
