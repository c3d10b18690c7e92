// The lab directory's COM objects and its ADsOpenObject; the registry layout
// they serve is described in LabDirectory.h. Only the ADSI methods the library
// calls do anything; every other method answers E_NOTIMPL.
#include "LabDirectory.h"

#include "LabFaults.h"
#include "UniqueResource.h"

// ADSI's headers need COM's types, which WIN32_LEAN_AND_MEAN leaves out.
#include <ole2.h>

#include <activeds.h>

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <memory>
#include <mutex>
#include <set>

namespace KvLab
{
namespace
{
constexpr HRESULT kNoSuchDomain = HRESULT_FROM_WIN32(ERROR_NO_SUCH_DOMAIN);
constexpr HRESULT kServerDown = HRESULT_FROM_WIN32(ERROR_DS_SERVER_DOWN);
constexpr HRESULT kNoSuchObject = HRESULT_FROM_WIN32(ERROR_DS_NO_SUCH_OBJECT);
constexpr HRESULT kNotLeaf = HRESULT_FROM_WIN32(ERROR_DS_CANT_ON_NON_LEAF);
constexpr HRESULT kBrokenTree = HRESULT_FROM_WIN32(ERROR_DS_NO_PARENT_OBJECT);

std::atomic<long> g_live{0};
char g_columnMarker; // marks the columns this backend handed out

struct BindLog
{
    std::mutex lock;
    std::vector<DirectoryBind> binds;
};

BindLog& Binds()
{
    static BindLog log;
    return log;
}

bool MatchesPattern(const std::wstring& text, const std::wstring& pattern)
{
    // '*' stands for any run of characters; letters compare without case.
    size_t t = 0, p = 0, starP = std::wstring::npos, starT = 0;
    while (t < text.size())
    {
        if (p < pattern.size() && pattern[p] == L'*')
        {
            starP = p++;
            starT = t;
        }
        else if (p < pattern.size() && std::towupper(pattern[p]) == std::towupper(text[t]))
        {
            ++p;
            ++t;
        }
        else if (starP != std::wstring::npos)
        {
            p = starP + 1;
            t = ++starT;
        }
        else
            return false;
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

using FilterTerms = std::vector<std::pair<std::wstring, std::wstring>>;

// "(&(a=x) (b=y))" or "(a=x)": equality terms with '*' wildcards, which is all
// the library asks for.
bool ParseFilter(std::wstring filter, FilterTerms& terms)
{
    auto trim = [](std::wstring& s) {
        const size_t first = s.find_first_not_of(L" \t");
        const size_t last = s.find_last_not_of(L" \t");
        s = first == std::wstring::npos ? std::wstring() : s.substr(first, last - first + 1);
    };
    trim(filter);
    if (filter.size() < 2 || filter.front() != L'(' || filter.back() != L')')
        return false;
    std::wstring body = filter.substr(1, filter.size() - 2);
    if (!body.empty() && body[0] == L'&')
        body.erase(0, 1);
    else
        body = L"(" + body + L")";
    size_t at = 0;
    while (true)
    {
        at = body.find_first_not_of(L" \t", at);
        if (at == std::wstring::npos)
            break;
        if (body[at] != L'(')
            return false;
        const size_t close = body.find(L')', at);
        if (close == std::wstring::npos)
            return false;
        const std::wstring term = body.substr(at + 1, close - at - 1);
        const size_t equals = term.find(L'=');
        if (equals == 0 || equals == std::wstring::npos || term.find_first_of(L"()&|!") != std::wstring::npos)
            return false;
        terms.emplace_back(term.substr(0, equals), term.substr(equals + 1));
        at = close + 1;
    }
    return !terms.empty();
}

bool TermMatches(const DirectoryObject& object, const std::pair<std::wstring, std::wstring>& term)
{
    const auto& [attribute, pattern] = term;
    if (SameText(attribute, L"objectClass"))
        return MatchesPattern(object.className, pattern) || MatchesPattern(L"top", pattern);
    if (SameText(attribute, L"cn"))
        return MatchesPattern(object.cn, pattern);
    if (SameText(attribute, L"distinguishedName"))
        return MatchesPattern(object.dn, pattern);
    return SameText(attribute, L"name") && MatchesPattern(ComponentValue(FirstComponent(object.dn)), pattern);
}

bool IsSupportedTerm(const std::pair<std::wstring, std::wstring>& term)
{
    for (const wchar_t* name : {L"objectClass", L"cn", L"distinguishedName", L"name"})
        if (SameText(term.first, name))
            return true;
    return false;
}

HRESULT AllocText(const std::wstring& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = ::SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

wchar_t* CopyText(const std::wstring& text)
{
    auto* copy = new wchar_t[text.size() + 1];
    std::copy(text.c_str(), text.c_str() + text.size() + 1, copy);
    return copy;
}

// One search's result rows, from ExecuteSearch to CloseSearchHandle.
struct LabSearch
{
    std::vector<DirectoryObject> rows;
    size_t row = 0;
    bool onRow = false;
    bool allAttributes = true;
    std::vector<std::wstring> attributes;
};

class CLabDirObject final : public IADs, public IADsContainer, public IADsDeleteOps, public IDirectorySearch
{
public:
    // The root DSE when object is empty.
    CLabDirObject(std::wstring server, std::optional<DirectoryObject> object)
        : _server(std::move(server)), _object(std::move(object))
    {
        ++g_live;
    }
    ~CLabDirObject()
    {
        // Searches left open stay counted as live: the caller leaked them.
        for (LabSearch* search : _searches)
            delete search;
        --g_live;
    }

    // IUnknown
    HRESULT WINAPI QueryInterface(REFIID riid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IADs)
            *out = static_cast<IADs*>(this);
        else if (_object && riid == IID_IADsContainer)
            *out = static_cast<IADsContainer*>(this);
        else if (_object && riid == IID_IADsDeleteOps)
            *out = static_cast<IADsDeleteOps*>(this);
        else if (_object && riid == IID_IDirectorySearch)
            *out = static_cast<IDirectorySearch*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG WINAPI AddRef() override { return ++_refs; }
    ULONG WINAPI Release() override
    {
        const ULONG left = --_refs;
        if (left == 0)
            delete this;
        return left;
    }

    // IDispatch
    HRESULT WINAPI GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT WINAPI GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT WINAPI GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT WINAPI Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IADs
    HRESULT WINAPI get_Name(BSTR* out) override
    {
        return Guard([&] { return AllocText(_object ? FirstComponent(_object->dn) : L"rootDSE", out); });
    }
    HRESULT WINAPI get_Class(BSTR* out) override
    {
        return Guard([&] { return AllocText(_object ? _object->className : L"rootDSE", out); });
    }
    HRESULT WINAPI get_GUID(BSTR*) override { return E_NOTIMPL; }
    HRESULT WINAPI get_ADsPath(BSTR* out) override
    {
        return Guard([&] { return AllocText(Path(_object ? _object->dn : L"rootDSE"), out); });
    }
    HRESULT WINAPI get_Parent(BSTR* out) override
    {
        return Guard([&] {
            const std::wstring parent = _object ? ParentName(_object->dn) : std::wstring();
            return AllocText(parent.empty() ? std::wstring(L"LDAP:") : Path(parent), out);
        });
    }
    HRESULT WINAPI get_Schema(BSTR*) override { return E_NOTIMPL; }
    HRESULT WINAPI GetInfo() override { return E_NOTIMPL; }
    HRESULT WINAPI SetInfo() override { return E_NOTIMPL; }
    HRESULT WINAPI Get(BSTR name, VARIANT* value) override
    {
        if (const auto failed = TakeFailure<HRESULT>(Entry::DirectoryGet))
            return *failed;
        return Guard([&] {
            unique_variant all;
            HRESULT hr = GetEx(name, &all);
            if (FAILED(hr))
                return hr;
            LONG lower = 0, upper = -1;
            ::SafeArrayGetLBound(all.value.parray, 1, &lower);
            ::SafeArrayGetUBound(all.value.parray, 1, &upper);
            if (lower != upper)
            {
                // More than one value comes as the whole array, as the provider does.
                *value = all.value;
                ::VariantInit(&all.value);
                return S_OK;
            }
            ::VariantInit(value);
            return ::SafeArrayGetElement(all.value.parray, &lower, value);
        });
    }
    HRESULT WINAPI Put(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI GetEx(BSTR name, VARIANT* value) override
    {
        if (const auto failed = TakeFailure<HRESULT>(Entry::DirectoryGetEx))
            return *failed;
        return Guard([&]() -> HRESULT {
            if (!name || !value)
                return E_ADS_BAD_PARAMETER;
            ::VariantInit(value);
            if (!_object)
            {
                const auto text = RootDseValue(name);
                if (!text)
                    return E_ADS_PROPERTY_NOT_FOUND;
                unique_safearray array(::SafeArrayCreateVector(VT_VARIANT, 0, 1));
                unique_variant item;
                item.value.vt = VT_BSTR;
                item.value.bstrVal = ::SysAllocString(text->c_str());
                LONG index = 0;
                if (!array || !item.value.bstrVal)
                    return E_OUTOFMEMORY;
                const HRESULT hr = ::SafeArrayPutElement(array.get(), &index, &item.value);
                if (FAILED(hr))
                    return hr;
                value->vt = VT_ARRAY | VT_VARIANT;
                value->parray = array.release();
                return S_OK;
            }
            const auto current = FindDirectoryObject(_object->dn);
            if (!current)
                return kNoSuchObject;
            return ReadDirectoryValues(*current, name, value);
        });
    }
    HRESULT WINAPI PutEx(LONG, BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI GetInfoEx(VARIANT names, LONG reserved) override
    {
        if (const auto failed = TakeFailure<HRESULT>(Entry::DirectoryGetInfoEx))
            return *failed;
        return Guard([&]() -> HRESULT {
            if (reserved != 0)
                return E_INVALIDARG;
            if (names.vt == (VT_ARRAY | VT_VARIANT))
            {
                LONG lower = 0, upper = -1;
                if (FAILED(::SafeArrayGetLBound(names.parray, 1, &lower)) ||
                    FAILED(::SafeArrayGetUBound(names.parray, 1, &upper)))
                    return E_ADS_BAD_PARAMETER;
                for (LONG i = lower; i <= upper; ++i)
                {
                    unique_variant item;
                    if (FAILED(::SafeArrayGetElement(names.parray, &i, &item.value)) || item.value.vt != VT_BSTR)
                        return E_ADS_BAD_PARAMETER;
                }
            }
            else if (names.vt != VT_BSTR)
                return E_ADS_BAD_PARAMETER;
            return !_object || FindDirectoryObject(_object->dn) ? S_OK : kNoSuchObject;
        });
    }

    // IADsContainer
    HRESULT WINAPI get_Count(LONG*) override { return E_NOTIMPL; }
    HRESULT WINAPI get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
    HRESULT WINAPI get_Filter(VARIANT*) override { return E_NOTIMPL; }
    HRESULT WINAPI put_Filter(VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI get_Hints(VARIANT*) override { return E_NOTIMPL; }
    HRESULT WINAPI put_Hints(VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI GetObject(BSTR, BSTR, IDispatch**) override { return E_NOTIMPL; }
    HRESULT WINAPI Create(BSTR, BSTR, IDispatch**) override { return E_NOTIMPL; }
    HRESULT WINAPI Delete(BSTR className, BSTR relativeName) override
    {
        if (const auto failed = TakeFailure<HRESULT>(Entry::DirectoryDelete))
            return *failed;
        return Guard([&]() -> HRESULT {
            if (!relativeName || !*relativeName)
                return E_ADS_BAD_PARAMETER;
            const auto child = FindDirectoryObject(std::wstring(relativeName) + L"," + _object->dn);
            if (!child || (className && *className && !SameText(className, child->className)))
                return kNoSuchObject;
            const auto directory = Directory();
            for (const auto& other : directory->objects)
                if (IsBelow(other.dn, child->dn))
                    return kNotLeaf;
            return DeleteDirectorySubtree(child->dn) ? S_OK : kNoSuchObject;
        });
    }
    HRESULT WINAPI CopyHere(BSTR, BSTR, IDispatch**) override { return E_NOTIMPL; }
    HRESULT WINAPI MoveHere(BSTR, BSTR, IDispatch**) override { return E_NOTIMPL; }

    // IADsDeleteOps
    HRESULT WINAPI DeleteObject(LONG flags) override
    {
        if (const auto failed = TakeFailure<HRESULT>(Entry::DirectoryDeleteObject))
            return *failed;
        if (flags != 0)
            return E_INVALIDARG;
        return Guard([&] { return DeleteDirectorySubtree(_object->dn) ? S_OK : kNoSuchObject; });
    }

    // IDirectorySearch
    HRESULT WINAPI SetSearchPreference(PADS_SEARCHPREF_INFO prefs, DWORD count) override
    {
        if (!prefs && count)
            return E_ADS_BAD_PARAMETER;
        HRESULT result = S_OK;
        for (DWORD i = 0; i < count; ++i)
        {
            ADS_SEARCHPREF_INFO& pref = prefs[i];
            pref.dwStatus = ADS_STATUS_S_OK;
            if (pref.dwSearchPref != ADS_SEARCHPREF_SEARCH_SCOPE && pref.dwSearchPref != ADS_SEARCHPREF_PAGESIZE)
                pref.dwStatus = ADS_STATUS_INVALID_SEARCHPREF;
            else if (pref.vValue.dwType != ADSTYPE_INTEGER ||
                     (pref.dwSearchPref == ADS_SEARCHPREF_SEARCH_SCOPE && pref.vValue.Integer > ADS_SCOPE_SUBTREE))
                pref.dwStatus = ADS_STATUS_INVALID_SEARCHPREFVALUE;
            else if (pref.dwSearchPref == ADS_SEARCHPREF_SEARCH_SCOPE)
                _scope = static_cast<ADS_SCOPEENUM>(pref.vValue.Integer);
            if (pref.dwStatus != ADS_STATUS_S_OK)
                result = S_ADS_ERRORSOCCURRED;
        }
        return result;
    }
    HRESULT WINAPI ExecuteSearch(LPWSTR filter, LPWSTR* attributes, DWORD count, PADS_SEARCH_HANDLE handle) override
    {
        if (const auto failed = TakeFailure<HRESULT>(Entry::DirectoryExecuteSearch))
            return *failed;
        return Guard([&]() -> HRESULT {
            if (!handle)
                return E_ADS_BAD_PARAMETER;
            FilterTerms terms;
            if (!ParseFilter(filter ? filter : L"(objectClass=*)", terms) ||
                !std::all_of(terms.begin(), terms.end(), IsSupportedTerm))
                return E_ADS_INVALID_FILTER;
            if (!FindDirectoryObject(_object->dn))
                return kNoSuchObject;
            auto search = std::make_unique<LabSearch>();
            if (count != static_cast<DWORD>(-1))
            {
                search->allAttributes = false;
                for (DWORD i = 0; i < count; ++i)
                    if (attributes && attributes[i])
                        search->attributes.emplace_back(attributes[i]);
            }
            const auto directory = Directory();
            const auto matches = [&](const DirectoryObject& object) {
                const bool inScope = _scope == ADS_SCOPE_BASE       ? SameText(object.dn, _object->dn)
                                     : _scope == ADS_SCOPE_ONELEVEL ? SameText(ParentName(object.dn), _object->dn)
                                                                    : SameText(object.dn, _object->dn) ||
                                                                          IsBelow(object.dn, _object->dn);
                return inScope && std::all_of(terms.begin(), terms.end(),
                                              [&](const auto& term) { return TermMatches(object, term); });
            };
            // A common name without wildcards narrows the search to its index.
            const auto byName = std::find_if(terms.begin(), terms.end(), [](const auto& term) {
                return SameText(term.first, L"cn") && term.second.find(L'*') == std::wstring::npos;
            });
            if (byName != terms.end())
            {
                for (const size_t index : directory->WithCn(byName->second))
                    if (matches(directory->objects[index]))
                        search->rows.push_back(directory->objects[index]);
            }
            else
            {
                for (const auto& object : directory->objects)
                    if (matches(object))
                        search->rows.push_back(object);
            }
            _searches.insert(search.get());
            *handle = search.release();
            ++g_live;
            return S_OK;
        });
    }
    HRESULT WINAPI AbandonSearch(ADS_SEARCH_HANDLE) override { return E_NOTIMPL; }
    HRESULT WINAPI GetFirstRow(ADS_SEARCH_HANDLE) override { return E_NOTIMPL; }
    HRESULT WINAPI GetNextRow(ADS_SEARCH_HANDLE handle) override
    {
        if (const auto failed = TakeFailure<HRESULT>(Entry::DirectoryGetNextRow))
            return *failed;
        LabSearch* search = Find(handle);
        if (!search)
            return E_ADS_BAD_PARAMETER;
        if (search->onRow)
            ++search->row;
        search->onRow = search->row < search->rows.size();
        return search->onRow ? S_OK : S_ADS_NOMORE_ROWS;
    }
    HRESULT WINAPI GetPreviousRow(ADS_SEARCH_HANDLE) override { return E_NOTIMPL; }
    HRESULT WINAPI GetNextColumnName(ADS_SEARCH_HANDLE, LPWSTR*) override { return E_NOTIMPL; }
    HRESULT WINAPI GetColumn(ADS_SEARCH_HANDLE handle, LPWSTR name, PADS_SEARCH_COLUMN column) override
    {
        if (const auto failed = TakeFailure<HRESULT>(Entry::DirectoryGetColumn))
            return *failed;
        return Guard([&]() -> HRESULT {
            LabSearch* search = Find(handle);
            if (!search || !name || !column || !search->onRow)
                return E_ADS_BAD_PARAMETER;
            const bool requested =
                search->allAttributes || std::any_of(search->attributes.begin(), search->attributes.end(),
                                                     [&](const std::wstring& a) { return SameText(a, name); });
            const DirectoryObject& row = search->rows[search->row];
            ADSTYPE type = ADSTYPE_INVALID;
            std::wstring text;
            if (requested && SameText(name, L"ADsPath"))
            {
                type = ADSTYPE_CASE_IGNORE_STRING;
                text = Path(row.dn);
            }
            else if (requested && SameText(name, L"distinguishedName"))
            {
                type = ADSTYPE_DN_STRING;
                text = row.dn;
            }
            else
                return E_ADS_COLUMN_NOT_SET;

            std::unique_ptr<wchar_t[]> attributeName(CopyText(name));
            std::unique_ptr<ADSVALUE[]> values(new ADSVALUE[1]());
            values[0].dwType = type;
            values[0].CaseIgnoreString = CopyText(text); // DNString shares the place
            column->pszAttrName = attributeName.release();
            column->dwADsType = type;
            column->pADsValues = values.release();
            column->dwNumValues = 1;
            column->hReserved = &g_columnMarker;
            ++g_live;
            return S_OK;
        });
    }
    HRESULT WINAPI FreeColumn(PADS_SEARCH_COLUMN column) override
    {
        if (!column || column->hReserved != &g_columnMarker)
            return E_ADS_BAD_PARAMETER;
        for (DWORD i = 0; i < column->dwNumValues; ++i)
            delete[] column->pADsValues[i].CaseIgnoreString;
        delete[] column->pADsValues;
        delete[] column->pszAttrName;
        *column = ADS_SEARCH_COLUMN{};
        --g_live;
        return S_OK;
    }
    HRESULT WINAPI CloseSearchHandle(ADS_SEARCH_HANDLE handle) override
    {
        LabSearch* search = Find(handle);
        if (!search)
            return E_ADS_BAD_PARAMETER;
        _searches.erase(search);
        delete search;
        --g_live;
        return S_OK;
    }

private:
    template <typename Body>
    static HRESULT Guard(Body body) noexcept
    {
        try
        {
            return body();
        }
        catch (...)
        {
            return E_OUTOFMEMORY;
        }
    }

    std::wstring Path(const std::wstring& dn) const
    {
        return L"LDAP://" + (_server.empty() ? std::wstring() : _server + L"/") + dn;
    }

    LabSearch* Find(ADS_SEARCH_HANDLE handle) const
    {
        auto* search = static_cast<LabSearch*>(handle);
        return _searches.count(search) ? search : nullptr;
    }

    std::atomic<ULONG> _refs{1};
    const std::wstring _server;
    const std::optional<DirectoryObject> _object; // empty: the root DSE
    ADS_SCOPEENUM _scope = ADS_SCOPE_SUBTREE;
    std::set<LabSearch*> _searches;
};

HRESULT Bind(LPCWSTR pathName, LPCWSTR userName, LPCWSTR password, REFIID riid, void** object)
{
    static const std::wstring kMoniker = L"LDAP://";
    if (!pathName || std::wstring(pathName).compare(0, kMoniker.size(), kMoniker) != 0)
        return E_ADS_BAD_PATHNAME;
    std::wstring rest = pathName + kMoniker.size();
    std::wstring server;
    for (size_t i = 0; i < rest.size(); ++i)
    {
        if (rest[i] == L'\\')
            ++i;
        else if (rest[i] == L'/')
        {
            server = rest.substr(0, i);
            rest.erase(0, i + 1);
            if (server.empty())
                return E_ADS_BAD_PATHNAME;
            break;
        }
    }
    if (rest.empty())
        return E_ADS_BAD_PATHNAME;
    if (!DirectoryHasDomain())
        return kNoSuchDomain;
    if (!server.empty() && !IsDirectoryServer(server))
        return kServerDown;
    const HRESULT credentials = CheckDirectoryCredentials(userName, password);
    if (FAILED(credentials))
        return credentials;
    if (!DirectoryOrphans().empty())
        return kBrokenTree;

    std::optional<DirectoryObject> found;
    if (!SameText(rest, L"rootDSE"))
    {
        found = FindDirectoryObject(rest);
        if (!found)
            return kNoSuchObject;
    }
    auto* created = new CLabDirObject(server, std::move(found));
    const HRESULT hr = created->QueryInterface(riid, object);
    created->Release();
    return hr;
}
} // namespace

std::vector<DirectoryBind> DirectoryBinds()
{
    BindLog& log = Binds();
    std::lock_guard<std::mutex> guard(log.lock);
    return log.binds;
}

void ClearDirectoryBinds() noexcept
{
    BindLog& log = Binds();
    std::lock_guard<std::mutex> guard(log.lock);
    log.binds.clear();
}

long DirectoryLiveObjects() noexcept
{
    return g_live.load();
}

HRESULT OpenDirectoryObject(LPCWSTR pathName, LPCWSTR userName, LPCWSTR password, DWORD flags, REFIID riid,
                            void** object) noexcept
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    try
    {
        DirectoryBind bind;
        bind.path = pathName ? pathName : L"";
        if (userName)
            bind.userName = userName;
        if (password)
            bind.password = password;
        bind.flags = flags;
        bind.iid = riid;
        bind.result = Bind(pathName, userName, password, riid, object);
        BindLog& log = Binds();
        std::lock_guard<std::mutex> guard(log.lock);
        log.binds.push_back(bind);
        return bind.result;
    }
    catch (...)
    {
        if (*object)
        {
            static_cast<IUnknown*>(*object)->Release();
            *object = nullptr;
        }
        return E_OUTOFMEMORY;
    }
}
} // namespace KvLab
