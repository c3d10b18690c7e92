// KvLab cluster store: see LabClusterStore.h.
#include "LabClusterStore.h"

#include "LabCluster.h"
#include "LabServiceInstaller.h"
#include "LabState.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace KvLab
{
namespace
{
// Each object kind's key below the cluster's, by kind.
const wchar_t* KindKey(uint32_t kind)
{
    switch (kind)
    {
    case QLX_OBJ_SYSTEM:
        return L"Systems";
    case QLX_OBJ_GROUP:
        return L"Groups";
    case QLX_OBJ_RESOURCE:
        return L"Resources";
    default:
        return nullptr;
    }
}

std::wstring ClusterPath(const std::wstring& subkey)
{
    return std::wstring(kClusterKey) + L"\\" + subkey;
}

bool Open(const std::wstring& path, REGSAM access, unique_hkey& key)
{
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key) == ERROR_SUCCESS;
}

void SetDword(HKEY key, const wchar_t* name, DWORD value)
{
    ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// A name that can be a key of its own: the empty name would open the kind's
// key itself.
bool IsKeyName(const std::wstring& name)
{
    return !name.empty() && name.find(L'\\') == std::wstring::npos;
}

bool Meets(const wchar_t* kindKey, const std::wstring& name, const std::vector<ClusterCondition>& conditions)
{
    unique_hkey key;
    if (!IsKeyName(name) || !Open(ClusterPath(std::wstring(kindKey) + L"\\" + name), KEY_QUERY_VALUE, key))
        return false;
    return std::all_of(conditions.begin(), conditions.end(), [&key](const ClusterCondition& condition) {
        const auto value = ReadAnsiText(key.get(), condition.first.c_str());
        return value && SameText(FromAnsi(*value), condition.second);
    });
}

// "SysInfo" reads each system has failed, by its name in upper case, as the
// registry finds its key.
struct Attempts
{
    std::mutex lock;
    std::map<std::wstring, DWORD> failed;
};

Attempts& SysInfoAttempts()
{
    static Attempts attempts;
    return attempts;
}
} // namespace

ClusterFailure EngineFailure(uint32_t number, std::string text)
{
    return ClusterFailure{QLX_ERROR_CLASS_ENGINE, number, std::move(text)};
}

std::string ToAnsi(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    std::string ansi(::WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, ansi.data(), static_cast<int>(ansi.size()), nullptr,
                          nullptr);
    return ansi;
}

std::wstring FromAnsi(const std::string& text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    std::wstring wide(::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::optional<std::string> ReadAnsiText(HKEY key, const wchar_t* name)
{
    if (const auto text = ReadText(key, name))
        return ToAnsi(*text);
    if (const auto raw = ReadRaw(key, name, REG_BINARY))
        return std::string(raw->begin(), raw->end());
    return std::nullopt;
}

bool ClusterPresent()
{
    unique_hkey key;
    return Open(kClusterKey, KEY_QUERY_VALUE, key);
}

std::vector<std::wstring> ClusterSystems()
{
    unique_hkey cluster;
    const auto raw =
        Open(kClusterKey, KEY_QUERY_VALUE, cluster) ? ReadRaw(cluster.get(), L"Systems", REG_MULTI_SZ) : std::nullopt;
    if (!raw)
        return {};
    std::wstring chars(raw->size() / sizeof(wchar_t), L'\0');
    std::memcpy(chars.data(), raw->data(), chars.size() * sizeof(wchar_t));
    // Each name ends with a NUL and the list with one more. Only the list's
    // own end is dropped: an empty name in the middle stays a name.
    if (!chars.empty() && chars.back() == L'\0')
        chars.pop_back();
    std::vector<std::wstring> names;
    for (size_t start = 0; start < chars.size();)
    {
        const size_t end = std::min(chars.find(L'\0', start), chars.size());
        names.push_back(chars.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

ClusterOutcome StoredFailure(const wchar_t* entryName)
{
    unique_hkey key;
    if (!Open(ClusterPath(std::wstring(L"Failures\\") + entryName), KEY_QUERY_VALUE, key))
        return std::nullopt;
    return ClusterFailure{ReadDword(key.get(), L"Class").value_or(0), ReadDword(key.get(), L"Number").value_or(0),
                          ReadAnsiText(key.get(), L"Text").value_or("")};
}

ClusterOutcome CheckEngineAnswers()
{
    unique_hkey cluster;
    if (!Open(kClusterKey, KEY_QUERY_VALUE | KEY_SET_VALUE, cluster) ||
        ReadDword(cluster.get(), L"EngineHung").value_or(0) == 0)
        return std::nullopt;
    const DWORD starts = LabServiceStarts(kEngineServiceName);
    const auto hungAt = ReadDword(cluster.get(), L"HungAtStarts");
    if (hungAt && starts > *hungAt)
    {
        ::RegDeleteValueW(cluster.get(), L"EngineHung");
        ::RegDeleteValueW(cluster.get(), L"HungAtStarts");
        return std::nullopt;
    }
    if (!hungAt)
        SetDword(cluster.get(), L"HungAtStarts", starts);
    return EngineFailure(QLX_ERROR_ENGINE_NOT_RESPONDING, "The cluster engine does not respond.");
}

ClusterOutcome OpenClusterObject(uint32_t kind, const std::wstring& name, unique_hkey& key)
{
    const wchar_t* kindKey = KindKey(kind);
    if (!kindKey)
        return EngineFailure(kLabBadArgument, "There is no object kind " + std::to_string(kind) + ".");
    if (IsKeyName(name) &&
        Open(ClusterPath(std::wstring(kindKey) + L"\\" + name), KEY_QUERY_VALUE | KEY_SET_VALUE, key))
        return std::nullopt;
    return EngineFailure(kLabNoSuchObject, "The cluster has no object " + ToAnsi(name) + ".");
}

ClusterOutcome ListClusterObjects(uint32_t kind, const std::vector<ClusterCondition>& conditions,
                                  std::vector<std::wstring>& names)
{
    const wchar_t* kindKey = KindKey(kind);
    if (!kindKey)
        return EngineFailure(kLabBadArgument, "There is no object kind " + std::to_string(kind) + ".");
    for (std::wstring& name : kind == QLX_OBJ_SYSTEM ? ClusterSystems() : SubkeyNames(ClusterPath(kindKey)))
        if (conditions.empty() || Meets(kindKey, name, conditions))
            names.push_back(std::move(name));
    if (names.empty())
        return EngineFailure(QLX_ERROR_NO_OBJECTS, "No object meets the conditions.");
    return std::nullopt;
}

ClusterOutcome TakeSysInfoAttempt(HKEY system, const std::wstring& name)
{
    const DWORD failures = ReadDword(system, L"SysInfoFailures").value_or(0);
    if (failures == 0)
        return std::nullopt;
    std::wstring upper = name;
    ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    Attempts& attempts = SysInfoAttempts();
    {
        std::lock_guard<std::mutex> guard(attempts.lock);
        DWORD& failed = attempts.failed[upper];
        if (failed >= failures)
            return std::nullopt;
        ++failed;
    }
    return EngineFailure(kLabSysInfoUnavailable, "SysInfo of " + ToAnsi(name) + " cannot be read yet.");
}

void ResetClusterAttempts() noexcept
{
    Attempts& attempts = SysInfoAttempts();
    std::lock_guard<std::mutex> guard(attempts.lock);
    attempts.failed.clear();
}

ClusterOutcome RequestGroupOffline(HKEY group)
{
    if (const auto refuseClass = ReadDword(group, L"RefuseClass"))
        return ClusterFailure{*refuseClass, ReadDword(group, L"RefuseNumber").value_or(0),
                              ReadAnsiText(group, L"RefuseText").value_or("")};
    // A request while one is under way, or done, changes nothing.
    if (ReadDword(group, L"NeverOffline").value_or(0) == 0 && !ReadDword(group, L"OfflinePollsLeft"))
        SetDword(group, L"OfflinePollsLeft", ReadDword(group, L"OfflineAfterPolls").value_or(0));
    return std::nullopt;
}

bool PollGroupOffline(HKEY group)
{
    const auto left = ReadDword(group, L"OfflinePollsLeft");
    if (left && *left > 0)
        SetDword(group, L"OfflinePollsLeft", *left - 1);
    return left == 0u;
}

bool ResourceGroupOffline(HKEY resource)
{
    const auto group = ReadText(resource, L"Group");
    unique_hkey key;
    return group && IsKeyName(*group) && Open(ClusterPath(L"Groups\\" + *group), KEY_QUERY_VALUE, key) &&
           ReadDword(key.get(), L"OfflinePollsLeft") == 0u;
}

ClusterStates ReadStates(HKEY object, const std::vector<std::wstring>& systems)
{
    ClusterStates states;
    unique_hkey key;
    if (::RegOpenKeyExW(object, L"States", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return states;
    // The empty name would read the key's default value.
    for (const std::wstring& system : systems)
        if (const auto state = system.empty() ? std::nullopt : ReadDword(key.get(), system.c_str()))
            states.emplace_back(system, *state);
    return states;
}
} // namespace KvLab
