// CXMLReader against Wine's MSXML 6, with catalogue documents of our own.
#include "LibXMLReader.h"
#include "support/RecordingLogOutput.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace
{
constexpr DWORD kNoApartment = ~0u;

// One COM apartment for the thread that makes it.
struct CComApartment
{
    explicit CComApartment(DWORD model) noexcept : hr(model == kNoApartment ? E_FAIL : ::CoInitializeEx(nullptr, model))
    {
    }
    ~CComApartment()
    {
        if (SUCCEEDED(hr))
            ::CoUninitialize();
    }
    const HRESULT hr;
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

    CComApartment _com{COINIT_APARTMENTTHREADED};
    VLibThreadLogQueue& _queue = VLibThreadLogQueue::Global();
    VLibLogImpl* _previous = nullptr;
    CRecordingOutput _output;
};

// One document of the data folder, loaded with or without the catalogue's schema.
struct DocumentCase
{
    const char* file;
    bool withSchema;
};

std::string CaseName(const ::testing::TestParamInfo<DocumentCase>& info)
{
    std::string name = info.param.file;
    for (char& c : name)
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name + (info.param.withSchema ? "_schema" : "");
}

class XmlReaderDocumentTest : public XmlReaderTest, public ::testing::WithParamInterface<DocumentCase>
{
protected:
    CStatus Load(CXMLReader& reader)
    {
        return reader.LoadXmlFile(_path, GetParam().withSchema ? DataPath("catalogue.xsd") : std::wstring());
    }
    std::vector<std::wstring> LoadLines(std::initializer_list<std::wstring> last)
    {
        std::vector<std::wstring> lines = {L"Entering CXMLReader::LoadXmlFile"};
        if (GetParam().withSchema)
            lines.push_back(L"Creating XML Schema Cache");
        lines.insert(lines.end(), last);
        return lines;
    }
    const std::wstring _path = DataPath(GetParam().file);
};

// The same catalogue in every encoding loads and reads alike.
class XmlReaderEncodingTest : public XmlReaderDocumentTest
{
};

TEST_P(XmlReaderEncodingTest, CatalogueReadsTheSame)
{
    CXMLReader reader;
    const CStatus loaded = Load(reader);
    ASSERT_EQ(0u, loaded.GetCategory()) << std::hex << loaded.GetCode();
    EXPECT_EQ(LoadLines({L"Validation Status: Validation succeeded for " + _path + L"\n"}),
              TakeMessages("CXMLReader::LoadXmlFile"));

    EXPECT_EQ((Entries{{L"6", L"1912636077"}, {L"7", L"1912701168"}}), ReadNonUpgraded(reader));
    std::wstring code, adVersion, stored;
    EXPECT_TRUE(reader.GetAttributeValue(L"ExchangeUpgeadeVersion", L"QLXVersion", code).IsSuccess());
    EXPECT_TRUE(reader.GetAttributeValue(L"ExchangeUpgeadeVersion", L"ADVersion", adVersion).IsSuccess());
    EXPECT_TRUE(reader.GetXmlFilePath(stored).IsSuccess());
    EXPECT_EQ(L"8", code);
    EXPECT_EQ(L"1912766640", adVersion);
    EXPECT_EQ(_path, stored);
}

INSTANTIATE_TEST_SUITE_P(Encodings, XmlReaderEncodingTest,
                         ::testing::Values(DocumentCase{"catalogue.xml", false}, DocumentCase{"catalogue.xml", true},
                                           DocumentCase{"bom-utf8.xml", false}, DocumentCase{"bom-utf8.xml", true},
                                           DocumentCase{"utf16.xml", false}, DocumentCase{"utf16.xml", true}),
                         CaseName);

// Every document that cannot be loaded, or fails its schema, is 50/302 with the parser's account.
class XmlReaderLoadFailureTest : public XmlReaderDocumentTest
{
};

TEST_P(XmlReaderLoadFailureTest, GivesLoadFailedWithTheValidationText)
{
    CXMLReader reader;
    const CStatus status = Load(reader);
    EXPECT_EQ(50u, status.GetCategory());
    EXPECT_EQ(302u, status.GetCode());

    std::vector<std::wstring> lines = TakeMessages("CXMLReader::LoadXmlFile");
    ASSERT_FALSE(lines.empty());
    // Wine's parser gives its own reason, source and line: only their frame is ours.
    const std::wstring text = lines.back();
    const std::wstring head = L"Validation Status: Validation failed on " + _path + L"\nReason: ";
    EXPECT_EQ(head, text.substr(0, head.size()));
    EXPECT_NE(std::wstring::npos, text.find(L"\nLine: ", text.find(L"\nSource: ", head.size())));
    EXPECT_EQ(L'\n', text.back());
    lines.back() = L"(validation text)";
    EXPECT_EQ(
        LoadLines({L"MSXML2::IXMLDOMDocument::Load() Failed Loading XML file. Return value = 0", L"(validation text)"}),
        lines);
}

INSTANTIATE_TEST_SUITE_P(Documents, XmlReaderLoadFailureTest,
                         ::testing::Values(DocumentCase{"malformed.xml", false}, DocumentCase{"malformed.xml", true},
                                           DocumentCase{"does-not-exist.xml", false},
                                           DocumentCase{"non-numeric.xml", true},
                                           DocumentCase{"wrong-names.xml", true}),
                         CaseName);

// Each refused call on the loaded catalogue: its code, the queue's lines, its out-parameter left alone.
struct RefusalCase
{
    const char* name;
    CStatus (*call)(CXMLReader& reader, std::wstring& value);
    uint32_t code;
    std::vector<std::wstring> messages;
};

CXMLReader::NodePtr NthNode(CXMLReader& reader, const wchar_t* tagName, int index)
{
    CXMLReader::NodeListPtr list;
    CXMLReader::NodePtr node;
    if (tagName ? reader.GetFirstElement(tagName, list, node).IsFailed()
                : reader.GetChildNodeList(list, nullptr).IsFailed())
        return nullptr;
    for (int i = tagName ? 1 : 0; i <= index; ++i)
        if (reader.GetNextElement(list, node).IsFailed())
            return nullptr;
    return node;
}

const std::wstring kNoNamedItem =
    L"\nError! MSXML2::IXMLDOMNamedNodeMap::getNamedItem() Failed.\n\tm_XmlNamedItem POINTING TO NULL";

const RefusalCase kRefusals[] = {
    {"AttributeMissingOnTheNode",
     [](CXMLReader& r, std::wstring& v) {
         return r.GetAttributeValueForNode(NthNode(r, L"ExchangeUpgeadeVersion", 0), L"ExchADVersion", v);
     },
     308,
     {kNoNamedItem}},
    {"NoElementCarriesTheAttribute",
     [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValue(L"ExchangeUpgeadeVersion", L"ExchADVersion", v); },
     308,
     {kNoNamedItem, L"\nError! MSXML2::IXMLDOMNodeList::nextNode() Failed.\n\tAttribute ExchADVersion Not Found"}},
    {"TagDoesNotOccur",
     [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValue(L"ExchangeUpgradeVersion", L"QLXVersion", v); },
     308,
     {L"\nError! MSXML2::IXMLDOMNodeList::nextNode() Failed.\n\tAttribute QLXVersion Not Found"}},
    {"CommentHasNoAttributeMap",
     [](CXMLReader& r, std::wstring& v) {
         return r.GetAttributeValueForNode(NthNode(r, nullptr, 1), L"QLXVersion", v);
     },
     307,
     {L"\nError! MSXML2::IXMLDOMNode::get_attributes() ; Failed.\n\t m_XmlAttributeMap POINTING TO NULL"}},
    {"NullNode",
     [](CXMLReader& r, std::wstring& v) { return r.GetAttributeValueForNode(nullptr, L"QLXVersion", v); },
     311,
     {L"\nError! CXMLReader::GetAttributeValueForNode() Failed.\n\tNODE POINTING TO NULL"}},
    {"NullList",
     [](CXMLReader& r, std::wstring&) {
         CXMLReader::NodePtr node = NthNode(r, L"Version", 0);
         const CStatus status = r.GetNextElement(nullptr, node);
         EXPECT_NE(nullptr, node.Get());
         return status;
     },
     311,
     {L"CXMLReader::GetNextElement() ; Failed. NODELIST POINTING TO NULL"}},
};

class XmlReaderRefusalTest : public XmlReaderTest, public ::testing::WithParamInterface<RefusalCase>
{
};

TEST_P(XmlReaderRefusalTest, GivesItsCodeAndTrace)
{
    CXMLReader reader;
    ASSERT_TRUE(reader.LoadXmlFile(DataPath("catalogue.xml"), L"").IsSuccess());
    TakeMessages();
    std::wstring value = L"unchanged";
    const CStatus status = GetParam().call(reader, value);
    EXPECT_EQ(50u, status.GetCategory());
    EXPECT_EQ(GetParam().code, status.GetCode());
    EXPECT_EQ(L"unchanged", value);
    EXPECT_EQ(GetParam().messages, TakeMessages());
}

INSTANTIATE_TEST_SUITE_P(Calls, XmlReaderRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST_F(XmlReaderTest, TagThatDoesNotOccurGivesEmptyListAndNullNode)
{
    CXMLReader reader;
    ASSERT_TRUE(reader.LoadXmlFile(DataPath("wrong-names.xml"), L"").IsSuccess());
    CXMLReader::NodeListPtr list;
    CXMLReader::NodePtr node;
    long length = -1;
    ASSERT_TRUE(reader.GetFirstElement(L"ExchangeNonUpgradedVersion", list, node).IsSuccess());
    ASSERT_TRUE(reader.GetLength(list, length).IsSuccess());
    EXPECT_EQ(nullptr, node.Get());
    EXPECT_EQ(0, length);
}

TEST_F(XmlReaderTest, ChildListOfTheDocumentHoldsItsTopLevelNodes)
{
    CXMLReader reader;
    ASSERT_TRUE(reader.LoadXmlFile(DataPath("catalogue.xml"), L"").IsSuccess());
    std::vector<std::wstring> names;
    for (int i = 0; i < 4; ++i)
    {
        unique_bstr name;
        if (reader.GetNodeName(NthNode(reader, nullptr, i), name).IsSuccess())
            names.emplace_back(name.get(), ::SysStringLen(name.get()));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"xml", L"#comment", L"ExchangeVersions"}), names);
}

TEST_F(XmlReaderTest, WithoutADocumentQueriesAreNullPointerComFailures)
{
    CXMLReader reader;
    CXMLReader::NodeListPtr list;
    CXMLReader::NodePtr node;
    std::wstring value;
    for (const CStatus& status :
         {reader.GetFirstElement(L"Version", list, node), reader.GetChildNodeList(list, nullptr),
          reader.GetAttributeValue(L"Version", L"ExchADVersion", value)})
    {
        EXPECT_EQ(4u, status.GetCategory());
        EXPECT_EQ(static_cast<uint32_t>(E_POINTER), status.GetCode());
    }
    // The description after it is the system's text for the code: not compared.
    const std::wstring head = L"\nFailure. Caught an exception in CXMLReader::GetFirstElement(). \tCode = -2147467261 ";
    const std::vector<std::wstring> lines = TakeMessages();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(head, lines[0].substr(0, head.size()));
}

TEST_F(XmlReaderTest, BadValuesComeBackAsWritten)
{
    CXMLReader reader;
    ASSERT_TRUE(reader.LoadXmlFile(DataPath("non-numeric.xml"), L"").IsSuccess());
    EXPECT_EQ((Entries{{L"six", L"1912636077"}, {L" 7 ", L""}}), ReadNonUpgraded(reader));
    std::wstring code;
    ASSERT_TRUE(reader.GetAttributeValue(L"ExchangeUpgeadeVersion", L"QLXVersion", code).IsSuccess());
    EXPECT_EQ(L"0x8", code);
}

TEST_F(XmlReaderTest, LargeCatalogueLoadsWholeAndTruncatedOneFails)
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
    const std::string folder = ::testing::TempDir();
    std::ofstream(folder + "kv-large.xml", std::ios::binary) << content;
    std::ofstream(folder + "kv-cut.xml", std::ios::binary) << content.substr(0, content.size() / 2);

    CXMLReader reader;
    const std::wstring wideFolder(folder.begin(), folder.end());
    ASSERT_TRUE(reader.LoadXmlFile(wideFolder + L"kv-large.xml", DataPath("catalogue.xsd")).IsSuccess());
    const Entries entries = ReadNonUpgraded(reader);
    ASSERT_EQ(static_cast<size_t>(kEntries), entries.size());
    EXPECT_EQ(std::make_pair(std::wstring(L"1"), std::wstring(L"1912636078")), entries[1]);
    EXPECT_EQ(std::wstring(longVersion.begin(), longVersion.end()), entries.back().second);
    EXPECT_EQ(302u, reader.LoadXmlFile(wideFolder + L"kv-cut.xml", L"").GetCode());
    std::remove((folder + "kv-large.xml").c_str());
    std::remove((folder + "kv-cut.xml").c_str());
}

// Runs body on a thread of its own, with the given apartment and a queue list.
template <typename Body>
void OnOwnThread(DWORD model, Body body)
{
    std::thread([&] {
        VLibThreadLogQueue::Global().RegisterThread();
        ThreadLogScope scope;
        CComApartment apartment(model);
        body();
    }).join();
}

TEST_F(XmlReaderTest, ReaderWorksOnAThreadOfItsOwn)
{
    CStatus status;
    std::wstring value;
    OnOwnThread(COINIT_APARTMENTTHREADED, [&] {
        CXMLReader reader;
        status = reader.LoadXmlFile(DataPath("catalogue.xml"), DataPath("catalogue.xsd"));
        if (status.IsSuccess())
            status = reader.GetAttributeValue(L"ExchangeUpgeadeVersion", L"ADVersion", value);
    });
    EXPECT_EQ(0u, status.GetCategory()) << std::hex << status.GetCode();
    EXPECT_EQ(L"1912766640", value);
}

TEST_F(XmlReaderTest, MultithreadedApartmentIsRefused)
{
    CStatus status;
    size_t records = 0;
    OnOwnThread(COINIT_MULTITHREADED, [&] {
        CXMLReader reader;
        status = reader.LoadXmlFile(DataPath("catalogue.xml"), L"");
        records = VLibThreadLogQueue::Global().CountForThisThread();
    });
    EXPECT_EQ(4u, status.GetCategory());
    EXPECT_EQ(0x80010106u, status.GetCode()); // RPC_E_CHANGED_MODE
    EXPECT_EQ(1u, records);
}

TEST_F(XmlReaderTest, LoadKeepsTheCallersComCountAndSetsUpComWhereThereIsNone)
{
    HRESULT again[2] = {E_FAIL, E_FAIL};
    for (const DWORD model : {DWORD(COINIT_APARTMENTTHREADED), kNoApartment})
        OnOwnThread(model, [&] {
            EXPECT_TRUE(CXMLReader().LoadXmlFile(DataPath("catalogue.xml"), L"").IsSuccess());
            // With the caller's apartment gone, S_OK shows that the reader added no count of its own.
            if (model != kNoApartment)
                ::CoUninitialize();
            again[model == kNoApartment] = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            // The apartment owner undoes its own count; the reader's and ours are undone here.
            for (int i = model == kNoApartment ? 2 : 0; i > 0; --i)
                ::CoUninitialize();
        });
    EXPECT_EQ(S_OK, again[0]);
    EXPECT_EQ(S_FALSE, again[1]) << "the reader leaves the apartment it made";
}
} // namespace
