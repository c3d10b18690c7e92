// KvLab state paths: see LabState.h.
#include "LabState.h"

#include "LabRegistryWatch.h"
#include "UniqueResource.h"

#include <cwchar>
#include <mutex>

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

namespace
{
std::wstring ReadLocalComputerName()
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
} // namespace

std::wstring LocalComputerName()
{
    // Asked for at every simulated connection: read once per registry generation.
    static std::mutex lock;
    static uint64_t generation = 0;
    static std::wstring name;
    const uint64_t now = RegistryGeneration();
    std::lock_guard<std::mutex> guard(lock);
    if (now != generation || name.empty())
    {
        name = ReadLocalComputerName();
        generation = now;
    }
    return name;
}

std::optional<std::wstring> ReadText(HKEY key, const wchar_t* name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

std::optional<std::vector<BYTE>> ReadRaw(HKEY key, const wchar_t* name, DWORD expectedType)
{
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != expectedType)
        return std::nullopt;
    std::vector<BYTE> data(size);
    if (::RegQueryValueExW(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    return data;
}

std::optional<DWORD> ReadDword(HKEY key, const wchar_t* name)
{
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return std::nullopt;
    return value;
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() && ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                                          static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool IsLocalComputer(const wchar_t* name)
{
    if (!name || !*name)
        return true;
    if (name[0] == L'\\' && name[1] == L'\\')
        name += 2;
    return ::lstrcmpiW(name, L"localhost") == 0 || ::lstrcmpiW(name, LocalComputerName().c_str()) == 0;
}

bool SetValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    unique_hkey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool SetText(const std::wstring& path, const wchar_t* name, const std::wstring& text)
{
    return SetValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool SetNumber(const std::wstring& path, const std::wstring& name, DWORD number)
{
    return SetValue(path, name.c_str(), REG_DWORD, &number, sizeof(number));
}

bool KeyExists(const std::wstring& path)
{
    unique_hkey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS;
}

std::wstring FreeKey(const std::wstring& under, int first)
{
    std::wstring id;
    for (int n = first; id.empty() || KeyExists(under + L"\\" + id); ++n)
    {
        wchar_t text[16];
        swprintf(text, ARRAYSIZE(text), L"%04d", n);
        id = text;
    }
    return under + L"\\" + id;
}

std::vector<std::wstring> SubkeyNames(const std::wstring& path)
{
    std::vector<std::wstring> names;
    unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index)
    {
        DWORD length = ARRAYSIZE(name);
        if (::RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        names.emplace_back(name, length);
    }
}
} // namespace KvLab
