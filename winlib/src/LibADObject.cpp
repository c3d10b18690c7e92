// VLibADObject: see LibADObject.h.
#include "LibADObject.h"

#include "EntryPoints.h"
#include "UniqueResource.h"

#include <algorithm>
#include <new>


namespace
{
CStatus NotSupported() noexcept
{
    return CStatus::Failure(CStatus::kCom, static_cast<uint32_t>(E_NOTIMPL));
}

// A container goes with its subtree in one call.
HRESULT DeleteContainer(IADsContainer* container, const wchar_t*& failedCall) noexcept
{
    Microsoft::WRL::ComPtr<IADsDeleteOps> deleteOps;
    HRESULT hr = container->QueryInterface(IID_IADsDeleteOps,
                                           reinterpret_cast<void**>(deleteOps.ReleaseAndGetAddressOf()));
    if (FAILED(hr))
    {
        failedCall = L"pIADsContainer->QueryInterface for IID_IADsDeleteOps";
        return hr;
    }
    hr = deleteOps->DeleteObject(0);
    if (FAILED(hr))
        failedCall = L"pIADsDeleteOps->Delete";
    return hr;
}

// A leaf is deleted by its parent, bound without credentials.
HRESULT DeleteLeaf(IADs* object, const wchar_t*& failedCall) noexcept
{
    unique_bstr parent;
    unique_bstr className;
    unique_bstr name;
    HRESULT hr = object->get_Parent(&parent);
    if (FAILED(hr))
    {
        failedCall = L"m_pIADs->get_Parent";
        return hr;
    }
    hr = object->get_Class(&className);
    if (FAILED(hr))
    {
        failedCall = L"m_pIADs->get_Class";
        return hr;
    }
    hr = object->get_Name(&name);
    if (FAILED(hr))
    {
        failedCall = L"m_pIADs->get_Name";
        return hr;
    }
    Microsoft::WRL::ComPtr<IADsContainer> parentContainer;
    hr = KvEntry().ADsOpenObject(parent.get(), nullptr, nullptr, 0, IID_IADsContainer,
                                 reinterpret_cast<void**>(parentContainer.ReleaseAndGetAddressOf()));
    if (FAILED(hr))
    {
        failedCall = L"ADsOpenObject";
        return hr;
    }
    hr = parentContainer->Delete(className.get(), name.get());
    if (FAILED(hr))
        failedCall = L"pIADsContainer->Delete";
    return hr;
}
} // namespace

VLibADObject::~VLibADObject()
{
    (void)VLibADObject::Close();
}

bool VLibADObject::IsInitialized() const noexcept
{
    return _initialized != 0;
}

CStatus VLibADObject::Close() noexcept
{
    if (_search.IsInitialized())
        (void)_search.Reset();
    _initialized = 0;
    _name.clear();
    _className.clear();
    _namingContext = VLibADHelper::kDefaultNamingContext;
    _directoryObject.Reset();
    return CStatus::Success();
}

CStatus VLibADObject::Initialize(const wchar_t* className, uint32_t namingContext, const wchar_t* server,
                                 const wchar_t* userName, const wchar_t* password) noexcept
{
    (void)Close();
    if (!className || namingContext == 0)
    {
        VLIB_TRACE(L"Invalid parameters.");
        return CStatus::Failure(CStatus::kDirectory, 1);
    }
    CStatus status = _Locate(L"*", className, namingContext, server, userName, password);
    if (status.IsFailed())
        return status;

    unique_bstr name;
    const HRESULT hr = _directoryObject->get_Name(&name);
    if (FAILED(hr))
    {
        _directoryObject.Reset();
        VLIB_AD_RETURN_COM_FAILURE(L"m_pIADs->get_Name", hr);
    }
    try
    {
        _name = name.get() ? name.get() : L"";
    }
    catch (const std::bad_alloc&)
    {
        _directoryObject.Reset();
        return CStatus::Failure(CStatus::kCom, static_cast<uint32_t>(E_OUTOFMEMORY));
    }
    _initialized = 1;
    return status;
}

CStatus VLibADObject::Initialize(const wchar_t* name, const wchar_t* className, uint32_t namingContext,
                                 const wchar_t* server, const wchar_t* userName, const wchar_t* password) noexcept
{
    (void)Close();
    if (!name || !className)
    {
        VLIB_TRACE(L"Invalid parameters.");
        return CStatus::Failure(CStatus::kDirectory, 1);
    }
    try
    {
        _name = name;
    }
    catch (const std::bad_alloc&)
    {
        return CStatus::Failure(CStatus::kCom, static_cast<uint32_t>(E_OUTOFMEMORY));
    }
    const CStatus status = _Locate(name, className, namingContext, server, userName, password);
    if (status.IsSuccess())
        _initialized = 1;
    return status;
}

CStatus VLibADObject::_Locate(const wchar_t* name, const wchar_t* className, uint32_t namingContext,
                              const wchar_t* server, const wchar_t* userName, const wchar_t* password) noexcept
{
    CStatus status = _search.Initialize(server, userName, password);
    if (status.IsFailed())
        return status;
    try
    {
        _className = className;
    }
    catch (const std::bad_alloc&)
    {
        return CStatus::Failure(CStatus::kCom, static_cast<uint32_t>(E_OUTOFMEMORY));
    }
    _namingContext = namingContext;

    std::vector<Microsoft::WRL::ComPtr<IADs>> found;
    status = _search.Search(name, className, found, static_cast<int32_t>(namingContext), nullptr);
    if (status.IsFailed())
        return status;
    if (found.size() > 1)
    {
        VLIB_TRACE(L"%u objects of class %s are named %s.", static_cast<unsigned>(found.size()), className, name);
        return CStatus::Failure(CStatus::kDirectory, 2);
    }
    if (found.empty())
    {
        // Rows came back but none carried a path that could be opened.
        VLIB_TRACE(L"No object of class %s is named %s.", className, name);
        return CStatus::Failure(CStatus::kDirectory, 3);
    }
    _directoryObject = std::move(found.front());
    return status;
}

CStatus VLibADObject::GetPropertyValue(const wchar_t* propertyName, wchar_t* buffer, uint32_t bufferChars,
                                       uint32_t* requiredChars) noexcept
{
    if (!propertyName || !buffer || !requiredChars)
    {
        VLIB_TRACE(L"Invalid parameters.");
        return CStatus::Failure(CStatus::kDirectory, 1);
    }
    if (!_initialized)
    {
        VLibADAssertionFailed(__FILE__, __LINE__);
        return CStatus::Failure(CStatus::kDirectory, 6);
    }
    unique_bstr name(::SysAllocString(propertyName));
    if (!name)
    {
        VLIB_TRACE(L"Failed to allocate memory.");
        return CStatus::Failure(CStatus::kDirectory, 8);
    }

    try
    {
        // Refresh the one property first: the cache may predate the bind.
        unique_variant names;
        LPWSTR nameList[] = {name.get()};
        HRESULT hr = ::ADsBuildVarArrayStr(nameList, 1, &names);
        if (FAILED(hr))
            VLIB_AD_RETURN_COM_FAILURE(L"ADsBuildVarArrayStr", hr);
        hr = _directoryObject->GetInfoEx(names.value, 0);
        if (FAILED(hr))
            VLIB_AD_RETURN_COM_FAILURE(L"m_pIADs->GetInfoEx", hr);

        unique_variant values;
        hr = _directoryObject->GetEx(name.get(), &values);
        if (FAILED(hr))
            VLIB_AD_RETURN_COM_FAILURE(L"m_pIADs->GetEx", hr);
        if (values.value.vt != (VT_ARRAY | VT_VARIANT) || !values.value.parray)
        {
            VLIB_TRACE(L"Property value is not a string.");
            return CStatus::Failure(CStatus::kDirectory, 4);
        }
        LONG lower = 0;
        LONG upper = -1;
        hr = ::SafeArrayGetLBound(values.value.parray, 1, &lower);
        if (FAILED(hr))
            VLIB_AD_RETURN_COM_FAILURE(L"SafeArrayGetLBound", hr);
        hr = ::SafeArrayGetUBound(values.value.parray, 1, &upper);
        if (FAILED(hr))
            VLIB_AD_RETURN_COM_FAILURE(L"SafeArrayGetUBound", hr);

        std::wstring text;
        for (LONG index = lower; index <= upper; ++index)
        {
            unique_variant element;
            hr = ::SafeArrayGetElement(values.value.parray, &index, &element);
            if (FAILED(hr))
                VLIB_AD_RETURN_COM_FAILURE(L"SafeArrayGetElement", hr);
            if (index != lower)
                text += L';';
            const VARIANT& value = element.value;
            switch (value.vt)
            {
            case VT_BSTR:
                text += value.bstrVal ? value.bstrVal : L"";
                break;
            case VT_I4:
            case VT_INT:
                text += std::to_wstring(value.lVal);
                break;
            case VT_UI4:
            case VT_UINT:
                text += std::to_wstring(value.ulVal);
                break;
            case VT_BOOL:
                text += value.boolVal != VARIANT_FALSE ? L"1" : L"0";
                break;
            default:
                VLIB_TRACE(L"Property value is not a string.");
                return CStatus::Failure(CStatus::kDirectory, 4);
            }
        }

        if (text.size() >= bufferChars)
        {
            *requiredChars = static_cast<uint32_t>(text.size() + 1);
            VLIB_TRACE(L"Insufficient buffer.");
            return CStatus::Failure(CStatus::kDirectory, 5);
        }
        std::copy(text.c_str(), text.c_str() + text.size() + 1, buffer);
    }
    catch (const std::bad_alloc&)
    {
        return CStatus::Failure(CStatus::kCom, static_cast<uint32_t>(E_OUTOFMEMORY));
    }
    return CStatus::Success();
}

CStatus VLibADObject::GetPropertyValueType(const wchar_t*, ADSTYPE*) noexcept
{
    VLIB_TRACE(L"Not supported.");
    return NotSupported();
}

CStatus VLibADObject::SetPropertyValue(const wchar_t*, const wchar_t* const*, uint32_t) noexcept
{
    VLIB_TRACE(L"Not supported.");
    return NotSupported();
}

CStatus VLibADObject::GetChildObjects(std::vector<std::unique_ptr<VLibADObject>>&) noexcept
{
    VLIB_TRACE(L"Not supported.");
    return NotSupported();
}

CStatus VLibADObject::GetIADs(IADs** object) noexcept
{
    if (!object)
    {
        VLIB_TRACE(L"Invalid parameters.");
        return CStatus::Failure(CStatus::kDirectory, 1);
    }
    if (!_initialized)
    {
        VLIB_TRACE(L"Object is not initialized.");
        return CStatus::Failure(CStatus::kDirectory, 6);
    }
    *object = _directoryObject.Get();
    return CStatus::Success();
}

CStatus VLibADObject::GetObjectCategory(wchar_t*, uint32_t, uint32_t*) noexcept
{
    VLIB_TRACE(L"Not supported.");
    return NotSupported();
}

CStatus VLibADObject::GetGUID(wchar_t*, uint32_t, uint32_t*) noexcept
{
    VLIB_TRACE(L"Not supported.");
    return NotSupported();
}

const wchar_t* VLibADObject::GetName() const noexcept
{
    return _name.c_str();
}

CStatus VLibADObject::Delete() noexcept
{
    if (!_initialized)
    {
        VLIB_TRACE(L"Object is not initialized.");
        return CStatus::Failure(CStatus::kDirectory, 6);
    }
    const wchar_t* failedCall = L"";
    Microsoft::WRL::ComPtr<IADsContainer> container;
    const HRESULT hr =
        SUCCEEDED(_directoryObject->QueryInterface(IID_IADsContainer,
                                                   reinterpret_cast<void**>(container.ReleaseAndGetAddressOf())))
            ? DeleteContainer(container.Get(), failedCall)
            : DeleteLeaf(_directoryObject.Get(), failedCall);
    if (FAILED(hr))
    {
        const CStatus status = CStatus::Failure(CStatus::kCom, static_cast<uint32_t>(hr));
        VLIB_TRACE(L"%s returned %d, 0x%.08X", failedCall, static_cast<int>(status.GetCategory()),
                   static_cast<unsigned>(status.GetCode()));
        return status;
    }
    container.Reset();
    (void)Close();
    return CStatus::Success();
}

CStatus VLibADObject::AddRightsToADObject(const wchar_t*, uint32_t) noexcept
{
    VLIB_TRACE(L"Not supported.");
    return NotSupported();
}
