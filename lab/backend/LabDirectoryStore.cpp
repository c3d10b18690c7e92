// The lab directory's registry store: see LabDirectory.h for the key layout.
#include "LabDirectory.h"

#include "LabRegistryWatch.h"
#include "LabState.h"
#include "UniqueResource.h"

// ADSI's headers need COM's types, which WIN32_LEAN_AND_MEAN leaves out.
#include <ole2.h>

#include <activeds.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <mutex>

namespace KvLab
{
namespace
{
std::wstring KeyPath(const wchar_t* sub)
{
    return std::wstring(kDirectoryKey) + L"\\" + sub;
}

std::optional<DirectoryObject> ReadObject(HKEY objects, const std::wstring& id)
{
    unique_hkey key;
    if (::RegOpenKeyExW(objects, id.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DirectoryObject object;
    object.key = id;
    auto dn = ReadText(key.get(), L"DistinguishedName");
    auto className = ReadText(key.get(), L"Class");
    if (!dn || !className)
        return std::nullopt;
    object.dn = *dn;
    object.className = *className;
    object.cn = ReadText(key.get(), L"Cn").value_or(ComponentValue(FirstComponent(object.dn)));
    return object;
}

HRESULT MakeArray(std::vector<VARIANT>& items, VARIANT* values)
{
    unique_safearray array(::SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(items.size())));
    if (!array)
        return E_OUTOFMEMORY;
    HRESULT hr = S_OK;
    for (LONG i = 0; i < static_cast<LONG>(items.size()) && SUCCEEDED(hr); ++i)
        hr = ::SafeArrayPutElement(array.get(), &i, &items[i]);
    for (VARIANT& item : items)
        ::VariantClear(&item);
    if (FAILED(hr))
        return hr;
    values->vt = VT_ARRAY | VT_VARIANT;
    values->parray = array.release();
    return S_OK;
}

HRESULT TextValues(const std::vector<std::wstring>& texts, VARIANT* values)
{
    std::vector<VARIANT> items(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
    {
        ::VariantInit(&items[i]);
        items[i].vt = VT_BSTR;
        items[i].bstrVal = ::SysAllocString(texts[i].c_str());
    }
    return MakeArray(items, values);
}

// One stored value as the LDAP provider hands it out.
bool ReadValue(HKEY attribute, const std::wstring& syntax, const wchar_t* name, VARIANT& value)
{
    ::VariantInit(&value);
    if (syntax == kSyntaxString)
    {
        const auto text = ReadText(attribute, name);
        if (!text)
            return false;
        value.vt = VT_BSTR;
        value.bstrVal = ::SysAllocString(text->c_str());
        return true;
    }
    if (syntax == kSyntaxInteger || syntax == kSyntaxBoolean)
    {
        const auto raw = ReadRaw(attribute, name, REG_DWORD);
        if (!raw || raw->size() != sizeof(DWORD))
            return false;
        DWORD number = 0;
        memcpy(&number, raw->data(), sizeof(number));
        if (syntax == kSyntaxInteger)
        {
            value.vt = VT_I4;
            value.lVal = static_cast<LONG>(number);
        }
        else
        {
            value.vt = VT_BOOL;
            value.boolVal = number ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return true;
    }
    if (syntax == kSyntaxOctetString)
    {
        const auto raw = ReadRaw(attribute, name, REG_BINARY);
        if (!raw)
            return false;
        SAFEARRAY* bytes = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(raw->size()));
        if (!bytes)
            return false;
        if (!raw->empty())
        {
            void* data = nullptr;
            if (FAILED(::SafeArrayAccessData(bytes, &data)))
            {
                ::SafeArrayDestroy(bytes);
                return false;
            }
            memcpy(data, raw->data(), raw->size());
            ::SafeArrayUnaccessData(bytes);
        }
        value.vt = VT_ARRAY | VT_UI1;
        value.parray = bytes;
        return true;
    }
    return false;
}
} // namespace

std::wstring FirstComponent(const std::wstring& dn)
{
    for (size_t i = 0; i < dn.size(); ++i)
    {
        if (dn[i] == L'\\')
            ++i;
        else if (dn[i] == L',')
            return dn.substr(0, i);
    }
    return dn;
}

std::wstring ParentName(const std::wstring& dn)
{
    const std::wstring first = FirstComponent(dn);
    if (first.size() >= dn.size())
        return {};
    return dn.substr(first.size() + 1);
}

std::wstring ComponentValue(const std::wstring& component)
{
    const size_t equals = component.find(L'=');
    std::wstring value;
    for (size_t i = equals == std::wstring::npos ? 0 : equals + 1; i < component.size(); ++i)
    {
        if (component[i] == L'\\' && i + 1 < component.size())
            ++i;
        value += component[i];
    }
    return value;
}

bool IsBelow(const std::wstring& dn, const std::wstring& base)
{
    if (base.empty())
        return !dn.empty();
    if (dn.size() <= base.size() + 1 || dn[dn.size() - base.size() - 1] != L',')
        return false;
    return SameText(dn.substr(dn.size() - base.size()), base);
}

std::wstring DirectoryObjectsPath()
{
    return KeyPath(L"Objects");
}

namespace
{
std::wstring Folded(const std::wstring& text)
{
    std::wstring folded = text;
    for (wchar_t& c : folded)
        c = static_cast<wchar_t>(std::towlower(c));
    return folded;
}

std::vector<DirectoryObject> ReadObjects()
{
    std::vector<DirectoryObject> found;
    unique_hkey objects;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, DirectoryObjectsPath().c_str(), 0, KEY_READ, &objects) != ERROR_SUCCESS)
        return found;
    for (const std::wstring& id : SubkeyNames(DirectoryObjectsPath()))
        if (auto object = ReadObject(objects.get(), id))
            found.push_back(std::move(*object));
    // Key order is the registry's; searches answer in name order for stable results.
    std::sort(found.begin(), found.end(),
              [](const DirectoryObject& a, const DirectoryObject& b) { return a.key < b.key; });
    return found;
}

void ReadRootDse(DirectorySnapshot& snapshot)
{
    unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath(L"RootDSE").c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    snapshot.hasDomain = true;
    wchar_t name[256];
    for (DWORD index = 0;; ++index)
    {
        DWORD length = ARRAYSIZE(name);
        if (::RegEnumValueW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (auto value = ReadText(key.get(), name))
            snapshot.rootDse.emplace(Folded(name), std::move(*value));
    }
}

std::shared_ptr<const DirectorySnapshot> ReadSnapshot()
{
    auto snapshot = std::make_shared<DirectorySnapshot>();
    ReadRootDse(*snapshot);
    snapshot->objects = ReadObjects();
    for (size_t i = 0; i < snapshot->objects.size(); ++i)
    {
        snapshot->byName.emplace(Folded(snapshot->objects[i].dn), i);
        snapshot->byCn.emplace(Folded(snapshot->objects[i].cn), i);
    }
    for (const auto& object : snapshot->objects)
        if (!snapshot->Find(ParentName(object.dn)) && !snapshot->IsNamingContext(object.dn))
            snapshot->orphans.push_back(object.dn);
    return snapshot;
}

// Read again only when the registry changed.
class CDirectoryCache
{
public:
    std::shared_ptr<const DirectorySnapshot> Get()
    {
        const uint64_t generation = RegistryGeneration();
        std::lock_guard<std::mutex> guard(_lock);
        if (!_snapshot || generation != _generation)
        {
            _snapshot = ReadSnapshot();
            _generation = generation;
        }
        return _snapshot;
    }

private:
    std::mutex _lock;
    uint64_t _generation = 0;
    std::shared_ptr<const DirectorySnapshot> _snapshot;
};
} // namespace

const DirectoryObject* DirectorySnapshot::Find(const std::wstring& dn) const
{
    const auto found = byName.find(Folded(dn));
    return found == byName.end() ? nullptr : &objects[found->second];
}

std::vector<size_t> DirectorySnapshot::WithCn(const std::wstring& cn) const
{
    std::vector<size_t> found;
    const auto [first, last] = byCn.equal_range(Folded(cn));
    for (auto it = first; it != last; ++it)
        found.push_back(it->second);
    // In key order, as a search over all objects would give them.
    std::sort(found.begin(), found.end());
    return found;
}

std::optional<std::wstring> DirectorySnapshot::RootDse(const std::wstring& name) const
{
    const auto found = rootDse.find(Folded(name));
    return found == rootDse.end() ? std::nullopt : std::optional<std::wstring>(found->second);
}

bool DirectorySnapshot::IsNamingContext(const std::wstring& dn) const
{
    for (const wchar_t* context : {L"defaultNamingContext", L"configurationNamingContext", L"schemaNamingContext"})
        if (SameText(RootDse(context).value_or(L""), dn))
            return true;
    return false;
}

std::shared_ptr<const DirectorySnapshot> Directory()
{
    static CDirectoryCache cache;
    return cache.Get();
}

std::optional<DirectoryObject> FindDirectoryObject(const std::wstring& dn)
{
    const auto directory = Directory();
    if (const DirectoryObject* object = directory->Find(dn))
        return *object;
    return std::nullopt;
}

std::vector<std::wstring> DirectoryOrphans()
{
    return Directory()->orphans;
}

bool HasPlaceInDirectory(const std::wstring& dn)
{
    const auto directory = Directory();
    return directory->IsNamingContext(dn) || directory->Find(ParentName(dn));
}

HRESULT CheckDirectoryCredentials(LPCWSTR userName, LPCWSTR password)
{
    if (!userName || !*userName)
        return S_OK;
    unique_hkey accounts;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath(L"Accounts").c_str(), 0, KEY_READ, &accounts) == ERROR_SUCCESS)
    {
        wchar_t id[256];
        for (DWORD index = 0;; ++index)
        {
            DWORD length = ARRAYSIZE(id);
            unique_hkey account;
            if (::RegEnumKeyExW(accounts.get(), index, id, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            if (::RegOpenKeyExW(accounts.get(), id, 0, KEY_QUERY_VALUE, &account) != ERROR_SUCCESS ||
                !SameText(ReadText(account.get(), L"UserName").value_or(L""), userName))
                continue;
            // Passwords compare with case, user names without.
            if (ReadText(account.get(), L"Password").value_or(L"") != (password ? password : L""))
                break;
            return ReadDword(account.get(), L"Rights").value_or(1) ? S_OK
                                                                    : HRESULT_FROM_WIN32(ERROR_DS_INSUFF_ACCESS_RIGHTS);
        }
    }
    return HRESULT_FROM_WIN32(ERROR_LOGON_FAILURE);
}

bool DirectoryHasDomain()
{
    return Directory()->hasDomain;
}

std::optional<std::wstring> RootDseValue(const std::wstring& name)
{
    return Directory()->RootDse(name);
}

bool IsDirectoryServer(const std::wstring& name)
{
    if (name.empty() || name.find(L'\\') != std::wstring::npos)
        return false;
    unique_hkey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath((L"Servers\\" + name).c_str()).c_str(), 0, KEY_QUERY_VALUE,
                           &key) == ERROR_SUCCESS;
}

HRESULT ReadDirectoryValues(const DirectoryObject& object, const std::wstring& attribute, VARIANT* values)
{
    if (SameText(attribute, L"cn"))
        return TextValues({object.cn}, values);
    if (SameText(attribute, L"name"))
        return TextValues({ComponentValue(FirstComponent(object.dn))}, values);
    if (SameText(attribute, L"distinguishedName"))
        return TextValues({object.dn}, values);
    if (SameText(attribute, L"objectClass"))
        return TextValues({L"top", object.className}, values);

    unique_hkey key;
    const std::wstring path = DirectoryObjectsPath() + L"\\" + object.key + L"\\Attributes\\" + attribute;
    if (attribute.empty() || attribute.find(L'\\') != std::wstring::npos ||
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return E_ADS_PROPERTY_NOT_FOUND;
    const std::wstring syntax = ReadText(key.get(), L"Syntax").value_or(L"");
    std::vector<VARIANT> items;
    for (int n = 1;; ++n)
    {
        VARIANT value;
        if (!ReadValue(key.get(), syntax, std::to_wstring(n).c_str(), value))
            break;
        items.push_back(value);
    }
    if (items.empty())
        return E_ADS_PROPERTY_NOT_FOUND;
    return MakeArray(items, values);
}

bool DeleteDirectorySubtree(const std::wstring& dn)
{
    unique_hkey objects;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, DirectoryObjectsPath().c_str(), 0, KEY_ALL_ACCESS, &objects) !=
        ERROR_SUCCESS)
        return false;
    bool deleted = false;
    const auto directory = Directory();
    for (const auto& object : directory->objects)
    {
        if (!SameText(object.dn, dn) && !IsBelow(object.dn, dn))
            continue;
        if (::RegDeleteTreeW(objects.get(), object.key.c_str()) == ERROR_SUCCESS)
        {
            ::RegDeleteKeyW(objects.get(), object.key.c_str());
            deleted = true;
        }
    }
    return deleted;
}

namespace
{
// A name's value as a distinguished name writes it.
std::wstring Escaped(const std::wstring& value)
{
    std::wstring escaped;
    for (size_t i = 0; i < value.size(); ++i)
    {
        const wchar_t c = value[i];
        if (wcschr(L",+\"\\<>;=", c) || (i == 0 && (c == L'#' || c == L' ')) || (i + 1 == value.size() && c == L' '))
            escaped += L'\\';
        escaped += c;
    }
    return escaped;
}
} // namespace

bool RenameDirectoryObject(const std::wstring& dn, const std::wstring& newCn)
{
    const auto directory = Directory();
    const DirectoryObject* object = directory->Find(dn);
    if (!object || newCn.empty())
        return false;
    const std::wstring first = FirstComponent(object->dn);
    const std::wstring parent = ParentName(object->dn);
    const std::wstring newDn =
        first.substr(0, first.find(L'=') + 1) + Escaped(newCn) + (parent.empty() ? L"" : L"," + parent);
    const DirectoryObject* taken = directory->Find(newDn);
    if (taken && taken != object)
        return false;
    const std::wstring objects = DirectoryObjectsPath() + L"\\";
    if (!SetText(objects + object->key, L"Cn", newCn))
        return false;
    for (const auto& moved : directory->objects)
        if (&moved == object || IsBelow(moved.dn, object->dn))
            if (!SetText(objects + moved.key, L"DistinguishedName",
                         moved.dn.substr(0, moved.dn.size() - object->dn.size()) + newDn))
                return false;
    return true;
}
} // namespace KvLab
