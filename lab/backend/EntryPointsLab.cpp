// The lab backend: the node's surroundings simulated from the lab's registry.
#include "EntryPoints.h"

#include "LabDirectory.h"
#include "LabFaults.h"
#include "LabState.h"
#include "UniqueResource.h"

namespace KvLab
{
namespace
{
// The local computer's own registry is the real one; a lab node's is its
// subtree; anything else is a computer that cannot be reached.
LSTATUS WINAPI RegConnectRegistryW(LPCWSTR machineName, HKEY root, PHKEY result)
{
    if (const auto fault = TakeFault(Entry::RegConnectRegistryW))
        return static_cast<LSTATUS>(*fault);
    if (IsLocalComputer(machineName))
        return ::RegConnectRegistryW(nullptr, root, result);

    std::wstring node = machineName;
    if (node.compare(0, 2, L"\\\\") == 0)
        node.erase(0, 2);
    unique_hkey nodeKey;
    const std::wstring nodePath = std::wstring(kNodesKey) + L"\\" + node;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, nodePath.c_str(), 0, KEY_QUERY_VALUE, &nodeKey) != ERROR_SUCCESS)
        return ERROR_BAD_NETPATH;
    DWORD unreachable = 0;
    DWORD size = sizeof(unreachable);
    if (::RegQueryValueExW(nodeKey.get(), L"Unreachable", nullptr, nullptr, reinterpret_cast<BYTE*>(&unreachable),
                           &size) == ERROR_SUCCESS &&
        unreachable)
        return ERROR_BAD_NETPATH;

    const std::wstring rootPath = NodeRootPath(node, root);
    if (rootPath.empty())
        return ERROR_INVALID_HANDLE;
    return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, rootPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, result,
                             nullptr);
}

// Directory objects come from the lab's domain; every bind is recorded. A
// faulted call reports a Win32 error as its HRESULT, an HRESULT unchanged.
HRESULT WINAPI ADsOpenObject(LPCWSTR pathName, LPCWSTR userName, LPCWSTR password, DWORD reserved, REFIID riid,
                             void** object)
{
    if (const auto fault = TakeFault(Entry::ADsOpenObject))
        return HRESULT_FROM_WIN32(*fault);
    return OpenDirectoryObject(pathName, userName, password, reserved, riid, object);
}
} // namespace
} // namespace KvLab

const KvEntryPointTable& KvEntry() noexcept
{
    static const KvEntryPointTable table = {
#define KV_LAB_ENTRY(name, result, params) &KvLab::name,
        KV_ENTRY_POINTS(KV_LAB_ENTRY)
#undef KV_LAB_ENTRY
    };
    return table;
}
