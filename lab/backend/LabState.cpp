// KvLab state paths: see LabState.h.
#include "LabState.h"

#include "UniqueResource.h"

namespace KvLab
{
std::wstring NodeRootPath(const std::wstring& node, HKEY root)
{
    const wchar_t* rootName = root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE"
                              : root == HKEY_USERS      ? L"HKEY_USERS"
                                                        : nullptr;
    if (!rootName)
        return {};
    return std::wstring(kNodesKey) + L"\\" + node + L"\\" + rootName;
}

std::wstring LocalComputerName()
{
    unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLocalNodeKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS)
    {
        wchar_t name[MAX_COMPUTERNAME_LENGTH + 2] = {};
        DWORD size = sizeof(name) - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegQueryValueExW(key.get(), L"ComputerName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ && name[0])
            return name;
    }
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    ::GetComputerNameW(name, &length);
    return name;
}

bool IsLocalComputer(const wchar_t* name)
{
    if (!name || !*name)
        return true;
    if (name[0] == L'\\' && name[1] == L'\\')
        name += 2;
    return ::lstrcmpiW(name, L"localhost") == 0 || ::lstrcmpiW(name, LocalComputerName().c_str()) == 0;
}
} // namespace KvLab
