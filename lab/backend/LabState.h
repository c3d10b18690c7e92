// Where the lab keeps the simulated surroundings: below HKLM\SOFTWARE\KorvelinLab
// of the Wine prefix, so they survive the passes and the simulated reboot.
#pragma once

#include "UniqueResource.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace KvLab
{
constexpr wchar_t kRootKey[] = L"SOFTWARE\\KorvelinLab";
constexpr wchar_t kNodesKey[] = L"SOFTWARE\\KorvelinLab\\Nodes";
constexpr wchar_t kLocalNodeKey[] = L"SOFTWARE\\KorvelinLab\\LocalNode"; // layout in LabLocalNode.h
constexpr wchar_t kFaultsKey[] = L"SOFTWARE\\KorvelinLab\\Faults";
constexpr wchar_t kDirectoryKey[] = L"SOFTWARE\\KorvelinLab\\Directory";
constexpr wchar_t kClusterKey[] = L"SOFTWARE\\KorvelinLab\\Cluster";

// The subtree that stands for a node's registry root, e.g.
// SOFTWARE\KorvelinLab\Nodes\NODE2\HKEY_LOCAL_MACHINE; empty for a root the
// lab does not model.
std::wstring NodeRootPath(const std::wstring& node, HKEY root);

// The local computer's name as the lab sees it: LocalNode\ComputerName if
// set, else the real one.
std::wstring LocalComputerName();

// A value of the lab registry if it has the type asked for; nullopt if it is
// missing or of another type.
std::optional<std::wstring> ReadText(HKEY key, const wchar_t* name);
std::optional<std::vector<BYTE>> ReadRaw(HKEY key, const wchar_t* name, DWORD expectedType);
std::optional<DWORD> ReadDword(HKEY key, const wchar_t* name);

// Equal but for letter case, as the registry compares names.
bool SameText(const std::wstring& a, const std::wstring& b);

// True when name is this computer: null, empty, "localhost", or the local
// name, with or without a leading "\\".
bool IsLocalComputer(const wchar_t* name);

// Writers of the lab registry: the key below HKLM is created when missing.
bool SetValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size);
bool SetText(const std::wstring& path, const wchar_t* name, const std::wstring& text);
bool SetNumber(const std::wstring& path, const std::wstring& name, DWORD number);
bool KeyExists(const std::wstring& path);
// The first free numbered key below `under` (0001, 0002, ... from `first`
// on), so that keys enumerate in the order they were added.
std::wstring FreeKey(const std::wstring& under, int first = 1);
// The names of the keys below HKLM\path, in the registry's order.
std::vector<std::wstring> SubkeyNames(const std::wstring& path);

// Calls read(key) for each key below HKLM\path, in name order: numbered keys
// come in the order they were added.
template <typename Read> void ForEachKey(const std::wstring& path, Read read)
{
    std::vector<std::wstring> names = SubkeyNames(path);
    std::sort(names.begin(), names.end());
    for (const std::wstring& name : names)
    {
        unique_hkey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (path + L"\\" + name).c_str(), 0, KEY_QUERY_VALUE, &key) ==
            ERROR_SUCCESS)
            read(key.get());
    }
}
} // namespace KvLab
