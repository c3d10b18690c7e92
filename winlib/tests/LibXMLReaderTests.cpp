// CXMLReader against Wine's MSXML 6, with catalogue documents of our own.
#include "LibXMLReader.h"
#include "support/RecordingLogOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace
{
// One single-threaded COM apartment for the thread that makes it.
struct CComApartment
{
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~CComApartment()
    {
        if (SUCCEEDED(hr))
            ::CoUninitialize();
    }
};

// Test documents are Linux files; Wine sees them on drive Z:.
std::wstring DataPath(const std::string& name)
{
    const std::string path = std::string(KV_TEST_DATA) + "/xml/" + name;
    std::wstring wide(path.begin(), path.end());
    for (wchar_t& c : wide)
        c = c == L'/' ? L'\\' : c;
    return wide[0] == L'\\' ? L"Z:" + wide : wide;
}

using Entries = std::vector<std::pair<std::wstring, std::wstring>>;

class XmlReaderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(_com.hr)); }
    void TearDown() override
    {
        // S_OK once ours is gone: no reader kept a COM count of its own on the caller's thread.
        ::CoUninitialize();
        EXPECT_EQ(S_OK, ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }

    // The calling thread's messages, emptied; all of them come from the reader.
    // A caught failure's description is the system's text: only its shape is checked.
    std::vector<std::wstring> TakeMessages(const char* function = nullptr)
    {
        _output.written.clear();
        VLibThreadLogQueue::Global().Dump();
        std::vector<std::wstring> messages;
        for (size_t i = 1; i + 1 < _output.written.size(); ++i)
        {
            EXPECT_EQ("LibXMLReader", _output.written[i].module);
            EXPECT_TRUE(!function || _output.written[i].function == function) << _output.written[i].function;
            std::wstring message = _output.written[i].message;
            const size_t description = message.find(L" \tCode Description =  ");
            if (description != std::wstring::npos)
            {
                EXPECT_EQ(std::wstring::npos, message.find_first_of(L"\r\n", description)) << "one line of text";
                EXPECT_LT(description + 22, message.size()) << "a text at all";
                message.resize(description);
            }
            messages.push_back(message);
        }
        return messages;
    }

    // The walk the version reader makes over the versions to upgrade, one step past the end.
    static Entries ReadNonUpgraded(CXMLReader& reader)
    {
        CXMLReader::NodeListPtr elements, children;
        CXMLReader::NodePtr parent, child;
        long length = -1;
        EXPECT_TRUE(reader.GetFirstElement(L"ExchangeNonUpgradedVersion", elements, parent).IsSuccess());
        if (!parent) // a tag that does not occur is no failure: its list is empty
            return reader.GetLength(elements, length).IsSuccess() && length == 0 ? Entries{} : Entries(1);
        EXPECT_TRUE(reader.GetChildNodeList(children, parent).IsSuccess());
        EXPECT_TRUE(reader.GetLength(children, length).IsSuccess());
        Entries entries(length > 0 ? length : 0);
        for (auto& [code, adVersion] : entries)
            if (reader.GetNextElement(children, child).IsFailed() ||
                reader.GetAttributeValueForNode(child, L"ExchQLXVersion", code).IsFailed() ||
                reader.GetAttributeValueForNode(child, L"ExchADVersion", adVersion).IsFailed())
                return {};
        EXPECT_TRUE(reader.GetNextElement(children, child).IsSuccess());
        EXPECT_EQ(nullptr, child.Get()) << "past the end";
        return entries;
    }

    CComApartment _com;
    CScopedRecordingOutput _output;
};

// One document of the data folder, loaded with or without the catalogue's schema, and what it reads as.
struct DocumentCase
{
    const char* file;
    bool withSchema;
    Entries entries = {};
    const wchar_t* upgradeCode = nullptr; // null: not a catalogue, the load fails with 50/302
};

const Entries kCatalogue = {{L"6", L"1912636077"}, {L"7", L"1912701168"}};

class XmlReaderDocumentTest : public XmlReaderTest, public ::testing::WithParamInterface<DocumentCase>
{
};

TEST_P(XmlReaderDocumentTest, ReadsAsACatalogueOrFailsWithTheValidationText)
{
    const DocumentCase& c = GetParam();
    const std::wstring path = DataPath(c.file);
    CXMLReader reader;
    const CStatus status = reader.LoadXmlFile(path, c.withSchema ? DataPath("catalogue.xsd") : std::wstring());
    std::vector<std::wstring> lines = TakeMessages("CXMLReader::LoadXmlFile");
    std::vector<std::wstring> expected = {L"Entering CXMLReader::LoadXmlFile"};
    if (c.withSchema)
        expected.push_back(L"Creating XML Schema Cache");
    if (c.upgradeCode)
    {
        ASSERT_EQ(0u, status.GetCategory()) << std::hex << status.GetCode();
        expected.push_back(L"Validation Status: Validation succeeded for " + path + L"\n");
        EXPECT_EQ(expected, lines);
        EXPECT_EQ(c.entries, ReadNonUpgraded(reader));
        std::wstring code, stored;
        EXPECT_EQ(*c.upgradeCode ? 0u : 308u,
                  reader.GetAttributeValue(L"ExchangeUpgeadeVersion", L"QLXVersion", code).GetCode());
        EXPECT_EQ(c.upgradeCode, code);
        EXPECT_TRUE(reader.GetXmlFilePath(stored).IsSuccess());
        EXPECT_EQ(path, stored);
        return;
    }
    EXPECT_EQ(std::make_pair(50u, 302u), std::make_pair(status.GetCategory(), status.GetCode()));
    ASSERT_FALSE(lines.empty());
    // Wine's parser gives its own reason, source and line: only their frame is ours.
    const std::wstring head = L"Validation Status: Validation failed on " + path + L"\nReason: ";
    EXPECT_NE(std::wstring::npos, lines.back().find(L"\nLine: ", lines.back().find(L"\nSource: ", head.size())));
    lines.back().resize(std::min(lines.back().size(), head.size()));
    expected.insert(expected.end(),
                    {L"MSXML2::IXMLDOMDocument::Load() Failed Loading XML file. Return value = 0", head});
    EXPECT_EQ(expected, lines);
}

const DocumentCase kDocuments[] = {
    {"catalogue.xml", false, kCatalogue, L"8"}, {"catalogue.xml", true, kCatalogue, L"8"},
    {"bom-utf8.xml", false, kCatalogue, L"8"},  {"bom-utf8.xml", true, kCatalogue, L"8"},
    {"utf16.xml", false, kCatalogue, L"8"},     {"utf16.xml", true, kCatalogue, L"8"},
    // Without the schema, bad values come back as written and wrong names are not found.
    {"non-numeric.xml", false, {{L"six", L"1912636077"}, {L" 7 ", L""}}, L"0x8"}, {"wrong-names.xml", false, {}, L""},
    {"non-numeric.xml", true}, {"wrong-names.xml", true}, {"malformed.xml", false}, {"malformed.xml", true},
    {"does-not-exist.xml", false},
};

INSTANTIATE_TEST_SUITE_P(Documents, XmlReaderDocumentTest, ::testing::ValuesIn(kDocuments),
                         [](const ::testing::TestParamInfo<DocumentCase>& info) {
                             std::string name = info.param.file;
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name + (info.param.withSchema ? "_schema" : "");
                         });

CXMLReader::NodePtr NthNode(CXMLReader& reader, const wchar_t* tagName, int index)
{
    CXMLReader::NodeListPtr list;
    CXMLReader::NodePtr node;
    bool found = tagName ? reader.GetFirstElement(tagName, list, node).IsSuccess()
                         : reader.GetChildNodeList(list, nullptr).IsSuccess();
    for (int i = tagName ? 1 : 0; found && i <= index; ++i)
        found = reader.GetNextElement(list, node).IsSuccess();
    return found ? node : nullptr;
}

// "<length>:<name>;<name>;..." of the parent's child list, walked to its end.
CStatus ChildNames(CXMLReader& reader, CXMLReader::NodePtr parent, std::wstring& names)
{
    CXMLReader::NodeListPtr children;
    long length = -1;
    CStatus status = reader.GetChildNodeList(children, parent);
    if (status.IsSuccess())
        status = reader.GetLength(children, length);
    names = std::to_wstring(length) + L":";
    unique_bstr name;
    for (CXMLReader::NodePtr child; status.IsSuccess() && (status = reader.GetNextElement(children, child)).IsSuccess() &&
                                    child && (status = reader.GetNodeName(child, name)).IsSuccess();)
        names += std::wstring(name.get(), ::SysStringLen(name.get())) + L";";
    return status;
}

// Each call on the catalogue (or on a reader that loaded nothing): its status,
// the queue's lines, its out-parameter (left alone when refused).
struct CallCase
{
    const char* name;
    CStatus (*call)(CXMLReader& reader, std::wstring& value);
    uint32_t category, code;
    std::vector<std::wstring> messages;
    const wchar_t* value = L"unchanged";
    bool load = true;
};

const uint32_t kNullPointer = static_cast<uint32_t>(E_POINTER);
#define KV_CAUGHT(operation) L"\nFailure. Caught an exception in CXMLReader::" operation L"(). \tCode = -2147467261"
const std::wstring kNotOnTheNode =
    L"\nError! MSXML2::IXMLDOMNamedNodeMap::getNamedItem() Failed.\n\tm_XmlNamedItem POINTING TO NULL";

const CallCase kCalls[] = {
    {"AttributeMissingOnTheNode",
     [](CXMLReader& r, std::wstring& v) {
         return r.GetAttributeValueForNode(NthNode(r, L"ExchangeUpgeadeVersion", 0), L"ExchADVersion", v);
     },
     50, 308, {kNotOnTheNode}},
    {"CommentHasNoAttributeMap",
     [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValueForNode(NthNode(r, nullptr, 1), L"QLX", v); },
     50, 307, {L"\nError! MSXML2::IXMLDOMNode::get_attributes() ; Failed.\n\t m_XmlAttributeMap POINTING TO NULL"}},
    {"NullNode", [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValueForNode(nullptr, L"QLXVersion", v); },
     50, 311, {L"\nError! CXMLReader::GetAttributeValueForNode() Failed.\n\tNODE POINTING TO NULL"}},
    {"ChildListOfTheDocument", [](CXMLReader& r, std::wstring& v) { return ChildNames(r, nullptr, v); }, 0, 0, {},
     L"3:xml;#comment;ExchangeVersions;"},
    {"ChildListOfAnElement",
     [](CXMLReader& r, std::wstring& v) { return ChildNames(r, NthNode(r, L"ExchangeNonUpgradedVersion", 0), v); }, 0,
     0, {}, L"2:Version;Version;"},
    {"FirstOfAnAbsentTagIsNull",
     [](CXMLReader& r, std::wstring& v) {
         CXMLReader::NodeListPtr list;
         CXMLReader::NodePtr node;
         long length = -1;
         CStatus status = r.GetFirstElement(L"Version", list, node);
         if (status.IsSuccess() && node && (status = r.GetFirstElement(L"Absent", list, node)).IsSuccess() &&
             (status = r.GetLength(list, length)).IsSuccess())
             v = std::to_wstring(length) + (node ? L" node" : L" null");
         return status;
     },
     0, 0, {}, L"0 null"},
    {"LengthOfANullList", [](CXMLReader& r, std::wstring&) { long n = 7; return r.GetLength(nullptr, n); }, 4,
     kNullPointer, {KV_CAUGHT(L"GetLength")}},
    {"NameOfANullNode",
     [](CXMLReader& r, std::wstring&) {
         unique_bstr name;
         return r.GetNodeName(nullptr, name);
     },
     4, kNullPointer, {KV_CAUGHT(L"GetNodeName")}},
    {"NextOfANullList",
     [](CXMLReader& r, std::wstring&) {
         CXMLReader::NodePtr node;
         return r.GetNextElement(nullptr, node);
     },
     50, 311, {L"CXMLReader::GetNextElement() ; Failed. NODELIST POINTING TO NULL"}},
    {"AttributeOfTheFirstElementCarryingIt",
     [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValue(L"Version", L"ExchADVersion", v); }, 0, 0, {},
     L"1912636077"},
    // Every element is asked before the attribute counts as missing.
    {"AttributeNoElementCarries",
     [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValue(L"Version", L"QLXVersion", v); }, 50, 308,
     {kNotOnTheNode, kNotOnTheNode, L"\nError! MSXML2::IXMLDOMNodeList::nextNode() Failed.\n\tAttribute QLXVersion Not Found"}},
    {"FirstElementBeforeALoad",
     [](CXMLReader& r, std::wstring&) {
         CXMLReader::NodeListPtr list;
         CXMLReader::NodePtr node;
         return r.GetFirstElement(L"Version", list, node);
     },
     4, kNullPointer, {KV_CAUGHT(L"GetFirstElement")}, L"unchanged", false},
    {"DocumentChildrenBeforeALoad", [](CXMLReader& r, std::wstring& v) { return ChildNames(r, nullptr, v); }, 4,
     kNullPointer, {KV_CAUGHT(L"GetChildNodeList")}, L"-1:", false},
    {"AttributeBeforeALoad",
     [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValue(L"Version", L"QLXVersion", v); }, 4, kNullPointer,
     {L"\nFailure. Caught an exception in CXMLReader::GetAttributeValue().\n\tAttribute QLXVersion Not Found \tCode = "
      L"-2147467261"},
     L"unchanged", false},
};

class XmlReaderCallTest : public XmlReaderTest, public ::testing::WithParamInterface<CallCase>
{
};

TEST_P(XmlReaderCallTest, GivesItsStatusValueAndTrace)
{
    const CallCase& c = GetParam();
    CXMLReader reader;
    if (c.load)
        ASSERT_TRUE(reader.LoadXmlFile(DataPath("catalogue.xml"), L"").IsSuccess());
    TakeMessages();
    std::wstring value = L"unchanged";
    const CStatus status = c.call(reader, value);
    EXPECT_EQ(std::pair(c.category, c.code), std::pair(status.GetCategory(), status.GetCode()));
    EXPECT_EQ(c.value, value);
    EXPECT_EQ(c.messages, TakeMessages());
}

INSTANTIATE_TEST_SUITE_P(Calls, XmlReaderCallTest, ::testing::ValuesIn(kCalls),
                         [](const ::testing::TestParamInfo<CallCase>& info) { return info.param.name; });

// The library's own code and description, in one trace line of the load.
TEST_F(XmlReaderTest, SchemaThatCannotBeReadFailsTheLoad)
{
    CXMLReader reader;
    const CStatus status = reader.LoadXmlFile(DataPath("catalogue.xml"), DataPath("does-not-exist.xsd"));
    ASSERT_EQ(4u, status.GetCategory());
    EXPECT_TRUE(FAILED(static_cast<HRESULT>(status.GetCode())));
    const std::vector<std::wstring> expected = {
        L"Entering CXMLReader::LoadXmlFile", L"Creating XML Schema Cache",
        L"\nFailure. Caught an exception in CXMLReader::LoadXmlFile(). \tCode = " +
            std::to_wstring(static_cast<int>(status.GetCode()))};
    EXPECT_EQ(expected, TakeMessages("CXMLReader::LoadXmlFile"));
}

TEST_F(XmlReaderTest, ReaderWorksOnAThreadOfItsOwn)
{
    CStatus status;
    std::wstring value;
    std::thread([&] {
        VLibThreadLogQueue::Global().RegisterThread();
        ThreadLogScope scope;
        CXMLReader reader; // with no apartment yet: the reader makes one
        if ((status = reader.LoadXmlFile(DataPath("catalogue.xml"), DataPath("catalogue.xsd"))).IsSuccess())
            status = reader.GetAttributeValue(L"ExchangeUpgeadeVersion", L"ADVersion", value);
    }).join();
    EXPECT_EQ(0u, status.GetCategory()) << std::hex << status.GetCode();
    EXPECT_EQ(L"1912766640", value);
}
} // namespace
