// CLibRegistry against Wine's own registry and, for other computers, lab nodes.
#include "LibRegistry.h"

#include "L10nUtil.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "UniqueResource.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

namespace
{
using Names = CLibRegistry::NameList;
const HKEY kHKLM = HKEY_LOCAL_MACHINE;
constexpr wchar_t kNode[] = L"NODE2";

std::vector<BYTE> Bytes(const void* data, size_t size)
{
    return std::vector<BYTE>(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
}

std::vector<BYTE> Text(const std::wstring& text, bool terminated = true)
{
    return Bytes(text.c_str(), (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

// Out-parameters start as "was" and are shown as text, lists joined by "|".
std::wstring Join(const Names& names)
{
    std::wstring text;
    for (const std::wstring& name : names)
        text += (text.empty() ? L"" : L"|") + name;
    return text;
}

// Set-up and checks go straight to the registry, past the code under test,
// below a key of this process's own.
class LibRegistryTest : public ::testing::Test
{
protected:
    LibRegistryTest() { Wipe(); }
    ~LibRegistryTest() override { Wipe(); }

    void Wipe() const
    {
        ::RegDeleteTreeW(kHKLM, _root.c_str());
        ::RegDeleteKeyW(kHKLM, _root.c_str());
    }
    // The path that the code under test is given.
    std::wstring Path(const std::wstring& relative) const { return _root + L"\\" + relative; }
    // Where that path lives in the real registry: locally or in a lab node's subtree.
    std::wstring Where(const std::wstring& relative, const wchar_t* node = nullptr) const
    {
        return node ? CLabScenario::NodeKeyPath(node, kHKLM, Path(relative)) : Path(relative);
    }
    void Put(const std::wstring& relative, const wchar_t* name, DWORD type, const std::vector<BYTE>& data,
             const wchar_t* node = nullptr) const
    {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(kHKLM, Where(relative, node).c_str(), name, type, data.data(),
                                                   static_cast<DWORD>(data.size())));
    }
    // The value's data, empty when it cannot be read as one of the types allowed.
    std::vector<BYTE> Get(const std::wstring& relative, const wchar_t* name, const wchar_t* node = nullptr,
                          DWORD types = RRF_RT_ANY) const
    {
        std::vector<BYTE> data(1024);
        DWORD size = static_cast<DWORD>(data.size());
        if (::RegGetValueW(kHKLM, Where(relative, node).c_str(), name, types | RRF_NOEXPAND, nullptr, data.data(),
                           &size) != ERROR_SUCCESS)
            size = 0;
        data.resize(size);
        return data;
    }
    bool Exists(const std::wstring& relative, const wchar_t* node = nullptr) const
    {
        unique_hkey key;
        return ::RegOpenKeyExW(kHKLM, Where(relative, node).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    }

    const std::wstring _root = L"SOFTWARE\\KvLibRegistryTests\\" + std::to_wstring(::GetCurrentProcessId());
    CLabScenario _lab;
    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"L10nTest", 0x0409)};
};

template <typename Case> class TableTest : public LibRegistryTest, public ::testing::WithParamInterface<Case>
{
};

struct CaseName
{
    template <typename Case> std::string operator()(const ::testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};

void ExpectStatus(const CStatus& status, uint32_t category, uint32_t code)
{
    EXPECT_EQ(category, status.GetCategory());
    EXPECT_EQ(code, status.GetCode());
}

// What the log gained since construction; after a rotation the start of it
// is in the previous generation, file B.

// --- Reading values ---

using Reader = std::function<CStatus(const std::wstring& path, std::wstring& seen)>;

const Reader kText = [](const std::wstring& path, std::wstring& seen) {
    seen = L"was";
    return CLibRegistry::ReadRegistryStringValue(nullptr, kHKLM, path, L"V", seen);
};
const Reader kNumber = [](const std::wstring& path, std::wstring& seen) {
    DWORD value = 0xDEADBEEF;
    const CStatus status = CLibRegistry::ReadRegistryDWORDValue(nullptr, kHKLM, path, L"V", value);
    seen = std::to_wstring(value);
    return status;
};
const Reader kList = [](const std::wstring& path, std::wstring& seen) {
    Names list{L"was"};
    const CStatus status = CLibRegistry::ReadRegistryMultiStringValue(nullptr, kHKLM, path, L"V", list);
    seen = Join(list);
    return status;
};

struct ValueCase
{
    const char* name;
    Reader read;
    DWORD type; // REG_NONE: no value
    std::vector<BYTE> data;
    uint32_t code; // category 2 when not 0
    std::wstring seen;
};

using ValueReadTest = TableTest<ValueCase>;

TEST_P(ValueReadTest, LeavesTheOutParameterAloneOnFailure)
{
    const ValueCase& test = GetParam();
    Put(L"Key", L"Other", REG_SZ, Text(L"x"));
    if (test.type != REG_NONE)
        Put(L"Key", L"V", test.type, test.data);
    std::wstring seen;
    ExpectStatus(test.read(Path(L"Key"), seen), test.code ? 2 : 0, test.code);
    EXPECT_EQ(test.seen, seen);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ValueReadTest,
    ::testing::Values(
        ValueCase{"TextOf259Characters", kText, REG_SZ, Text(std::wstring(259, L'x')), 0, std::wstring(259, L'x')},
        ValueCase{"TextOf260Characters", kText, REG_SZ, Text(std::wstring(260, L'x')), ERROR_MORE_DATA, L"was"},
        // Data that fills the buffer without a terminator must not run past it.
        ValueCase{"UnterminatedFullBuffer", kText, REG_BINARY, Text(std::wstring(260, L'y'), false), 0,
                  std::wstring(260, L'y')},
        ValueCase{"MissingText", kText, REG_NONE, {}, ERROR_FILE_NOT_FOUND, L"was"},
        ValueCase{"Number", kNumber, REG_DWORD, {0x07, 0x01, 0, 0}, 0, L"263"},
        ValueCase{"NumberOfTwoBytes", kNumber, REG_BINARY, {0x34, 0x12}, 0, L"4660"},
        ValueCase{"NumberOfEightBytes", kNumber, REG_QWORD, std::vector<BYTE>(8, 1), ERROR_MORE_DATA, L"3735928559"},
        ValueCase{"OnlyTheDoubleNull", kList, REG_MULTI_SZ, {0, 0, 0, 0}, 0, L"was"},
        ValueCase{"TwoStrings", kList, REG_MULTI_SZ, Text(std::wstring(L"alpha\0b\0", 8)), 0, L"was|alpha|b"},
        ValueCase{"StopsAtAnEmptyString", kList, REG_MULTI_SZ, Text(std::wstring(L"a\0\0b\0", 5)), 0, L"was|a"},
        ValueCase{"MissingTerminators", kList, REG_MULTI_SZ, Text(L"ab", false), 0, L"was|ab"}),
    CaseName());

// --- Keys ---

using KeyQuery = std::function<CStatus(const wchar_t* computer, const std::wstring& path, std::wstring& seen)>;

const KeyQuery kEnumerate = [](const wchar_t* computer, const std::wstring& path, std::wstring& seen) {
    Names names{L"was"};
    const CStatus status = CLibRegistry::EnumerateKeys(computer, kHKLM, path, names);
    seen = Join(names);
    return status;
};
const KeyQuery kExists = [](const wchar_t* computer, const std::wstring& path, std::wstring& seen) {
    bool exists = true;
    const CStatus status = CLibRegistry::RegKeyExists(computer, kHKLM, path, exists);
    seen = exists ? L"yes" : L"no";
    return status;
};

struct KeyCase
{
    const char* name;
    KeyQuery query;
    const wchar_t* computer;
    const wchar_t* key;
    uint32_t code;
    std::wstring seen;
};

using KeyQueryTest = TableTest<KeyCase>;

TEST_P(KeyQueryTest, SeesDirectSubkeysAndFailsOnlyForTheComputerOrAMissingKey)
{
    const KeyCase& test = GetParam();
    for (const wchar_t* key : {L"Key\\Beta", L"Key\\Alpha\\Inner", L"Empty"})
        Put(key, L"V", REG_SZ, Text(L"x"));
    ASSERT_TRUE(_lab.AddNode(kNode));
    Put(L"NodeKey\\Sub", L"V", REG_SZ, Text(L"x"), kNode);
    ASSERT_TRUE(_lab.AddNode(L"DOWN"));
    ASSERT_TRUE(_lab.SetUnreachable(L"DOWN", true));
    std::wstring seen;
    ExpectStatus(test.query(test.computer, Path(test.key), seen), test.code ? 2 : 0, test.code);
    EXPECT_EQ(test.seen, seen);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyQueryTest,
    ::testing::Values(KeyCase{"Subkeys", kEnumerate, nullptr, L"Key", 0, L"was|Alpha|Beta"},
                      KeyCase{"NoSubkeys", kEnumerate, nullptr, L"Empty", 0, L"was"},
                      KeyCase{"EnumerateMissing", kEnumerate, nullptr, L"None", ERROR_FILE_NOT_FOUND, L"was"},
                      KeyCase{"EnumerateOnALabNode", kEnumerate, L"\\\\NODE2", L"NodeKey", 0, L"was|Sub"},
                      KeyCase{"Present", kExists, nullptr, L"Key\\Alpha", 0, L"yes"},
                      KeyCase{"Absent", kExists, nullptr, L"None", 0, L"no"},
                      KeyCase{"OnALabNode", kExists, kNode, L"NodeKey", 0, L"yes"},
                      KeyCase{"LocalKeyNotOnTheNode", kExists, kNode, L"Key", 0, L"no"},
                      KeyCase{"UnreachableComputer", kExists, L"DOWN", L"Key", ERROR_BAD_NETPATH, L"no"}),
    CaseName());

// --- Writing and deleting ---

TEST_F(LibRegistryTest, WritersCreateAMissingPathWithTheValue)
{
    ExpectStatus(CLibRegistry::SetRegistryStringValue(nullptr, kHKLM, Path(L"A\\B"), L"V", L"Kv text"), 0, 0);
    ExpectStatus(CLibRegistry::SetRegistryDWORDValue(nullptr, kHKLM, Path(L"C\\D"), L"V", 0x0102A5A5), 0, 0);
    EXPECT_EQ(Text(L"Kv text"), Get(L"A\\B", L"V", nullptr, RRF_RT_REG_SZ));
    EXPECT_EQ((std::vector<BYTE>{0xA5, 0xA5, 0x02, 0x01}), Get(L"C\\D", L"V", nullptr, RRF_RT_REG_DWORD));
}

TEST_F(LibRegistryTest, DeletingAValueBelowAMissingKeyCreatesTheKeyAndFailsNotFound)
{
    ExpectStatus(CLibRegistry::DeleteRegistryValue(nullptr, kHKLM, Path(L"None"), L"V"), 2, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Exists(L"None"));
}

TEST_F(LibRegistryTest, DeletingAKeyTakesItsTreeButNeverTheWholeRoot)
{
    // On a lab node, so a fault here cannot cost the real registry anything.
    ASSERT_TRUE(_lab.AddNode(kNode));
    Put(L"Tree\\Child", L"V", REG_SZ, Text(L"x"), kNode);
    ExpectStatus(CLibRegistry::DeleteRegistryKey(kNode, kHKLM, L""), 2, ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(Exists(L"Tree\\Child", kNode));
    ExpectStatus(CLibRegistry::DeleteRegistryKey(kNode, kHKLM, Path(L"Tree")), 0, 0);
    EXPECT_FALSE(Exists(L"Tree", kNode));
}

// --- Failures and their log lines ---

TEST_F(LibRegistryTest, AFailedConnectionGivesItsErrorAndLogsTheFunctionAndTheComputer)
{
    ASSERT_TRUE(_lab.AddNode(kNode));
    const CLogTail log;
    KvLab::FailCall(KvLab::Entry::RegConnectRegistryW, 1, ERROR_ACCESS_DENIED);
    DWORD value = 7;
    ExpectStatus(CLibRegistry::ReadRegistryDWORDValue(kNode, kHKLM, Path(L"Key"), L"V", value), 2, ERROR_ACCESS_DENIED);
    EXPECT_EQ(7u, value);
    EXPECT_TRUE(log.Has("QLX ERROR M-42-13-10009 RegConnectRegistry failed with Windows error 5.\r\n"
                        "\t./LibRegistry:CLibRegistry::ReadRegistryDWORDValue["))
        << log.Text();
    EXPECT_TRUE(log.Has("QLX DBG_1 M-42-13-0 NODE2\r\n\t./LibRegistry:CLibRegistry::ReadRegistryDWORDValue["))
        << log.Text();
}

TEST_F(LibRegistryTest, AWriterWhoseKeyCannotBeCreatedReturnsTheCreationsFailure)
{
    ASSERT_TRUE(_lab.AddNode(kNode));
    const CLogTail log;
    // The writer's own connection works; the creation's, the second, does not.
    KvLab::FailCall(KvLab::Entry::RegConnectRegistryW, 2, ERROR_BAD_NETPATH);
    ExpectStatus(CLibRegistry::SetRegistryStringValue(kNode, kHKLM, Path(L"None"), L"V", L"x"), 2, ERROR_BAD_NETPATH);
    EXPECT_FALSE(Exists(L"None", kNode));
    EXPECT_TRUE(log.Has("QLX ERROR M-42-13-10009 CreateRegistryKey failed with Windows error 2.\r\n"
                        "\t./LibRegistry:CLibRegistry::SetRegistryStringValue["))
        << log.Text();
}

// --- Replication ---

TEST_F(LibRegistryTest, ReplicationCopiesValuesUpToOneThatDoesNotFitThenEverySubkeyAndDeletesNothing)
{
    ASSERT_TRUE(_lab.AddNode(kNode));
    // Values enumerate by name here and in creation order on Windows: A1 and A2 come first either way.
    Put(L"Src", L"A1", REG_DWORD, {6, 0, 0, 0});
    Put(L"Src", L"A2", REG_BINARY, std::vector<BYTE>(200, 0xCD));
    Put(L"Src", L"B1", REG_BINARY, std::vector<BYTE>(201, 0xAB));
    Put(L"Src", L"C1", REG_SZ, Text(L"behind the big one"));
    Put(L"Src\\Child\\Grandchild", L"Deep", REG_SZ, Text(L"deep"));
    Put(L"Src\\Other", L"V", REG_SZ, Text(L"other"));
    Put(L"Src\\NodeOnly", L"Extra", REG_SZ, Text(L"only on the node"), kNode);

    ExpectStatus(CLibRegistry::ReplicateKeyAToA(nullptr, kNode, kHKLM, Path(L"Src")), 0, 0);
    EXPECT_EQ((std::vector<BYTE>{6, 0, 0, 0}), Get(L"Src", L"A1", kNode, RRF_RT_REG_DWORD));
    EXPECT_EQ(std::vector<BYTE>(200, 0xCD), Get(L"Src", L"A2", kNode));
    EXPECT_TRUE(Get(L"Src", L"B1", kNode).empty());
    EXPECT_TRUE(Get(L"Src", L"C1", kNode).empty());
    EXPECT_EQ(Text(L"deep"), Get(L"Src\\Child\\Grandchild", L"Deep", kNode));
    EXPECT_EQ(Text(L"other"), Get(L"Src\\Other", L"V", kNode));
    EXPECT_EQ(Text(L"only on the node"), Get(L"Src\\NodeOnly", L"Extra", kNode));
}

TEST_F(LibRegistryTest, ReplicationFailuresCarryTheErrorAndAreLoggedUnderTheReplicationsNames)
{
    ASSERT_TRUE(_lab.AddNode(kNode));
    const CLogTail log;
    ExpectStatus(CLibRegistry::ReplicateKeyAToA(nullptr, kNode, kHKLM, Path(L"None")), 2, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(Exists(L"None", kNode));
    EXPECT_TRUE(log.Has("QLX ERROR M-42-13-10009 RegOpenKey() failed with Windows error 2.\r\n"
                        "\t./LibRegistry:LibRegistry::ReplicateKeyAToA(2)["))
        << log.Text();
    EXPECT_TRUE(log.Has("QLX ERROR M-42-13-10004 CLibRegistry::ReplicateKeyAToA(2) failed: category 2, code 2.\r\n"
                        "\t./LibRegistry:CLibRegistry::ReplicateKeyAToA()["))
        << log.Text();

    ASSERT_TRUE(_lab.SetUnreachable(kNode, true));
    ExpectStatus(CLibRegistry::ReplicateKeyAToA(nullptr, kNode, kHKLM, Path(L"Src")), 2, ERROR_BAD_NETPATH);
    EXPECT_TRUE(log.Has("QLX ERROR M-42-13-10009 RegConnectRegistry() failed with Windows error 53.\r\n"
                        "\t./LibRegistry:CLibRegistry::ReplicateKeyAToA()["))
        << log.Text();
}
} // namespace
