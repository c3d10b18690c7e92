// CXMLReader against Wine's MSXML 6, with catalogue documents of our own.
#include "LibXMLReader.h"
#include "support/RecordingLogOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace
{
// Test documents are Linux files; Wine sees them on drive Z:.
std::wstring DataPath(const std::string& name)
{
    const std::string path = std::string(KV_TEST_DATA) + "/xml/" + name;
    std::wstring wide(path.begin(), path.end());
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide[0] == L'\\' ? L"Z:" + wide : wide;
}

std::pair<uint32_t, uint32_t> Result(const CStatus& status) { return {status.GetCategory(), status.GetCode()}; }

// The index-th node of those named tagName, or of the document's own nodes.
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

struct XmlReaderTest : ::testing::Test
{
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(_com.result())); }
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

    unique_com_init _com; // a single-threaded apartment, as the wizard's threads have
    CScopedRecordingOutput _output;
};

// A document loaded with or without the catalogue's schema: a catalogue, or 50/302 and the validation text.
struct XmlReaderDocumentTest : XmlReaderTest, ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(XmlReaderDocumentTest, ReadsAsACatalogueOrFailsWithTheValidationText)
{
    const auto [file, withSchema] = GetParam();
    const std::wstring path = DataPath(file);
    CXMLReader reader;
    const CStatus status = reader.LoadXmlFile(path, withSchema ? DataPath("catalogue.xsd") : std::wstring());
    std::vector<std::wstring> lines = TakeMessages("CXMLReader::LoadXmlFile");
    std::vector<std::wstring> expected = {L"Entering CXMLReader::LoadXmlFile", L"Creating XML Schema Cache"};
    expected.resize(withSchema ? 2 : 1);
    if (file == std::string("catalogue.xml"))
    {
        ASSERT_EQ(0u, status.GetCategory()) << std::hex << status.GetCode();
        expected.push_back(L"Validation Status: Validation succeeded for " + path + L"\n");
        EXPECT_EQ(expected, lines);
        // The second version to upgrade and the file; the thread test reads by tag name.
        std::wstring version, stored;
        EXPECT_TRUE(
            reader.GetAttributeValueForNode(NthNode(reader, L"Version", 1), L"ExchADVersion", version).IsSuccess());
        EXPECT_TRUE(reader.GetXmlFilePath(stored).IsSuccess());
        EXPECT_EQ(std::pair(std::wstring(L"1912701168"), path), std::pair(version, stored));
        return;
    }
    EXPECT_EQ(std::pair(50u, 302u), Result(status));
    ASSERT_FALSE(lines.empty());
    // Wine's parser gives its own reason, source and line: only their frame is ours.
    const std::wstring head = L"Validation Status: Validation failed on " + path + L"\nReason: ";
    EXPECT_NE(std::wstring::npos, lines.back().find(L"\nLine: ", lines.back().find(L"\nSource: ", head.size())));
    lines.back().resize(std::min(lines.back().size(), head.size()));
    expected.insert(expected.end(),
                    {L"MSXML2::IXMLDOMDocument::Load() Failed Loading XML file. Return value = 0", head});
    EXPECT_EQ(expected, lines);
}

// Values the schema refuses; a document that does not parse.
INSTANTIATE_TEST_SUITE_P(Documents, XmlReaderDocumentTest,
                         ::testing::Values(std::pair("catalogue.xml", false), std::pair("catalogue.xml", true),
                                           std::pair("non-numeric.xml", true), std::pair("malformed.xml", false)));

// A call on the catalogue or on an empty reader: status, lines, out-parameter (left alone when refused).
struct CallCase
{
    const char* name;
    CStatus (*call)(CXMLReader& reader, std::wstring& value);
    uint32_t category, code;
    std::vector<std::wstring> messages;
    bool load = true;
    const wchar_t* value = L"unchanged";
};

using CNodeList = CXMLReader::NodeListPtr;
using CNode = CXMLReader::NodePtr;
const uint32_t kNullPointer = static_cast<uint32_t>(E_POINTER);
#define KV_CAUGHT(operation, detail)                                                                                   \
    L"\nFailure. Caught an exception in CXMLReader::" operation L"()." detail L" \tCode = -2147467261"
const std::wstring kNotOnTheNode =
    L"\nError! MSXML2::IXMLDOMNamedNodeMap::getNamedItem() Failed.\n\tm_XmlNamedItem POINTING TO NULL";

const CallCase kCalls[] = {
    {"CommentHasNoAttributeMap",
     [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValueForNode(NthNode(r, nullptr, 1), L"QLX", v); },
     50, 307, {L"\nError! MSXML2::IXMLDOMNode::get_attributes() ; Failed.\n\t m_XmlAttributeMap POINTING TO NULL"}},
    {"NullNode", [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValueForNode(nullptr, L"QLXVersion", v); },
     50, 311, {L"\nError! CXMLReader::GetAttributeValueForNode() Failed.\n\tNODE POINTING TO NULL"}},
    // The document's own nodes: the declaration, the comment, the root.
    {"NameOfTheDocumentsSecondNode", [](CXMLReader& r, std::wstring& v) {
         unique_bstr name;
         const CStatus status = r.GetNodeName(NthNode(r, nullptr, 1), name);
         v.assign(name.get(), ::SysStringLen(name.get()));
         return status;
     }, 0, 0, {}, true, L"#comment"},
    {"LengthOfANullList", [](CXMLReader& r, std::wstring&) { long n = 7; return r.GetLength(nullptr, n); }, 4,
     kNullPointer, {KV_CAUGHT(L"GetLength", L"")}},
    {"NameOfANullNode", [](CXMLReader& r, std::wstring&) { unique_bstr name; return r.GetNodeName(nullptr, name); },
     4, kNullPointer, {KV_CAUGHT(L"GetNodeName", L"")}},
    {"NextOfANullList", [](CXMLReader& r, std::wstring&) { CNode node; return r.GetNextElement(nullptr, node); }, 50,
     311, {L"CXMLReader::GetNextElement() ; Failed. NODELIST POINTING TO NULL"}},
    // Every element is asked before the attribute counts as missing.
    {"AttributeNoElementCarries",
     [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValue(L"Version", L"QLXVersion", v); }, 50, 308,
     {kNotOnTheNode, kNotOnTheNode,
      L"\nError! MSXML2::IXMLDOMNodeList::nextNode() Failed.\n\tAttribute QLXVersion Not Found"}},
    {"FirstElementBeforeALoad",
     [](CXMLReader& r, std::wstring&) { CNodeList list; CNode node; return r.GetFirstElement(L"Version", list, node); },
     4, kNullPointer, {KV_CAUGHT(L"GetFirstElement", L"")}, false},
    {"DocumentNodesBeforeALoad",
     [](CXMLReader& r, std::wstring&) { CNodeList list; return r.GetChildNodeList(list, nullptr); }, 4, kNullPointer,
     {KV_CAUGHT(L"GetChildNodeList", L"")}, false},
    {"AttributeBeforeALoad",
     [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValue(L"Version", L"QLXVersion", v); }, 4, kNullPointer,
     {KV_CAUGHT(L"GetAttributeValue", L"\n\tAttribute QLXVersion Not Found")}, false},
};

struct XmlReaderCallTest : XmlReaderTest, ::testing::WithParamInterface<CallCase> {};

TEST_P(XmlReaderCallTest, GivesItsStatusValueAndTrace)
{
    const CallCase& c = GetParam();
    CXMLReader reader;
    ASSERT_TRUE(!c.load || reader.LoadXmlFile(DataPath("catalogue.xml"), L"").IsSuccess());
    TakeMessages();
    std::wstring value = L"unchanged";
    EXPECT_EQ(std::pair(c.category, c.code), Result(c.call(reader, value)));
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
    EXPECT_EQ((std::vector<std::wstring>{L"Entering CXMLReader::LoadXmlFile", L"Creating XML Schema Cache",
                                         L"\nFailure. Caught an exception in CXMLReader::LoadXmlFile(). \tCode = " +
                                             std::to_wstring(static_cast<int>(status.GetCode()))}),
              TakeMessages("CXMLReader::LoadXmlFile"));
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
