// CXMLReader: a status-returning reader over the MSXML DOM, used for the
// version catalogue. Nothing is thrown; diagnostics go to the calling
// thread's diagnostic queue. A reader and its nodes belong to one thread.
// Out-parameters are written only on success.
#pragma once

#include "Status.h"
#include "UniqueResource.h"

#include <windows.h>
#include <msxml2.h>
#include <wrl/client.h>

#include <string>

class CXMLReader
{
public:
    using DocumentPtr = Microsoft::WRL::ComPtr<IXMLDOMDocument2>;
    using NodePtr = Microsoft::WRL::ComPtr<IXMLDOMNode>;
    using NodeListPtr = Microsoft::WRL::ComPtr<IXMLDOMNodeList>;

    // The schema's target namespace: documents validated by it are ours.
    static constexpr wchar_t kSchemaNamespace[] = L"urn:RovozeVarivored";

    // Category 50 codes.
    static constexpr uint32_t kLoadFailed = 302;
    static constexpr uint32_t kNoElementList = 306;
    static constexpr uint32_t kNoAttributeMap = 307;
    static constexpr uint32_t kAttributeMissing = 308;
    static constexpr uint32_t kNullArgument = 311;
    static constexpr uint32_t kValueUnreadable = 312;

    CXMLReader() noexcept = default;
    // Not virtual: readers live on the stack, never deleted through a base.
    ~CXMLReader() = default;
    CXMLReader(const CXMLReader&) = delete;
    CXMLReader& operator=(const CXMLReader&) = delete;

    // The virtual operations keep this order.
    [[nodiscard]] virtual CStatus GetXmlFilePath(std::wstring& xmlPath) const noexcept;
    // Stores both paths; loads nothing.
    [[nodiscard]] virtual CStatus SetFilePaths(const std::wstring& xmlPath, const std::wstring& schemaPath) noexcept;
    [[nodiscard]] virtual CStatus GetLength(NodeListPtr list, long& length) noexcept;
    [[nodiscard]] virtual CStatus GetNodeName(NodePtr node, unique_bstr& name) noexcept;
    // Initialises COM as a single-threaded apartment if the thread has none
    // yet and never uninitialises it. An empty schemaPath means no validation.
    [[nodiscard]] virtual CStatus LoadXmlFile(const std::wstring& xmlPath, const std::wstring& schemaPath) noexcept;
    // The attribute of the first element named tagName that carries it.
    [[nodiscard]] virtual CStatus GetAttributeValue(const std::wstring& tagName, const std::wstring& attributeName,
                                                    std::wstring& value) noexcept;
    [[nodiscard]] virtual CStatus GetAttributeValueForNode(NodePtr node, const std::wstring& attributeName,
                                                           std::wstring& value) noexcept;
    // All elements named tagName in document order and the first of them;
    // a tag that does not occur gives an empty list and a null node.
    [[nodiscard]] virtual CStatus GetFirstElement(const std::wstring& tagName, NodeListPtr& list,
                                                  NodePtr& node) noexcept;
    // The list's next node; null after the last.
    [[nodiscard]] virtual CStatus GetNextElement(NodeListPtr list, NodePtr& node) noexcept;
    // The child nodes of node, or of the document when node is null.
    [[nodiscard]] virtual CStatus GetChildNodeList(NodeListPtr& list, NodePtr node) noexcept;

private:
    DocumentPtr _document;
    std::wstring _xmlPath;
    std::wstring _schemaPath;
};
