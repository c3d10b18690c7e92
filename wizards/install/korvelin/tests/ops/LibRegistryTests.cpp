// CLibRegistry against Wine's own registry and, for other computers, lab nodes.
#include "LibRegistry.h"

#include "L10nUtil.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "UniqueResource.h"
#include "WizardTestEnvironment.h"
#include "StringIds.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
const HKEY kHKLM = HKEY_LOCAL_MACHINE;
constexpr wchar_t kNode[] = L"NODE2";
const auto kCaseName = [](const auto& info) { return std::string(info.param.name); };

// Below the lab's key, which the lab scenario removes around every test; with
// a node: where the path lives in that node's registry.
std::wstring Path(const std::wstring& relative, const wchar_t* node = nullptr)
{
    const std::wstring path = L"SOFTWARE\\KorvelinLab\\LibRegistryTests\\" + relative;
    return node ? CLabScenario::NodeKeyPath(node, kHKLM, path) : path;
}

std::vector<BYTE> Text(const std::wstring& text, bool terminated = true)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

// Out-parameters start as "was" and are shown as text, lists joined by "|".
std::wstring Join(const CLibRegistry::NameList& names)
{
    std::wstring text;
    for (const std::wstring& name : names)
        text += (text.empty() ? L"" : L"|") + name;
    return text;
}

void ExpectStatus(const CStatus& status, uint32_t category, uint32_t code)
{
    EXPECT_EQ(category, status.GetCategory());
    EXPECT_EQ(code, status.GetCode());
}

// Each call reads or writes "V" below the path or works on the key itself,
// and shows what its out-parameter holds afterwards.
using Query = std::function<CStatus(const wchar_t* computer, const std::wstring& path, std::wstring& seen)>;

const Query kText = [](const wchar_t* computer, const std::wstring& path, std::wstring& seen) {
    seen = L"was";
    return CLibRegistry::ReadRegistryStringValue(computer, kHKLM, path, L"V", seen);
};
const Query kNumber = [](const wchar_t* computer, const std::wstring& path, std::wstring& seen) {
    DWORD value = 0xDEADBEEF;
    const CStatus status = CLibRegistry::ReadRegistryDWORDValue(computer, kHKLM, path, L"V", value);
    seen = std::to_wstring(value);
    return status;
};
const Query kList = [](const wchar_t* computer, const std::wstring& path, std::wstring& seen) {
    CLibRegistry::NameList list{L"was"};
    const CStatus status = CLibRegistry::ReadRegistryMultiStringValue(computer, kHKLM, path, L"V", list);
    seen = Join(list);
    return status;
};
const Query kEnumerate = [](const wchar_t* computer, const std::wstring& path, std::wstring& seen) {
    CLibRegistry::NameList names{L"was"};
    const CStatus status = CLibRegistry::EnumerateKeys(computer, kHKLM, path, names);
    seen = Join(names);
    return status;
};
const Query kExists = [](const wchar_t* computer, const std::wstring& path, std::wstring& seen) {
    bool exists = true;
    const CStatus status = CLibRegistry::RegKeyExists(computer, kHKLM, path, exists);
    seen = exists ? L"yes" : L"no";
    return status;
};
const Query kWrite = [](const wchar_t* computer, const std::wstring& path, std::wstring&) {
    return CLibRegistry::SetRegistryStringValue(computer, kHKLM, path, L"V", L"x");
};
const Query kReplicate = [](const wchar_t* computer, const std::wstring& path, std::wstring&) {
    return CLibRegistry::ReplicateKeyAToA(nullptr, computer, kHKLM, path);
};
const Query kDeleteValue = [](const wchar_t* computer, const std::wstring& path, std::wstring&) {
    return CLibRegistry::DeleteRegistryValue(computer, kHKLM, path, L"V");
};
const Query kDeleteKey = [](const wchar_t* computer, const std::wstring& path, std::wstring&) {
    return CLibRegistry::DeleteRegistryKey(computer, kHKLM, path);
};

// A registry call the lab fails: the call-th from the start of the query (and
// every one after it when every is set).
struct Fault
{
    KvLab::Entry entry = KvLab::Entry::Count;
    uint32_t call = 0;
    DWORD error = 0;
    bool every = false;
};

// The log lines of a failed call in an operation (the name it logs under,
// after "CLibRegistry::" unless it has a class of its own): the Windows-error line with the
// function and error, then the call's subject.
std::string Site(const std::string& operation)
{
    const char* owner = operation.find(':') == std::string::npos ? "CLibRegistry::" : "";
    return "\r\n\t./LibRegistry:" + (owner + operation) + "[";
}
std::string Failed(const char* function, DWORD error, const std::string& operation)
{
    return "QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_WIN32_FAILED) + std::string(function) + " failed with Windows error " +
           std::to_string(error) + "." + Site(operation);
}
std::string Subject(const char* subject, const std::string& operation)
{
    return "QLX DBG_1 M-42-13-0 " + std::string(subject) + Site(operation);
}
const std::string kReplicaStep = "LibRegistry::ReplicateKeyAToA(2)";
constexpr char kKeyPath[] = "SOFTWARE\\KorvelinLab\\LibRegistryTests\\Key";

struct QueryCase
{
    const char* name;
    Query query;
    DWORD type; // of "V"; REG_NONE: no value
    std::vector<BYTE> data;
    uint32_t code; // category 2 when not 0
    std::wstring seen;
    const wchar_t* computer = nullptr;
    const wchar_t* key = L"Key";
    Fault fault = {};
    std::vector<std::string> lines = {};
};

// Set-up and checks go straight to the registry, past the code under test.
class LibRegistryTest : public ::testing::TestWithParam<QueryCase>
{
protected:
    static void Put(const std::wstring& relative, const wchar_t* name, DWORD type, const std::vector<BYTE>& data,
                    const wchar_t* node = nullptr)
    {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(kHKLM, Path(relative, node).c_str(), name, type, data.data(),
                                                   static_cast<DWORD>(data.size())));
    }
    // The value's data, empty when it cannot be read as one of the types allowed.
    static std::vector<BYTE> Get(const std::wstring& relative, const wchar_t* name, const wchar_t* node = nullptr,
                                 DWORD types = RRF_RT_ANY)
    {
        std::vector<BYTE> data(1024);
        DWORD size = 1024;
        const std::wstring key = Path(relative, node);
        data.resize(::RegGetValueW(kHKLM, key.c_str(), name, types, nullptr, data.data(), &size) ? 0 : size);
        return data;
    }
    static bool Exists(const std::wstring& relative, const wchar_t* node = nullptr)
    {
        unique_hkey key;
        return ::RegOpenKeyExW(kHKLM, Path(relative, node).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    }

    CLabScenario _lab;
    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"L10nTest", 0x0409)};
};

// A failure leaves the out-parameter alone, creates no missing key and logs the
// Windows-error line with the line naming its subject.
TEST_P(LibRegistryTest, GivesTheStatusAndTheOutParameter)
{
    const QueryCase& test = GetParam();
    for (const wchar_t* key : {L"Key", L"Key\\Beta", L"Key\\Alpha\\Inner", L"Empty"})
        Put(key, L"Other", REG_SZ, Text(L"x"));
    ASSERT_TRUE(_lab.AddNode(kNode));
    Put(L"NodeKey\\Sub", L"V", REG_SZ, Text(L"x"), kNode);
    if (test.type != REG_NONE)
        Put(test.key, L"V", test.type, test.data, test.computer);
    const CLogTail log;
    if (test.fault.every)
        KvLab::FailFromCall(test.fault.entry, test.fault.call, test.fault.error);
    else
        KvLab::FailCall(test.fault.entry, test.fault.call, test.fault.error);
    std::wstring seen;
    ExpectStatus(test.query(test.computer, Path(test.key), seen), test.code ? 2 : 0, test.code);
    EXPECT_EQ(test.seen, seen);
    EXPECT_FALSE(Exists(L"None", test.computer));
    for (const std::string& line : test.lines)
        EXPECT_TRUE(log.Has(line)) << line << "\nnot in:\n" << log.Text();
}

INSTANTIATE_TEST_SUITE_P(
    Calls, LibRegistryTest,
    ::testing::Values(
        QueryCase{"TextOf260Characters", kText, REG_SZ, Text(std::wstring(260, L'x')), ERROR_MORE_DATA, L"was"},
        // Data that fills the buffer without a terminator must not run past it.
        QueryCase{"UnterminatedFullBuffer", kText, REG_BINARY, Text(std::wstring(260, L'y'), false), 0,
                  std::wstring(260, L'y')},
        QueryCase{"MissingText", kText, REG_NONE, {}, ERROR_FILE_NOT_FOUND, L"was"},
        QueryCase{"NumberOfTwoBytes", kNumber, REG_BINARY, {0x34, 0x12}, 0, L"4660"},
        QueryCase{"NumberOfEightBytes", kNumber, REG_QWORD, std::vector<BYTE>(8, 1), ERROR_MORE_DATA, L"3735928559"},
        QueryCase{"NumberOnALabNode", kNumber, REG_DWORD, {0x07, 0x01, 0, 0}, 0, L"263", kNode, L"NodeKey"},
        QueryCase{"OnlyTheDoubleNull", kList, REG_MULTI_SZ, {0, 0, 0, 0}, 0, L"was"},
        QueryCase{"TwoStrings", kList, REG_MULTI_SZ, Text(std::wstring(L"alpha\0b\0", 8)), 0, L"was|alpha|b"},
        QueryCase{"StopsAtAnEmptyString", kList, REG_MULTI_SZ, Text(std::wstring(L"a\0\0b\0", 5)), 0, L"was|a"},
        QueryCase{"MissingTerminators", kList, REG_MULTI_SZ, Text(L"ab", false), 0, L"was|ab"},
        QueryCase{"Subkeys", kEnumerate, REG_NONE, {}, 0, L"was|Alpha|Beta"},
        QueryCase{"NoSubkeys", kEnumerate, REG_NONE, {}, 0, L"was", nullptr, L"Empty"},
        QueryCase{"EnumerateMissing", kEnumerate, REG_NONE, {}, ERROR_FILE_NOT_FOUND, L"was", nullptr, L"None"},
        QueryCase{"EnumerateOnALabNode", kEnumerate, REG_NONE, {}, 0, L"was|Sub", L"\\\\NODE2", L"NodeKey"},
        QueryCase{"Absent", kExists, REG_NONE, {}, 0, L"no", nullptr, L"None"},
        QueryCase{"OnALabNode", kExists, REG_NONE, {}, 0, L"yes", kNode, L"NodeKey"},
        QueryCase{"ComputerTheLabCannotReach", kExists, REG_NONE, {}, ERROR_BAD_NETPATH, L"no", L"NOWHERE"},
        QueryCase{"ConnectionFault", kNumber, REG_NONE, {}, ERROR_ACCESS_DENIED, L"3735928559", kNode, L"None",
                  {KvLab::Entry::RegConnectRegistryW, 1, ERROR_ACCESS_DENIED},
                  {"QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_WIN32_FAILED) "RegConnectRegistry failed with Windows error 5.\r\n"
                   "\t./LibRegistry:CLibRegistry::ReadRegistryDWORDValue[",
                   "QLX DBG_1 M-42-13-0 NODE2\r\n\t./LibRegistry:CLibRegistry::ReadRegistryDWORDValue["}},
        // The writer's own connection works; the creation's, the second, does not.
        QueryCase{"KeyCreationFault", kWrite, REG_NONE, {}, ERROR_BAD_NETPATH, L"", kNode, L"None",
                  {KvLab::Entry::RegConnectRegistryW, 2, ERROR_BAD_NETPATH},
                  {"QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_WIN32_FAILED) "CreateRegistryKey failed with Windows error 2.\r\n"
                   "\t./LibRegistry:CLibRegistry::SetRegistryStringValue["}},
        QueryCase{"ReplicateMissing", kReplicate, REG_NONE, {}, ERROR_FILE_NOT_FOUND, L"", kNode, L"None", {},
                  {"QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_WIN32_FAILED) "RegOpenKey() failed with Windows error 2.\r\n"
                   "\t./LibRegistry:LibRegistry::ReplicateKeyAToA(2)[",
                   "QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) "CLibRegistry::ReplicateKeyAToA(2) failed: category 2, code 2.\r\n"
                   "\t./LibRegistry:CLibRegistry::ReplicateKeyAToA()["}},
        QueryCase{"ReplicateToUnreachable", kReplicate, REG_NONE, {}, ERROR_BAD_NETPATH, L"", L"NOWHERE", L"Key", {},
                  {"QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_WIN32_FAILED) "RegConnectRegistry() failed with Windows error 53.\r\n"
                   "\t./LibRegistry:CLibRegistry::ReplicateKeyAToA()["}},
        // Each registry call that fails ends its operation with its error and names its subject.
        QueryCase{"OpenFault", kText, REG_SZ, Text(L"x"), ERROR_ACCESS_DENIED, L"was", nullptr, L"Key",
                  {KvLab::Entry::RegOpenKeyExW, 1, ERROR_ACCESS_DENIED},
                  {Failed("RegOpenKeyEx", 5, "ReadRegistryStringValue"), Subject(kKeyPath, "ReadRegistryStringValue")}},
        QueryCase{"QueryFault", kNumber, REG_DWORD, {7, 0, 0, 0}, ERROR_ACCESS_DENIED, L"3735928559", nullptr, L"Key",
                  {KvLab::Entry::RegQueryValueExW, 1, ERROR_ACCESS_DENIED},
                  {Failed("RegQueryValueEx", 5, "ReadRegistryDWORDValue"), Subject("V", "ReadRegistryDWORDValue")}},
        QueryCase{"ListSizeFault", kList, REG_MULTI_SZ, Text(std::wstring(L"a\0", 2)), ERROR_ACCESS_DENIED, L"was",
                  nullptr, L"Key", {KvLab::Entry::RegQueryValueExW, 1, ERROR_ACCESS_DENIED},
                  {Failed("RegQueryValueEx", 5, "ReadRegistryMultiStringValue")}},
        QueryCase{"ListDataFault", kList, REG_MULTI_SZ, Text(std::wstring(L"a\0", 2)), ERROR_MORE_DATA, L"was",
                  nullptr, L"Key", {KvLab::Entry::RegQueryValueExW, 2, ERROR_MORE_DATA},
                  {Failed("RegQueryValueEx", 234, "ReadRegistryMultiStringValue")}},
        QueryCase{"EnumerationFault", kEnumerate, REG_NONE, {}, ERROR_ACCESS_DENIED, L"was|Alpha", nullptr, L"Key",
                  {KvLab::Entry::RegEnumKeyExW, 2, ERROR_ACCESS_DENIED},
                  {Failed("RegEnumKeyEx", 5, "EnumerateKeys"), Subject(kKeyPath, "EnumerateKeys")}},
        QueryCase{"ExistsOpenFault", kExists, REG_NONE, {}, 0, L"no", nullptr, L"Key",
                  {KvLab::Entry::RegOpenKeyExW, 1, ERROR_ACCESS_DENIED}},
        // The writer logs the open's error when the creation fails, and returns the creation's.
        QueryCase{"WriteCreationFault", kWrite, REG_NONE, {}, ERROR_ACCESS_DENIED, L"", nullptr, L"None",
                  {KvLab::Entry::RegCreateKeyExW, 1, ERROR_ACCESS_DENIED},
                  {Failed("RegCreateKeyEx", 5, "CreateRegistryKey"),
                   Failed("CreateRegistryKey", 2, "SetRegistryStringValue")}},
        QueryCase{"WriteReopenFault", kWrite, REG_NONE, {}, ERROR_ACCESS_DENIED, L"", nullptr, L"Key",
                  {KvLab::Entry::RegOpenKeyExW, 1, ERROR_ACCESS_DENIED, true},
                  {Failed("RegOpenKey", 5, "SetRegistryStringValue"), Subject(kKeyPath, "SetRegistryStringValue")}},
        QueryCase{"WriteFault", kWrite, REG_NONE, {}, ERROR_ACCESS_DENIED, L"", nullptr, L"Key",
                  {KvLab::Entry::RegSetValueExW, 1, ERROR_ACCESS_DENIED},
                  {Failed("RegSetValueEx", 5, "SetRegistryStringValue"), Subject("V", "SetRegistryStringValue")}},
        QueryCase{"DeleteValueOpenFault", kDeleteValue, REG_SZ, Text(L"x"), ERROR_ACCESS_DENIED, L"", nullptr, L"Key",
                  {KvLab::Entry::RegCreateKeyExW, 1, ERROR_ACCESS_DENIED},
                  {Failed("RegCreateKey", 5, "DeleteRegistryValue"), Subject(kKeyPath, "DeleteRegistryValue")}},
        QueryCase{"DeleteValueFault", kDeleteValue, REG_SZ, Text(L"x"), ERROR_ACCESS_DENIED, L"", nullptr, L"Key",
                  {KvLab::Entry::RegDeleteValueW, 1, ERROR_ACCESS_DENIED},
                  {Failed("RegDeleteValue", 5, "DeleteRegistryValue"), Subject("V", "DeleteRegistryValue")}},
        QueryCase{"DeleteKeyFault", kDeleteKey, REG_NONE, {}, ERROR_ACCESS_DENIED, L"", nullptr, L"Key",
                  {KvLab::Entry::RegDeleteTreeW, 1, ERROR_ACCESS_DENIED},
                  {Failed("SHDeleteKey", 5, "DeleteRegistryKey"), Subject(kKeyPath, "DeleteRegistryKey")}},
        QueryCase{"ReplicaCreationFault", kReplicate, REG_NONE, {}, ERROR_ACCESS_DENIED, L"", kNode, L"Key",
                  {KvLab::Entry::RegCreateKeyExW, 1, ERROR_ACCESS_DENIED},
                  {Failed("RegCreateKeyEx()", 5, kReplicaStep)}},
        QueryCase{"ReplicaValueFault", kReplicate, REG_NONE, {}, ERROR_ACCESS_DENIED, L"", kNode, L"Key",
                  {KvLab::Entry::RegSetValueExW, 1, ERROR_ACCESS_DENIED},
                  {Failed("RegSetValueEx", 5, kReplicaStep), Subject("Other", kReplicaStep)}},
        // A failing child is logged where it failed, by its parent and at the top.
        QueryCase{"ReplicaChildFault", kReplicate, REG_NONE, {}, ERROR_ACCESS_DENIED, L"", kNode, L"Key",
                  {KvLab::Entry::RegOpenKeyExW, 2, ERROR_ACCESS_DENIED},
                  {"QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) "CLibRegistry::ReplicateKeyAToA(2) failed: category 2, code 5.\r\n"
                   "\t./LibRegistry:LibRegistry::ReplicateKeyAToA(2)[",
                   "QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) "CLibRegistry::ReplicateKeyAToA(2) failed: category 2, code 5.\r\n"
                   "\t./LibRegistry:CLibRegistry::ReplicateKeyAToA()["}}),
    kCaseName);

TEST_F(LibRegistryTest, ChangesBelowAMissingKeyCreateItButKeysGoOnlyWithTheirTree)
{
    ExpectStatus(CLibRegistry::SetRegistryStringValue(nullptr, kHKLM, Path(L"A\\B"), L"V", L"Kv text"), 0, 0);
    ExpectStatus(CLibRegistry::SetRegistryDWORDValue(nullptr, kHKLM, Path(L"C\\D"), L"V", 0x0102A5A5), 0, 0);
    // Deleting a value opens its key by creating it, so the key stays behind.
    ExpectStatus(CLibRegistry::DeleteRegistryValue(nullptr, kHKLM, Path(L"None"), L"V"), 2, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Text(L"Kv text"), Get(L"A\\B", L"V", nullptr, RRF_RT_REG_SZ));
    EXPECT_EQ((std::vector<BYTE>{0xA5, 0xA5, 0x02, 0x01}), Get(L"C\\D", L"V", nullptr, RRF_RT_REG_DWORD));
    EXPECT_TRUE(Exists(L"None"));
    // Deleting keys on a lab node, so a fault here cannot cost the real registry anything.
    ASSERT_TRUE(_lab.AddNode(kNode));
    Put(L"Tree\\Child", L"V", REG_SZ, Text(L"x"), kNode);
    ExpectStatus(CLibRegistry::DeleteRegistryKey(kNode, kHKLM, L""), 2, ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(Exists(L"Tree\\Child", kNode));
    ExpectStatus(CLibRegistry::DeleteRegistryKey(kNode, kHKLM, Path(L"Tree")), 0, 0);
    EXPECT_FALSE(Exists(L"Tree", kNode));
}

TEST_F(LibRegistryTest, ReplicationCopiesValuesUpToOneThatDoesNotFitThenEverySubkeyAndDeletesNothing)
{
    ASSERT_TRUE(_lab.AddNode(kNode));
    Put(L"Src\\NodeOnly", L"Extra", REG_SZ, Text(L"only on the node"), kNode);
    // Values enumerate by name here and in creation order on Windows: A1 and A2 come first either way.
    const std::tuple<const wchar_t*, const wchar_t*, DWORD, std::vector<BYTE>, bool> values[] = {
        {L"Src", L"A1", REG_DWORD, {6, 0, 0, 0}, true},
        {L"Src", L"A2", REG_BINARY, std::vector<BYTE>(200, 0xCD), true},
        {L"Src", L"B1", REG_BINARY, std::vector<BYTE>(201, 0xAB), false},
        {L"Src", L"C1", REG_SZ, Text(L"behind the big one"), false},
        {L"Src\\Child\\Grandchild", L"Deep", REG_SZ, Text(L"deep"), true},
        {L"Src\\Other", L"V", REG_SZ, Text(L"other"), true}};
    for (const auto& [key, name, type, data, copied] : values)
        Put(key, name, type, data);
    ExpectStatus(CLibRegistry::ReplicateKeyAToA(nullptr, kNode, kHKLM, Path(L"Src")), 0, 0);
    for (const auto& [key, name, type, data, copied] : values)
        EXPECT_EQ(copied ? data : std::vector<BYTE>(), Get(key, name, kNode, 1u << type)) << name;
    EXPECT_EQ(Text(L"only on the node"), Get(L"Src\\NodeOnly", L"Extra", kNode));
}
} // namespace
