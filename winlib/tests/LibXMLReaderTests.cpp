// CXMLReader against Wine's MSXML 6, with catalogue documents of our own.
#include "LibXMLReader.h"
#include "support/RecordingLogOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
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
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(_com.hr));
        _previous = _queue.GetLogImpl();
        _queue.SetLogImpl(&_output);
        _queue.RegisterThread();
    }
    void TearDown() override
    {
        _queue.ClearAll();
        _queue.SetLogImpl(_previous);
        // S_OK once ours is gone: no reader kept a COM count of its own on the caller's thread.
        ::CoUninitialize();
        EXPECT_EQ(S_OK, ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }

    // The calling thread's messages, emptied; all of them come from the reader.
    std::vector<std::wstring> TakeMessages(const char* function = nullptr)
    {
        _output.written.clear();
        _queue.Dump();
        std::vector<std::wstring> messages;
        for (size_t i = 1; i + 1 < _output.written.size(); ++i)
        {
            EXPECT_EQ("LibXMLReader", _output.written[i].module);
            EXPECT_TRUE(!function || _output.written[i].function == function) << _output.written[i].function;
            messages.push_back(_output.written[i].message);
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
    VLibThreadLogQueue& _queue = VLibThreadLogQueue::Global();
    VLibLogImpl* _previous = nullptr;
    CRecordingOutput _output;
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

// Each call on the loaded catalogue: its status, the queue's lines, its out-parameter (left alone when refused).
struct CallCase
{
    const char* name;
    CStatus (*call)(CXMLReader& reader, std::wstring& value);
    uint32_t code;
    std::vector<std::wstring> messages;
    const wchar_t* value = L"unchanged";
};

const CallCase kCalls[] = {
    {"AttributeMissingOnTheNode",
     [](CXMLReader& r, std::wstring& v) {
         return r.GetAttributeValueForNode(NthNode(r, L"ExchangeUpgeadeVersion", 0), L"ExchADVersion", v);
     },
     308, {L"\nError! MSXML2::IXMLDOMNamedNodeMap::getNamedItem() Failed.\n\tm_XmlNamedItem POINTING TO NULL"}},
    {"CommentHasNoAttributeMap",
     [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValueForNode(NthNode(r, nullptr, 1), L"QLX", v); },
     307, {L"\nError! MSXML2::IXMLDOMNode::get_attributes() ; Failed.\n\t m_XmlAttributeMap POINTING TO NULL"}},
    {"NullNode", [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValueForNode(nullptr, L"QLXVersion", v); },
     311, {L"\nError! CXMLReader::GetAttributeValueForNode() Failed.\n\tNODE POINTING TO NULL"}},
    {"ChildListOfTheDocument",
     [](CXMLReader& r, std::wstring& v) {
         unique_bstr name;
         v.clear();
         for (int i = 0; NthNode(r, nullptr, i) && r.GetNodeName(NthNode(r, nullptr, i), name).IsSuccess(); ++i)
             v += std::wstring(name.get(), ::SysStringLen(name.get())) + L";";
         return CStatus::Success();
     },
     0, {}, L"xml;#comment;ExchangeVersions;"},
};

class XmlReaderCallTest : public XmlReaderTest, public ::testing::WithParamInterface<CallCase>
{
};

TEST_P(XmlReaderCallTest, GivesItsStatusValueAndTrace)
{
    CXMLReader reader;
    ASSERT_TRUE(reader.LoadXmlFile(DataPath("catalogue.xml"), L"").IsSuccess());
    TakeMessages();
    std::wstring value = L"unchanged";
    const CStatus status = GetParam().call(reader, value);
    EXPECT_EQ(GetParam().code ? 50u : 0u, status.GetCategory());
    EXPECT_EQ(GetParam().code, status.GetCode());
    EXPECT_EQ(GetParam().value, value);
    EXPECT_EQ(GetParam().messages, TakeMessages());
}

INSTANTIATE_TEST_SUITE_P(Calls, XmlReaderCallTest, ::testing::ValuesIn(kCalls),
                         [](const ::testing::TestParamInfo<CallCase>& info) { return info.param.name; });

TEST_F(XmlReaderTest, LargeCatalogueLoadsWhole)
{
    constexpr int kEntries = 50000;
    const std::string longVersion(200000, '7');
    std::string content = "<?xml version=\"1.0\"?>\n<ExchangeVersions xmlns=\"urn:RovozeVarivored\">\n"
                          "<ExchangeNonUpgradedVersion>\n";
    for (int i = 0; i < kEntries; ++i)
        content += "<Version ExchQLXVersion=\"" + std::to_string(i) + "\" ExchADVersion=\"" +
                   (i + 1 == kEntries ? longVersion : std::to_string(1912636077 + i)) + "\"/>\n";
    content += "</ExchangeNonUpgradedVersion>\n<ExchangeUpgeadeVersion QLXVersion=\"8\" ADVersion=\"1\"/>\n"
               "</ExchangeVersions>\n";
    const std::string file = ::testing::TempDir() + "kv-large.xml";
    std::ofstream(file, std::ios::binary) << content;
    CXMLReader reader;
    ASSERT_TRUE(reader.LoadXmlFile(std::wstring(file.begin(), file.end()), DataPath("catalogue.xsd")).IsSuccess());
    const Entries entries = ReadNonUpgraded(reader);
    ASSERT_EQ(static_cast<size_t>(kEntries), entries.size());
    EXPECT_EQ(std::make_pair(std::wstring(L"1"), std::wstring(L"1912636078")), entries[1]);
    EXPECT_EQ(std::wstring(longVersion.begin(), longVersion.end()), entries.back().second);
    std::remove(file.c_str());
}

TEST_F(XmlReaderTest, ReaderWorksOnAThreadOfItsOwn)
{
    CStatus status;
    std::wstring value;
    std::thread([&] {
        VLibThreadLogQueue::Global().RegisterThread();
        ThreadLogScope scope;
        CComApartment apartment;
        CXMLReader reader;
        if ((status = reader.LoadXmlFile(DataPath("catalogue.xml"), DataPath("catalogue.xsd"))).IsSuccess())
            status = reader.GetAttributeValue(L"ExchangeUpgeadeVersion", L"ADVersion", value);
    }).join();
    EXPECT_EQ(0u, status.GetCategory()) << std::hex << status.GetCode();
    EXPECT_EQ(L"1912766640", value);
}
} // namespace
