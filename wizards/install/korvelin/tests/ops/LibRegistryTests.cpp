// CLibRegistry against Wine's own registry and, for other computers, lab nodes.
#include "LibRegistry.h"

#include "L10nUtil.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "RegistryValues.h"
#include "UniqueResource.h"
#include "WizardTestEnvironment.h"
#include "StringIds.h"

#include <gtest/gtest.h>

namespace
{
using R = CLibRegistry;
using E = KvLab::Entry;
const HKEY kHKLM = HKEY_LOCAL_MACHINE;
constexpr wchar_t kNode[] = L"NODE2";
constexpr DWORD kDenied = ERROR_ACCESS_DENIED;

// Below the lab's key, which the lab scenario removes around every test; with
// a node: where the path lives in that node's registry.
std::wstring Path(const std::wstring& relative, const wchar_t* node = nullptr)
{
    const std::wstring path = L"SOFTWARE\\KorvelinLab\\LibRegistryTests\\" + relative;
    return node ? CLabScenario::NodeKeyPath(node, kHKLM, path) : path;
}

bool Exists(const std::wstring& relative, const wchar_t* node = nullptr)
{
    unique_hkey key;
    return ::RegOpenKeyExW(kHKLM, Path(relative, node).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
}

// A status as (category, code): Win32(0) is success.
std::pair<uint32_t, uint32_t> Result(const CStatus& status) { return {status.GetCategory(), status.GetCode()}; }
std::pair<uint32_t, uint32_t> Win32(uint32_t code) { return {code ? 2u : 0u, code}; }

// The out-parameters of every operation, and what a call changed in them ("" for nothing).
struct Out
{
    std::wstring text = L"was";
    DWORD number = 0xDEADBEEF;
    R::NameList names{L"was"};
    bool exists = true;

    std::wstring Changed() const
    {
        std::wstring shown = (text == L"was" ? L"" : text) + (number == 0xDEADBEEF ? L"" : std::to_wstring(number));
        for (size_t i = 1; i < names.size(); ++i)
            shown += (i > 1 ? L"|" : L"") + names[i];
        return exists ? shown : shown + L"no";
    }
};

// Each operation reads or writes "V" below the path or works on the key itself.
enum Op { kText, kNumber, kList, kEnumerate, kExists, kWrite, kReplicate, kDeleteValue, kDeleteKey };
CStatus Call(Op op, const wchar_t* computer, const std::wstring& path, Out& out)
{
    switch (op)
    {
    case kText: return R::ReadRegistryStringValue(computer, kHKLM, path, L"V", out.text);
    case kNumber: return R::ReadRegistryDWORDValue(computer, kHKLM, path, L"V", out.number);
    case kList: return R::ReadRegistryMultiStringValue(computer, kHKLM, path, L"V", out.names);
    case kEnumerate: return R::EnumerateKeys(computer, kHKLM, path, out.names);
    case kExists: return R::RegKeyExists(computer, kHKLM, path, out.exists);
    case kWrite: return R::SetRegistryStringValue(computer, kHKLM, path, L"V", L"x");
    case kReplicate: return R::ReplicateKeyAToA(nullptr, computer, kHKLM, path);
    case kDeleteValue: return R::DeleteRegistryValue(computer, kHKLM, path, L"V");
    case kDeleteKey: return R::DeleteRegistryKey(computer, kHKLM, path);
    }
    return CStatus::Success();
}

// The registry calls the lab fails: every one from the call-th from the start of the operation.
struct Fault { E entry = E::Count; uint32_t call = 0; DWORD error = kDenied; };

struct Case
{
    const char* name;
    Op op;
    uint32_t code; // category 2 when not 0
    std::wstring changed;
    Fault fault;
    CRegValue value = {}; // of "V" below the key; REG_NONE: the "V" of every key below "Key", the multi-string "a"
    const wchar_t* computer = nullptr;
    const wchar_t* key = L"Key";
    std::vector<std::string> lines = {};
};

// A log line: level, message tag and text, then where it was written.
#define KV_LINE(level, tag, text, function) "QLX " level " " tag text "\r\n\t./LibRegistry:" function "["

struct LibRegistryTest : ::testing::TestWithParam<Case>
{
    void SetUp() override { ASSERT_TRUE(_lab.AddNode(kNode)); }
    CLabScenario _lab;
    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"L10nTest", 0x0409)};
};

// A failure leaves the out-parameters alone and creates no missing key.
TEST_P(LibRegistryTest, GivesTheStatusAndTheOutParameter)
{
    const Case& test = GetParam();
    for (const wchar_t* key : {L"Key", L"Key\\Beta", L"Key\\Alpha\\Inner"})
        ASSERT_EQ(ERROR_SUCCESS, PutRegValue(Path(key), L"V", {REG_MULTI_SZ, RegText(std::wstring(L"a\0", 2))}));
    ASSERT_TRUE(test.value.type == REG_NONE || PutRegValue(Path(test.key, test.computer), L"V", test.value) == ERROR_SUCCESS);
    const CLogTail log;
    KvLab::FailFromCall(test.fault.entry, test.fault.call, test.fault.error);
    Out out;
    EXPECT_EQ(Win32(test.code), Result(Call(test.op, test.computer, Path(test.key), out)));
    EXPECT_EQ(test.changed, out.Changed());
    EXPECT_FALSE(Exists(L"Missing", test.computer));
    for (const std::string& line : test.lines)
        EXPECT_TRUE(log.Has(line)) << line << "\nnot in:\n" << log.Text();
}

const std::wstring k260(260, L'y');

INSTANTIATE_TEST_SUITE_P(Calls, LibRegistryTest, ::testing::Values(
    Case{"TextOf260Characters", kText, ERROR_MORE_DATA, L"", {}, {REG_SZ, RegText(k260)}},
    // Data that fills the buffer without a terminator must not run past it.
    Case{"UnterminatedFullBuffer", kText, 0, k260, {}, {REG_BINARY, RegText(k260, false)}},
    Case{"NumberOfTwoBytes", kNumber, 0, L"4660", {}, {REG_BINARY, {0x34, 0x12}}},
    Case{"NumberOnALabNode", kNumber, 0, L"263", {}, {REG_DWORD, {0x07, 0x01, 0, 0}}, kNode, L"NodeKey"},
    Case{"StringsUpToAnEmptyOne", kList, 0, L"alpha|b", {}, {REG_MULTI_SZ, RegText({L"alpha\0b\0\0c", 10})}},
    Case{"MissingTerminators", kList, 0, L"ab", {}, {REG_MULTI_SZ, RegText(L"ab", false)}},
    Case{"Absent", kExists, 0, L"no", {}, {}, nullptr, L"Missing"},
    Case{"ComputerTheLabCannotReach", kExists, ERROR_BAD_NETPATH, L"no", {}, {}, L"NOWHERE"},
    // Each registry call that fails ends its operation with its error and names its subject at debug level.
    Case{"ConnectionFault", kNumber, kDenied, L"", {E::RegConnectRegistryW, 1}, {}, kNode, L"Key",
         {KV_LINE("DBG_1", "M-42-13-0 ", "NODE2", "CLibRegistry::ReadRegistryDWORDValue")}},
    Case{"OpenFault", kText, kDenied, L"", {E::RegOpenKeyExW, 1}},
    Case{"ListSizeFault", kList, kDenied, L"", {E::RegQueryValueExW, 1}},
    Case{"ListDataFault", kList, ERROR_MORE_DATA, L"", {E::RegQueryValueExW, 2, ERROR_MORE_DATA}},
    // Names enumerated before the failure stay.
    Case{"EnumerationFault", kEnumerate, kDenied, L"Alpha", {E::RegEnumKeyExW, 2}},
    // The creation's connection, the second, fails: the writer logs the open's error, returns the creation's.
    Case{"KeyCreationConnectFault", kWrite, ERROR_BAD_NETPATH, L"", {E::RegConnectRegistryW, 2, ERROR_BAD_NETPATH},
         {}, kNode, L"Missing",
         {KV_LINE("ERROR", KV_MESSAGE_TAG(IDS_LOG_WIN32_FAILED), "CreateRegistryKey failed with Windows error 2.",
                  "CLibRegistry::SetRegistryStringValue")}},
    Case{"KeyCreationFault", kWrite, kDenied, L"", {E::RegCreateKeyExW, 1}, {}, nullptr, L"Missing"},
    Case{"WriteReopenFault", kWrite, kDenied, L"", {E::RegOpenKeyExW, 1}},
    Case{"WriteFault", kWrite, kDenied, L"", {E::RegSetValueExW, 1}},
    Case{"DeleteValueOpenFault", kDeleteValue, kDenied, L"", {E::RegCreateKeyExW, 1}},
    Case{"DeleteValueFault", kDeleteValue, kDenied, L"", {E::RegDeleteValueW, 1}},
    Case{"DeleteKeyFault", kDeleteKey, kDenied, L"", {E::RegDeleteTreeW, 1}},
    // The replication logs under names of its own; a failing child is logged by its parent too.
    Case{"ReplicateMissing", kReplicate, ERROR_FILE_NOT_FOUND, L"", {}, {}, kNode, L"Missing"},
    Case{"ReplicateToUnreachable", kReplicate, ERROR_BAD_NETPATH, L"", {}, {}, L"NOWHERE"},
    Case{"ReplicaCreationFault", kReplicate, kDenied, L"", {E::RegCreateKeyExW, 1}, {}, kNode},
    Case{"ReplicaValueFault", kReplicate, kDenied, L"", {E::RegSetValueExW, 1}, {}, kNode},
    Case{"ReplicaChildFault", kReplicate, kDenied, L"", {E::RegOpenKeyExW, 2}, {}, kNode, L"Key",
         {KV_LINE("ERROR", KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED),
                  "CLibRegistry::ReplicateKeyAToA(2) failed: category 2, code 5.", "LibRegistry::ReplicateKeyAToA(2)")}}),
    [](const auto& info) { return std::string(info.param.name); });

// The number writer is checked by the configuration key's tests.
TEST_F(LibRegistryTest, ChangesBelowAMissingKeyCreateItButKeysGoOnlyWithTheirTree)
{
    EXPECT_EQ(Win32(0), Result(R::SetRegistryStringValue(nullptr, kHKLM, Path(L"A\\B"), L"V", L"Kv text")));
    EXPECT_EQ(RegText(L"Kv text"), GetRegValue(Path(L"A\\B"), L"V", RRF_RT_REG_SZ).data);
    // Deleting a value opens its key by creating it, so the key stays behind.
    EXPECT_EQ(Win32(ERROR_FILE_NOT_FOUND), Result(R::DeleteRegistryValue(nullptr, kHKLM, Path(L"E"), L"V")));
    EXPECT_TRUE(Exists(L"E"));
    // Deleting keys on a lab node, so a fault here cannot cost the real registry anything.
    ASSERT_EQ(ERROR_SUCCESS, PutRegValue(Path(L"Tree\\Child", kNode), L"V", {REG_SZ, RegText(L"x")}));
    EXPECT_EQ(Win32(ERROR_INVALID_PARAMETER), Result(R::DeleteRegistryKey(kNode, kHKLM, L"")));
    EXPECT_TRUE(Exists(L"Tree\\Child", kNode));
    EXPECT_EQ(Win32(0), Result(R::DeleteRegistryKey(kNode, kHKLM, Path(L"Tree"))));
    EXPECT_FALSE(Exists(L"Tree", kNode));
}

TEST_F(LibRegistryTest, ReplicationCopiesValuesUpToOneThatDoesNotFitThenEverySubkeyAndDeletesNothing)
{
    ASSERT_EQ(ERROR_SUCCESS, PutRegValue(Path(L"Src\\NodeOnly", kNode), L"Extra", {REG_SZ, RegText(L"node")}));
    // Values enumerate by name here and in creation order on Windows: A2 comes first either way.
    const std::tuple<const wchar_t*, const wchar_t*, CRegValue, bool> values[] = {
        {L"Src", L"A2", {REG_BINARY, std::vector<BYTE>(200, 0xCD)}, true},
        {L"Src", L"B1", {REG_BINARY, std::vector<BYTE>(201, 0xAB)}, false},
        {L"Src", L"C1", {REG_SZ, RegText(L"behind the big one")}, false},
        {L"Src\\Child\\Grandchild", L"Deep", {REG_SZ, RegText(L"deep")}, true}};
    for (const auto& [key, name, value, copied] : values)
        ASSERT_EQ(ERROR_SUCCESS, PutRegValue(Path(key), name, value));
    EXPECT_EQ(Win32(0), Result(R::ReplicateKeyAToA(nullptr, kNode, kHKLM, Path(L"Src"))));
    for (const auto& [key, name, value, copied] : values)
        EXPECT_EQ(copied ? value.data : std::vector<BYTE>(), GetRegValue(Path(key, kNode), name, 1u << value.type).data)
            << name;
    EXPECT_EQ(RegText(L"node"), GetRegValue(Path(L"Src\\NodeOnly", kNode), L"Extra").data);
}
} // namespace
