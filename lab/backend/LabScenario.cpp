// CLabScenario: see LabScenario.h.
#include "LabScenario.h"

#include "LabClusterStore.h"
#include "LabDirectory.h"
#include "LabFaults.h"
#include "LabState.h"
#include "UniqueResource.h"

#include <algorithm>

namespace
{
using KvLab::FreeKey;
using KvLab::SetNumber;
using KvLab::SetText;
using KvLab::SetValue;

// Writes one attribute: its syntax and its values "1", "2", ... in order.
template <typename Value, typename Write>
bool SetAttribute(const std::wstring& dn, const std::wstring& attribute, const wchar_t* syntax,
                  const std::vector<Value>& values, Write write) noexcept
{
    try
    {
        const auto object = KvLab::FindDirectoryObject(dn);
        if (!object || attribute.empty() || attribute.find(L'\\') != std::wstring::npos)
            return false;
        const std::wstring path = KvLab::DirectoryObjectsPath() + L"\\" + object->key + L"\\Attributes\\" + attribute;
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
        if (!SetText(path, L"Syntax", syntax))
            return false;
        for (size_t i = 0; i < values.size(); ++i)
            if (!write(path, std::to_wstring(i + 1), values[i]))
                return false;
        return true;
    }
    catch (...)
    {
        return false;
    }
}

// ANSI bytes as they are: REG_BINARY, which the engine gives out unchanged.
bool SetAnsi(const std::wstring& path, const wchar_t* name, const std::string& text)
{
    return SetValue(path, name, REG_BINARY, text.data(), static_cast<DWORD>(text.size()));
}

bool CreateKey(const std::wstring& path)
{
    unique_hkey key;
    return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                             nullptr) == ERROR_SUCCESS;
}

bool DeleteKey(const std::wstring& path)
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    const LSTATUS rc = ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

// A cluster object's key, emptied: an object added again is replaced.
std::wstring FreshObjectKey(const wchar_t* kind, const std::wstring& name)
{
    if (name.empty() || name.find(L'\\') != std::wstring::npos)
        return {};
    const std::wstring path = std::wstring(KvLab::kClusterKey) + L"\\" + kind + L"\\" + name;
    return DeleteKey(path) && CreateKey(path) ? path : std::wstring();
}

bool SetStates(const std::wstring& objectPath, const LabStates& states)
{
    const std::wstring path = objectPath + L"\\States";
    if (!CreateKey(path))
        return false;
    for (const auto& [system, state] : states)
        if (!SetValue(path, system.c_str(), REG_DWORD, &state, sizeof(state)))
            return false;
    return true;
}

} // namespace

CLabScenario::CLabScenario() noexcept
{
    Reset();
}

CLabScenario::~CLabScenario()
{
    Reset();
}

void CLabScenario::Reset() noexcept
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, KvLab::kRootKey);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, KvLab::kRootKey);
    KvLab::ResetFaults();
}

bool CLabScenario::AddNode(const std::wstring& name) noexcept
{
    try
    {
        unique_hkey key;
        return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, KvLab::NodeRootPath(name, HKEY_LOCAL_MACHINE).c_str(), 0,
                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS;
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::SetUnreachable(const std::wstring& name, bool unreachable) noexcept
{
    try
    {
        const DWORD value = unreachable ? 1 : 0;
        return SetValue(std::wstring(KvLab::kNodesKey) + L"\\" + name, L"Unreachable", REG_DWORD, &value,
                        sizeof(value));
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::SetLocalComputerName(const std::wstring& name) noexcept
{
    return SetValue(KvLab::kLocalNodeKey, L"ComputerName", REG_SZ, name.c_str(),
                    static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
}

std::wstring CLabScenario::NodeKeyPath(const std::wstring& node, HKEY root, const std::wstring& subkey)
{
    std::wstring path = KvLab::NodeRootPath(node, root);
    if (!subkey.empty())
        path += L"\\" + subkey;
    return path;
}

bool CLabScenario::SetDirectoryRoot(const std::wstring& defaultNamingContext,
                                    const std::wstring& configurationNamingContext,
                                    const std::wstring& schemaNamingContext) noexcept
{
    try
    {
        const std::wstring path = std::wstring(KvLab::kDirectoryKey) + L"\\RootDSE";
        return SetText(path, L"defaultNamingContext", defaultNamingContext) &&
               SetText(path, L"configurationNamingContext", configurationNamingContext) &&
               SetText(path, L"schemaNamingContext", schemaNamingContext) &&
               AddDirectoryObject(defaultNamingContext, L"domainDNS") &&
               AddDirectoryObject(configurationNamingContext, L"configuration") &&
               AddDirectoryObject(schemaNamingContext, L"dMD");
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::AddDirectoryServer(const std::wstring& name) noexcept
{
    try
    {
        unique_hkey key;
        const std::wstring path = std::wstring(KvLab::kDirectoryKey) + L"\\Servers\\" + name;
        return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                 nullptr) == ERROR_SUCCESS;
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::AddDirectoryObject(const std::wstring& dn, const std::wstring& className) noexcept
{
    try
    {
        return AddDirectoryObjects({{dn, className}});
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::AddDirectoryObjects(const std::vector<std::pair<std::wstring, std::wstring>>& objects) noexcept
{
    try
    {
        // One look at the domain for the whole batch: each write would make
        // the next look read it all again.
        const auto directory = KvLab::Directory();
        std::vector<std::wstring> added;
        const auto isAdded = [&](const std::wstring& dn) {
            return std::any_of(added.rbegin(), added.rend(), [&](const auto& a) { return KvLab::SameText(a, dn); });
        };
        int next = static_cast<int>(directory->objects.size()) + 1;
        for (const auto& [dn, className] : objects)
        {
            const std::wstring parent = KvLab::ParentName(dn);
            if (dn.empty() || directory->Find(dn) || isAdded(dn) ||
                !(directory->Find(parent) || isAdded(parent) || KvLab::HasPlaceInDirectory(dn)))
                return false;
            const std::wstring path = FreeKey(KvLab::DirectoryObjectsPath(), next++);
            if (!SetText(path, L"DistinguishedName", dn) || !SetText(path, L"Class", className) ||
                !SetText(path, L"Cn", KvLab::ComponentValue(KvLab::FirstComponent(dn))))
                return false;
            added.push_back(dn);
        }
        return true;
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::AddDirectoryAccount(const std::wstring& userName, const std::wstring& password,
                                       bool rights) noexcept
{
    try
    {
        const std::wstring path = FreeKey(std::wstring(KvLab::kDirectoryKey) + L"\\Accounts");
        return SetText(path, L"UserName", userName) && SetText(path, L"Password", password) &&
               SetNumber(path, L"Rights", rights ? 1 : 0);
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::SetDirectoryStrings(const std::wstring& dn, const std::wstring& attribute,
                                       const std::vector<std::wstring>& values) noexcept
{
    return SetAttribute(dn, attribute, KvLab::kSyntaxString, values,
                        [](const std::wstring& path, const std::wstring& name, const std::wstring& value) {
                            return SetText(path, name.c_str(), value);
                        });
}

bool CLabScenario::SetDirectoryIntegers(const std::wstring& dn, const std::wstring& attribute,
                                        const std::vector<LONG>& values) noexcept
{
    return SetAttribute(dn, attribute, KvLab::kSyntaxInteger, values,
                        [](const std::wstring& path, const std::wstring& name, LONG value) {
                            return SetNumber(path, name, static_cast<DWORD>(value));
                        });
}

bool CLabScenario::SetDirectoryBooleans(const std::wstring& dn, const std::wstring& attribute,
                                        const std::vector<bool>& values) noexcept
{
    return SetAttribute(dn, attribute, KvLab::kSyntaxBoolean, values,
                        [](const std::wstring& path, const std::wstring& name, bool value) {
                            return SetNumber(path, name, value ? 1 : 0);
                        });
}

bool CLabScenario::SetDirectoryOctets(const std::wstring& dn, const std::wstring& attribute,
                                      const std::vector<std::vector<BYTE>>& values) noexcept
{
    return SetAttribute(dn, attribute, KvLab::kSyntaxOctetString, values,
                        [](const std::wstring& path, const std::wstring& name, const std::vector<BYTE>& value) {
                            return SetValue(path, name.c_str(), REG_BINARY, value.data(),
                                            static_cast<DWORD>(value.size()));
                        });
}

bool CLabScenario::DirectoryObjectExists(const std::wstring& dn) noexcept
{
    try
    {
        return KvLab::FindDirectoryObject(dn).has_value();
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::AddComputerAccount(const std::wstring& name) noexcept
{
    try
    {
        const auto domain = KvLab::RootDseValue(L"defaultNamingContext");
        if (!domain || name.empty())
            return false;
        const std::wstring computers = L"CN=Computers," + *domain;
        std::vector<std::pair<std::wstring, std::wstring>> objects;
        if (!KvLab::FindDirectoryObject(computers))
            objects.emplace_back(computers, L"container");
        objects.emplace_back(L"CN=" + name + L"," + computers, L"computer");
        return AddDirectoryObjects(objects);
    }
    catch (...)
    {
        return false;
    }
}

std::wstring CLabScenario::PendingComputerName()
{
    return KvLab::PendingComputerName();
}

std::vector<LabShutdownRequest> CLabScenario::ShutdownRequests()
{
    return KvLab::ShutdownRequests();
}

std::vector<LabStartedProcess> CLabScenario::StartedProcesses()
{
    return KvLab::StartedProcesses();
}

std::optional<LabFailureActions> CLabScenario::FailureActionsOf(const std::wstring& serviceKeyName)
{
    return KvLab::RecordedFailureActions(serviceKeyName);
}

bool CLabScenario::AddClusterSystem(const std::wstring& systemName, const std::string& sysInfo,
                                    DWORD failedAttempts) noexcept
{
    try
    {
        std::vector<std::wstring> systems = KvLab::ClusterSystems();
        systems.push_back(systemName);
        const std::wstring path = FreshObjectKey(L"Systems", systemName);
        return !path.empty() && SetAnsi(path, L"SysInfo", sysInfo) &&
               SetNumber(path, L"SysInfoFailures", failedAttempts) && SetClusterSystemList(systems);
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::SetClusterSystemList(const std::vector<std::wstring>& names) noexcept
{
    try
    {
        // Each name ends with a NUL, the list with one more.
        std::wstring list;
        for (const std::wstring& name : names)
            list += name + L'\0';
        list += L'\0';
        return SetValue(KvLab::kClusterKey, L"Systems", REG_MULTI_SZ, list.data(),
                        static_cast<DWORD>(list.size() * sizeof(wchar_t)));
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::AddClusterGroup(const std::wstring& group, const LabStates& states,
                                   const LabGroupOffline& offline) noexcept
{
    try
    {
        const std::wstring path = FreshObjectKey(L"Groups", group);
        if (path.empty() || !SetStates(path, states))
            return false;
        switch (offline.mode)
        {
        case LabGroupOffline::AfterPolls:
            return SetNumber(path, L"OfflineAfterPolls", offline.polls);
        case LabGroupOffline::Never:
            return SetNumber(path, L"NeverOffline", 1);
        case LabGroupOffline::Refuse:
            return SetNumber(path, L"RefuseClass", offline.errorClass) &&
                   SetNumber(path, L"RefuseNumber", offline.errorNumber) && SetAnsi(path, L"RefuseText", offline.text);
        }
        return false;
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::AddClusterResource(const std::wstring& resource, const std::wstring& type,
                                      const std::wstring& virtualName, const std::wstring& group,
                                      const LabStates& states) noexcept
{
    try
    {
        const std::wstring path = FreshObjectKey(L"Resources", resource);
        return !path.empty() && SetText(path, L"Type", type) && SetText(path, L"VirtualName", virtualName) &&
               SetText(path, L"Group", group) && SetStates(path, states);
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::SetClusterEngineHung(bool hung) noexcept
{
    // The engine notes Qen's start count when it first meets the hang.
    unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, KvLab::kClusterKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.get(), L"HungAtStarts");
    if (hung)
        return SetNumber(KvLab::kClusterKey, L"EngineHung", 1);
    const LSTATUS rc = key ? ::RegDeleteValueW(key.get(), L"EngineHung") : ERROR_SUCCESS;
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

bool CLabScenario::SetClusterFailure(const std::wstring& function, DWORD errorClass, DWORD errorNumber,
                                     const std::string& text) noexcept
{
    try
    {
        const std::wstring path = std::wstring(KvLab::kClusterKey) + L"\\Failures\\" + function;
        return !function.empty() && SetNumber(path, L"Class", errorClass) && SetNumber(path, L"Number", errorNumber) &&
               SetAnsi(path, L"Text", text);
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::ClearClusterFailure(const std::wstring& function) noexcept
{
    try
    {
        return !function.empty() && DeleteKey(std::wstring(KvLab::kClusterKey) + L"\\Failures\\" + function);
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::SetClusterPresent() noexcept
{
    return CreateKey(KvLab::kClusterKey);
}
