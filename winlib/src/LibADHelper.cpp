// VLibADHelper: see LibADHelper.h.
#include "LibADHelper.h"

#include "EntryPoints.h"
#include "LibLogger.h"
#include "UniqueResource.h"

#include <cstdio>
#include <new>


namespace
{
// Empty means "not given": ADSI then uses the caller's own credentials.
const wchar_t* Given(const std::wstring& text) noexcept
{
    return text.empty() ? nullptr : text.c_str();
}

const wchar_t* Given(const wchar_t* text) noexcept
{
    return text && *text ? text : nullptr;
}

// Frees the column and closes the search on every way out.
class CSearchRun
{
public:
    explicit CSearchRun(IDirectorySearch* search) noexcept : _search(search) {}
    ~CSearchRun()
    {
        FreeColumn();
        if (handle)
            _search->CloseSearchHandle(handle);
    }
    CSearchRun(const CSearchRun&) = delete;
    CSearchRun& operator=(const CSearchRun&) = delete;

    void FreeColumn() noexcept
    {
        if (columnHeld)
            _search->FreeColumn(&column);
        columnHeld = false;
    }

    ADS_SEARCH_HANDLE handle = nullptr;
    ADS_SEARCH_COLUMN column = {};
    bool columnHeld = false;

private:
    IDirectorySearch* _search;
};
} // namespace

void VLibADAssertionFailed(const char* file, int line) noexcept
{
    std::fprintf(stderr, "ASSERTION FAILED: file: %s line %d\n", file, line);
}

VLibADHelper::~VLibADHelper()
{
    (void)VLibADHelper::Reset();
}

bool VLibADHelper::IsInitialized() const noexcept
{
    return _initialized != 0;
}

CStatus VLibADHelper::Reset() noexcept
{
    _server.clear();
    _userName.clear();
    _password.clear();
    _initialized = 0;
    _defaultNamingContext.clear();
    _configurationNamingContext.clear();
    _schemaNamingContext.clear();
    _extraText.clear();
    return CStatus::Success();
}

CStatus VLibADHelper::Initialize(const wchar_t* server, const wchar_t* userName, const wchar_t* password) noexcept
{
    (void)Reset();
    userName = Given(userName);
    password = Given(password);
    server = Given(server);
    try
    {
        if (userName)
            _userName = userName;
        if (password)
            _password = password;
        std::wstring path = L"LDAP://";
        if (server)
        {
            _server = server;
            path += _server + L"/";
        }
        path += L"rootDSE";

        Microsoft::WRL::ComPtr<IADs> rootDse;
        HRESULT hr = KvEntry().ADsOpenObject(path.c_str(), userName, password, ADS_SECURE_AUTHENTICATION, IID_IADs,
                                             reinterpret_cast<void**>(rootDse.ReleaseAndGetAddressOf()));
        if (FAILED(hr))
            VLIB_AD_RETURN_COM_FAILURE(L"ADsOpenObject", hr);

        const struct
        {
            const wchar_t* attribute;
            std::wstring* target;
        } contexts[] = {{L"defaultNamingContext", &_defaultNamingContext},
                        {L"configurationNamingContext", &_configurationNamingContext},
                        {L"schemaNamingContext", &_schemaNamingContext}};
        for (const auto& context : contexts)
        {
            unique_bstr attribute(::SysAllocString(context.attribute));
            unique_variant value;
            hr = attribute ? rootDse->Get(attribute.get(), &value) : E_OUTOFMEMORY;
            // A naming context that is not text is as unusable as a missing one.
            if (SUCCEEDED(hr) && value.value.vt != VT_BSTR)
                hr = DISP_E_TYPEMISMATCH;
            if (FAILED(hr))
                VLIB_AD_RETURN_COM_FAILURE(L"pRootDSE->Get", hr);
            *context.target = value.value.bstrVal ? value.value.bstrVal : L"";
        }
    }
    catch (const std::bad_alloc&)
    {
        return CStatus::Failure(CStatus::kCom, static_cast<uint32_t>(E_OUTOFMEMORY));
    }
    _initialized = 1;
    return CStatus::Success();
}

CStatus VLibADHelper::SetExtraText(const wchar_t* text) noexcept
{
    try
    {
        _extraText = text ? text : L"";
    }
    catch (const std::bad_alloc&)
    {
        return CStatus::Failure(CStatus::kCom, static_cast<uint32_t>(E_OUTOFMEMORY));
    }
    return CStatus::Success();
}

const wchar_t* VLibADHelper::GetNamingContext(int32_t selector) const noexcept
{
    switch (selector)
    {
    case kDefaultNamingContext:
        return _defaultNamingContext.c_str();
    case kConfigurationNamingContext:
        return _configurationNamingContext.c_str();
    case kSchemaNamingContext:
        return _schemaNamingContext.c_str();
    default:
        return nullptr;
    }
}

CStatus VLibADHelper::Search(const wchar_t* name, const wchar_t* className,
                             std::vector<Microsoft::WRL::ComPtr<IADs>>& objects, int32_t namingContext,
                             IUnknown* source) noexcept
{
    if (!IsInitialized())
    {
        VLibADAssertionFailed(__FILE__, __LINE__);
        return CStatus::Failure(CStatus::kDirectory, 6);
    }
    if (!name || !className || (namingContext == 0 && !source))
    {
        VLIB_TRACE(L"Invalid parameters.");
        return CStatus::Failure(CStatus::kDirectory, 1);
    }

    try
    {
        std::wstring filter = std::wstring(L"(&(objectClass=") + className + L") (cn=" + name + L"))";
        const wchar_t* user = Given(_userName);
        const wchar_t* password = Given(_password);

        Microsoft::WRL::ComPtr<IDirectorySearch> search;
        if (source)
        {
            const HRESULT hr = source->QueryInterface(IID_IDirectorySearch,
                                                      reinterpret_cast<void**>(search.ReleaseAndGetAddressOf()));
            if (FAILED(hr))
                VLIB_AD_RETURN_COM_FAILURE(L"pSource->QueryInterface for IID_IDirectorySearch", hr);
        }
        else
        {
            const wchar_t* context = GetNamingContext(namingContext);
            if (!context)
            {
                VLIB_TRACE(L"Invalid naming context specified.");
                return CStatus::Failure(CStatus::kDirectory, 1);
            }
            const std::wstring path = std::wstring(L"LDAP://") + context;
            const HRESULT hr =
                KvEntry().ADsOpenObject(path.c_str(), user, password, ADS_SECURE_AUTHENTICATION, IID_IDirectorySearch,
                                        reinterpret_cast<void**>(search.ReleaseAndGetAddressOf()));
            if (FAILED(hr))
                VLIB_AD_RETURN_COM_FAILURE(L"ADsOpenObject", hr);
        }

        // Declared after the interface so the handle is closed before it is released.
        CSearchRun run(search.Get());
        ADS_SEARCHPREF_INFO preferences[2] = {};
        preferences[0].dwSearchPref = ADS_SEARCHPREF_SEARCH_SCOPE;
        preferences[0].vValue.dwType = ADSTYPE_INTEGER;
        preferences[0].vValue.Integer = ADS_SCOPE_SUBTREE;
        preferences[1].dwSearchPref = ADS_SEARCHPREF_PAGESIZE;
        preferences[1].vValue.dwType = ADSTYPE_INTEGER;
        preferences[1].vValue.Integer = 500;
        HRESULT hr = search->SetSearchPreference(preferences, ARRAYSIZE(preferences));
        if (FAILED(hr))
            VLIB_AD_RETURN_COM_FAILURE(L"pIDirSearch->SetSearchPreference", hr);

        wchar_t adsPath[] = L"ADsPath";
        LPWSTR attributes[] = {adsPath};
        hr = search->ExecuteSearch(&filter[0], attributes, ARRAYSIZE(attributes), &run.handle);
        if (FAILED(hr))
        {
            run.handle = nullptr;
            VLIB_AD_RETURN_COM_FAILURE(L"pIDirSearch->ExecuteSearch", hr);
        }

        hr = search->GetNextRow(run.handle);
        if (hr == S_ADS_NOMORE_ROWS)
            return CStatus::Failure(CStatus::kDirectory, 3);
        if (FAILED(hr))
            VLIB_AD_RETURN_COM_FAILURE(L"pIDirSearch->GetNextRow", hr);

        while (hr != S_ADS_NOMORE_ROWS)
        {
            hr = search->GetColumn(run.handle, adsPath, &run.column);
            if (FAILED(hr))
                VLIB_AD_RETURN_COM_FAILURE(L"pIDirSearch->GetColumn", hr);
            run.columnHeld = true;
            if (run.column.dwADsType == ADSTYPE_CASE_IGNORE_STRING && run.column.dwNumValues > 0 &&
                run.column.pADsValues && run.column.pADsValues[0].CaseIgnoreString)
            {
                Microsoft::WRL::ComPtr<IADs> object;
                hr = KvEntry().ADsOpenObject(run.column.pADsValues[0].CaseIgnoreString, user, password,
                                             ADS_SECURE_AUTHENTICATION, IID_IADs,
                                             reinterpret_cast<void**>(object.ReleaseAndGetAddressOf()));
                if (FAILED(hr))
                    VLIB_AD_RETURN_COM_FAILURE(L"ADsOpenObject", hr);
                objects.push_back(std::move(object));
            }
            run.FreeColumn();
            hr = search->GetNextRow(run.handle);
            if (FAILED(hr))
                VLIB_AD_RETURN_COM_FAILURE(L"pIDirSearch->GetNextRow", hr);
        }
    }
    catch (const std::bad_alloc&)
    {
        return CStatus::Failure(CStatus::kCom, static_cast<uint32_t>(E_OUTOFMEMORY));
    }
    return CStatus::Success();
}
