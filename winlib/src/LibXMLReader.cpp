// CXMLReader: see LibXMLReader.h.
//
// Inside an operation a failed DOM call is raised as CRaisedFailure, the way
// the DOM's smart-pointer wrappers raise theirs, and each operation turns
// what it catches into category 4 with the failure's HRESULT.
#include "LibXMLReader.h"

#include "LibClock.h"
#include "LibLogger.h"

#include <ocidl.h>

#include <cwchar>
#include <new>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace
{
// MinGW's import libraries lack these two.
const IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidXmlDomSchemaCollection = {0x373984C8, 0xB845, 0x449B, {0x91, 0xE7, 0x45, 0xAC, 0x83, 0x03, 0x6A, 0xDE}};

constexpr wchar_t kDocument60[] = L"Msxml2.DOMDocument.6.0";
constexpr wchar_t kDocument30[] = L"Msxml2.DOMDocument.3.0";
constexpr wchar_t kSchemaCache60[] = L"Msxml2.XMLSchemaCache.6.0";

// How long an asynchronous load may take before the file counts as unreadable.
constexpr ULONGLONG kLoadDeadlineMs = 60000;
constexpr DWORD kLoadPollMs = 20;

struct CRaisedFailure
{
    HRESULT hr;
};

void Raise(HRESULT hr)
{
    if (FAILED(hr))
        throw CRaisedFailure{hr};
}

// A null interface is E_POINTER, as the wrappers report it.
template <typename T>
T* Deref(const ComPtr<T>& pointer)
{
    if (!pointer)
        throw CRaisedFailure{E_POINTER};
    return pointer.Get();
}

// Called inside a catch block only.
HRESULT CaughtResult() noexcept
{
    try
    {
        throw;
    }
    catch (const CRaisedFailure& failure)
    {
        return failure.hr;
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
}

// The system's text for a failure code, as a COM error describes itself.
class CFailureText
{
public:
    explicit CFailureText(HRESULT hr) noexcept
    {
        DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(hr), 0, _text, kSize, nullptr);
        while (length > 0 && (_text[length - 1] == L'\n' || _text[length - 1] == L'\r'))
            _text[--length] = L'\0';
        if (length == 0)
            _snwprintf(_text, kSize - 1, L"Unknown error 0x%08lX", static_cast<unsigned long>(hr));
        _text[kSize - 1] = L'\0';
    }
    const wchar_t* Text() const noexcept { return _text; }

private:
    static constexpr DWORD kSize = 256;
    wchar_t _text[kSize] = {};
};

unique_bstr AllocBstr(const std::wstring& text)
{
    unique_bstr bstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
    if (!bstr)
        throw CRaisedFailure{E_OUTOFMEMORY};
    return bstr;
}

// The whole string, embedded nulls included; a null BSTR is empty text.
std::wstring TextOf(BSTR bstr)
{
    return bstr ? std::wstring(bstr, ::SysStringLen(bstr)) : std::wstring();
}

void SetText(unique_variant& variant, const std::wstring& text)
{
    unique_bstr bstr = AllocBstr(text);
    ::VariantClear(&variant.value);
    variant.value.vt = VT_BSTR;
    variant.value.bstrVal = bstr.release();
}

HRESULT CreateByProgId(const wchar_t* progId, REFIID iid, void** object) noexcept
{
    CLSID clsid = {};
    const HRESULT hr = ::CLSIDFromProgID(progId, &clsid);
    return FAILED(hr) ? hr : ::CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object);
}

// Asked once per process: the answer cannot change while it runs.
bool IsOlderThanVista() noexcept
{
    static const bool older = [] {
        OSVERSIONINFOEXW wanted = {};
        wanted.dwOSVersionInfoSize = sizeof(wanted);
        wanted.dwMajorVersion = 6;
        wanted.dwMinorVersion = 0;
        wanted.wServicePackMajor = 0;
        ULONGLONG mask = 0;
        mask = ::VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
        mask = ::VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
        mask = ::VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
        if (::VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask))
            return false;
        // Only a definite "older" may fall back to the older library.
        return ::GetLastError() == ERROR_OLD_WIN_VERSION;
    }();
    return older;
}

void AttachSchemaCache(IXMLDOMDocument2& document, IXMLDOMSchemaCollection& cache, const std::wstring& schemaPath)
{
    const unique_bstr schemaNamespace = AllocBstr(CXMLReader::kSchemaNamespace);
    unique_variant location;
    SetText(location, schemaPath);
    Raise(cache.add(schemaNamespace.get(), location.value));

    unique_variant schemas;
    schemas.value.vt = VT_DISPATCH;
    schemas.value.pdispVal = &cache;
    cache.AddRef();
    Raise(document.putref_schemas(schemas.value));
    Raise(document.put_async(VARIANT_FALSE));
    Raise(document.put_validateOnParse(VARIANT_TRUE));
    Raise(document.put_resolveExternals(VARIANT_TRUE));
}

// Loading asynchronously (the library's default) only starts the work: the
// callers read the document right away, so wait for it, pumping the
// apartment's messages that drive the load.
void WaitUntilLoaded(IXMLDOMDocument2& document, VARIANT_BOOL& loaded)
{
    VARIANT_BOOL async = VARIANT_FALSE;
    Raise(document.get_async(&async));
    VLibClock& clock = VLibClock::Current();
    const ULONGLONG deadline = clock.TickCount() + kLoadDeadlineMs;
    for (long state = 0; async != VARIANT_FALSE;)
    {
        const HRESULT hr = document.get_readyState(&state);
        // A library that cannot tell its state has loaded synchronously.
        if (hr == E_NOTIMPL || state == READYSTATE_COMPLETE)
            break;
        Raise(hr);
        if (clock.TickCount() >= deadline)
        {
            loaded = VARIANT_FALSE;
            return;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, kLoadPollMs, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
    }
    ComPtr<IXMLDOMParseError> error;
    Raise(document.get_parseError(error.GetAddressOf()));
    long code = 0;
    Raise(Deref(error)->get_errorCode(&code));
    loaded = code == 0 ? VARIANT_TRUE : VARIANT_FALSE;
}

// Empty when the error object reports no error code.
std::wstring ParseErrorText(IXMLDOMParseError& error, const std::wstring& xmlPath)
{
    long code = 0;
    Raise(error.get_errorCode(&code));
    if (code == 0)
        return {};
    unique_bstr reason;
    unique_bstr source;
    long line = 0;
    Raise(error.get_reason(&reason));
    Raise(error.get_srcText(&source));
    Raise(error.get_line(&line));
    return L"Validation failed on " + xmlPath + L"\nReason: " + TextOf(reason.get()) + L"\nSource: " +
           TextOf(source.get()) + L"\nLine: " + std::to_wstring(line) + L"\n";
}
} // namespace

// Records a caught failure under the calling operation's name and makes it the result.
#define XML_TRACE_CAUGHT(status, hr, operation)                                                                        \
    do                                                                                                                 \
    {                                                                                                                  \
        const HRESULT caughtHr_ = (hr);                                                                                \
        const CFailureText caughtText_(caughtHr_);                                                                     \
        VLIB_TRACE(                                                                                                    \
            L"\nFailure. Caught an exception in CXMLReader::" operation L"(). \tCode = %d \tCode Description =  %s",   \
            static_cast<int>(caughtHr_), caughtText_.Text());                                                          \
        (status).Set(CStatus::kCom, static_cast<uint32_t>(caughtHr_));                                                 \
    } while (0)

// Records a failure under the calling operation's name and returns it as the result.
#define XML_RETURN_FAILURE(status, category, code, ...)                                                                \
    do                                                                                                                 \
    {                                                                                                                  \
        VLIB_TRACE(__VA_ARGS__);                                                                                       \
        (status).Set((category), static_cast<uint32_t>(code));                                                         \
        return (status);                                                                                               \
    } while (0)

CStatus CXMLReader::GetXmlFilePath(std::wstring& xmlPath) const noexcept
{
    CStatus status = CStatus::Success();
    try
    {
        xmlPath = _xmlPath;
    }
    catch (...)
    {
        XML_TRACE_CAUGHT(status, CaughtResult(), L"GetXmlFilePath");
    }
    return status;
}

CStatus CXMLReader::SetFilePaths(const std::wstring& xmlPath, const std::wstring& schemaPath) noexcept
{
    CStatus status = CStatus::Success();
    try
    {
        std::wstring newXmlPath = xmlPath;
        std::wstring newSchemaPath = schemaPath;
        _xmlPath.swap(newXmlPath);
        _schemaPath.swap(newSchemaPath);
    }
    catch (...)
    {
        XML_TRACE_CAUGHT(status, CaughtResult(), L"SetFilePaths");
    }
    return status;
}

CStatus CXMLReader::GetLength(NodeListPtr list, long& length) noexcept
{
    CStatus status = CStatus::Success();
    try
    {
        long count = 0;
        const HRESULT hr = Deref(list)->get_length(&count);
        if (FAILED(hr))
            XML_RETURN_FAILURE(status, CStatus::kCom, hr,
                               L"MSXML2::IXMLDOMNodeList::get_length() Failed. Return value =  %d",
                               static_cast<int>(hr));
        length = count;
    }
    catch (...)
    {
        XML_TRACE_CAUGHT(status, CaughtResult(), L"GetLength");
    }
    return status;
}

CStatus CXMLReader::GetNodeName(NodePtr node, unique_bstr& name) noexcept
{
    CStatus status = CStatus::Success();
    try
    {
        unique_bstr nodeName;
        const HRESULT hr = Deref(node)->get_nodeName(&nodeName);
        if (FAILED(hr))
            XML_RETURN_FAILURE(status, CStatus::kCom, hr,
                               L"MSXML2::IXMLDOMNode::get_nodeName() Failed. Return value =  %d", static_cast<int>(hr));
        name = std::move(nodeName);
    }
    catch (...)
    {
        XML_TRACE_CAUGHT(status, CaughtResult(), L"GetNodeName");
    }
    return status;
}

CStatus CXMLReader::LoadXmlFile(const std::wstring& xmlPath, const std::wstring& schemaPath) noexcept
{
    CStatus status = CStatus::Success();
    const HRESULT initHr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (initHr != S_OK && initHr != S_FALSE)
        XML_RETURN_FAILURE(status, CStatus::kCom, initHr,
                           L"MSXML2::IXMLDOMDocument2::CoInitialize() Failed. Return value =  %d",
                           static_cast<int>(initHr));
    // COM was already set up by the caller: leave its count as it was.
    if (initHr == S_FALSE)
        ::CoUninitialize();

    try
    {
        status = SetFilePaths(xmlPath, schemaPath);
        if (status.IsFailed())
            return status;
        _document.Reset();
        VLIB_TRACE(L"Entering CXMLReader::LoadXmlFile");

        const bool haveSchema = !_schemaPath.empty();
        HRESULT hr = CreateByProgId(kDocument60, kIidXmlDomDocument2,
                                    reinterpret_cast<void**>(_document.ReleaseAndGetAddressOf()));
        if (FAILED(hr))
        {
            VLIB_TRACE(L"MSXML2::IXMLDOMDocument2::CreateInstance() Failed for Msxml2.DOMDocument.6.0. "
                       L"Return value =  %d",
                       static_cast<int>(hr));
            // Before Vista MSXML 6 may be missing; 3.0 cannot validate against our schema.
            if (haveSchema || !IsOlderThanVista())
            {
                status.Set(CStatus::kCom, static_cast<uint32_t>(hr));
                return status;
            }
            VLIB_TRACE(L"Trying to create a instance of Msxml2.DOMDocument.3.0");
            hr = CreateByProgId(kDocument30, kIidXmlDomDocument2,
                                reinterpret_cast<void**>(_document.ReleaseAndGetAddressOf()));
            if (FAILED(hr))
            {
                status.Set(CStatus::kCom, static_cast<uint32_t>(hr));
                return status;
            }
        }

        if (haveSchema)
        {
            VLIB_TRACE(L"Creating XML Schema Cache");
            ComPtr<IXMLDOMSchemaCollection> cache;
            hr = CreateByProgId(kSchemaCache60, kIidXmlDomSchemaCollection,
                                reinterpret_cast<void**>(cache.GetAddressOf()));
            if (hr != S_OK)
                XML_RETURN_FAILURE(
                    status, CStatus::kCom, hr,
                    L"MSXML2::IXMLDOMDocument2::CreateInstance() for SchemaCache Failed. Return value =  %d",
                    static_cast<int>(hr));
            AttachSchemaCache(*Deref(_document), *Deref(cache), _schemaPath);
        }

        unique_variant path;
        SetText(path, _xmlPath);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        Raise(_document->load(path.value, &loaded));
        if (loaded != VARIANT_FALSE)
            WaitUntilLoaded(*_document.Get(), loaded);
        ComPtr<IXMLDOMParseError> error;
        if (loaded != VARIANT_FALSE && haveSchema)
        {
            // Some DOM libraries take validateOnParse but check nothing while
            // parsing; where they do, this second pass finds nothing new.
            const HRESULT validated = _document->validate(error.GetAddressOf());
            Raise(validated);
            loaded = validated == S_OK ? VARIANT_TRUE : VARIANT_FALSE;
        }
        if (loaded != VARIANT_FALSE)
        {
            VLIB_TRACE(L"Validation Status: %s", (L"Validation succeeded for " + _xmlPath + L"\n").c_str());
            return status;
        }

        VLIB_TRACE(L"MSXML2::IXMLDOMDocument::Load() Failed Loading XML file. Return value = %d", 0);
        status.Set(CStatus::kXml, kLoadFailed);
        if (!error)
            Raise(_document->get_parseError(error.GetAddressOf()));
        VLIB_TRACE(L"Validation Status: %s", ParseErrorText(*Deref(error), _xmlPath).c_str());
    }
    catch (...)
    {
        XML_TRACE_CAUGHT(status, CaughtResult(), L"LoadXmlFile");
    }
    return status;
}

CStatus CXMLReader::GetAttributeValue(const std::wstring& tagName, const std::wstring& attributeName,
                                      std::wstring& value) noexcept
{
    CStatus status = CStatus::Success();
    try
    {
        const unique_bstr tag = AllocBstr(tagName);
        NodeListPtr elements;
        Raise(Deref(_document)->getElementsByTagName(tag.get(), elements.GetAddressOf()));
        if (!elements)
            XML_RETURN_FAILURE(
                status, CStatus::kXml, kNoElementList,
                L"\nError! MSXML2::IXMLDOMDocument::getElementsByTagName() Failed. \n\tAttribute with name = %s "
                L"not found",
                attributeName.c_str());
        for (;;)
        {
            NodePtr element;
            Raise(elements->nextNode(element.GetAddressOf()));
            if (!element)
                break;
            std::wstring found;
            // Through the virtual table, so a derived reader decides per node.
            if (GetAttributeValueForNode(element, attributeName, found).IsSuccess())
            {
                value.swap(found);
                return status;
            }
        }
        VLIB_TRACE(L"\nError! MSXML2::IXMLDOMNodeList::nextNode() Failed.\n\tAttribute %s Not Found",
                   attributeName.c_str());
        status.Set(CStatus::kXml, kAttributeMissing);
    }
    catch (...)
    {
        const HRESULT hr = CaughtResult();
        const CFailureText text(hr);
        VLIB_TRACE(L"\nFailure. Caught an exception in CXMLReader::GetAttributeValue().\n\tAttribute %s Not Found "
                   L"\tCode = %d \tCode Description =  %s",
                   attributeName.c_str(), static_cast<int>(hr), text.Text());
        status.Set(CStatus::kCom, static_cast<uint32_t>(hr));
    }
    return status;
}

CStatus CXMLReader::GetAttributeValueForNode(NodePtr node, const std::wstring& attributeName,
                                             std::wstring& value) noexcept
{
    CStatus status = CStatus::Success();
    if (!node)
        XML_RETURN_FAILURE(status, CStatus::kXml, kNullArgument,
                           L"\nError! CXMLReader::GetAttributeValueForNode() Failed.\n\tNODE POINTING TO NULL");
    try
    {
        ComPtr<IXMLDOMNamedNodeMap> attributes;
        HRESULT hr = node->get_attributes(attributes.GetAddressOf());
        if (FAILED(hr))
            XML_RETURN_FAILURE(status, CStatus::kCom, hr,
                               L"\nError! MSXML2::IXMLDOMNode::get_attributes() Failed.\n\tReturn value = %d",
                               static_cast<int>(hr));
        if (!attributes)
            XML_RETURN_FAILURE(
                status, CStatus::kXml, kNoAttributeMap,
                L"\nError! MSXML2::IXMLDOMNode::get_attributes() ; Failed.\n\t m_XmlAttributeMap POINTING TO NULL");

        const unique_bstr name = AllocBstr(attributeName);
        NodePtr attribute;
        Raise(attributes->getNamedItem(name.get(), attribute.GetAddressOf()));
        if (!attribute)
            XML_RETURN_FAILURE(
                status, CStatus::kXml, kAttributeMissing,
                L"\nError! MSXML2::IXMLDOMNamedNodeMap::getNamedItem() Failed.\n\tm_XmlNamedItem POINTING TO NULL");

        unique_variant nodeValue;
        hr = attribute->get_nodeValue(&nodeValue);
        // Whatever type the value came as, it is read as text.
        if (SUCCEEDED(hr))
            hr = ::VariantChangeType(&nodeValue.value, &nodeValue.value, 0, VT_BSTR);
        if (FAILED(hr))
            XML_RETURN_FAILURE(
                status, CStatus::kXml, kValueUnreadable,
                L"\nError! MSXML2::IXMLDOMNamedNodeMap::get_nodeValue() Failed.\n\tCannot retrieve attribute value!");
        value = TextOf(nodeValue.value.bstrVal);
    }
    catch (...)
    {
        XML_TRACE_CAUGHT(status, CaughtResult(), L"GetAttributeValueForNode");
    }
    return status;
}

CStatus CXMLReader::GetFirstElement(const std::wstring& tagName, NodeListPtr& list, NodePtr& node) noexcept
{
    CStatus status = CStatus::Success();
    try
    {
        const unique_bstr tag = AllocBstr(tagName);
        NodeListPtr elements;
        Raise(Deref(_document)->getElementsByTagName(tag.get(), elements.GetAddressOf()));
        long length = 0;
        const HRESULT hr = Deref(elements)->get_length(&length);
        if (FAILED(hr))
            XML_RETURN_FAILURE(
                status, CStatus::kCom, hr,
                L"\nError! MSXML2::IXMLDOMNodeList::getElementsByTagName() Failed. \n\tReturn value = %d",
                static_cast<int>(hr));
        NodePtr first;
        if (length != 0)
            Raise(elements->nextNode(first.GetAddressOf()));
        list = std::move(elements);
        node = std::move(first);
    }
    catch (...)
    {
        XML_TRACE_CAUGHT(status, CaughtResult(), L"GetFirstElement");
    }
    return status;
}

CStatus CXMLReader::GetNextElement(NodeListPtr list, NodePtr& node) noexcept
{
    CStatus status = CStatus::Success();
    if (!list)
        XML_RETURN_FAILURE(status, CStatus::kXml, kNullArgument,
                           L"CXMLReader::GetNextElement() ; Failed. NODELIST POINTING TO NULL");
    try
    {
        NodePtr next;
        Raise(list->nextNode(next.GetAddressOf()));
        node = std::move(next);
    }
    catch (...)
    {
        XML_TRACE_CAUGHT(status, CaughtResult(), L"GetNextElement");
    }
    return status;
}

CStatus CXMLReader::GetChildNodeList(NodeListPtr& list, NodePtr node) noexcept
{
    CStatus status = CStatus::Success();
    try
    {
        NodeListPtr children;
        const HRESULT hr = node ? node->get_childNodes(children.GetAddressOf())
                                : Deref(_document)->get_childNodes(children.GetAddressOf());
        if (FAILED(hr))
            XML_RETURN_FAILURE(status, CStatus::kCom, hr,
                               L"\nError! MSXML2::IXMLDOMNodeList::get_childNodes() Failed. \n\tReturn value = %d",
                               static_cast<int>(hr));
        list = std::move(children);
    }
    catch (...)
    {
        XML_TRACE_CAUGHT(status, CaughtResult(), L"GetChildNodeList");
    }
    return status;
}
