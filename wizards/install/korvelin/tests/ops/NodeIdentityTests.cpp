// The node's identity: its name, the system-name file, privileges, the
// user's SID and the directory computer account.
#include "Util.h"

#include "L10nUtil.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "StringIds.h"
#include "UniqueResource.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace
{
using E = KvLab::Entry;
std::pair<uint32_t, uint32_t> Result(const CStatus& status) { return {status.GetCategory(), status.GetCode()}; }

struct IdentityTest : ::testing::Test
{
    ~IdentityTest() override { ::SetEnvironmentVariableW(L"QLX_HOME", nullptr); }
    void ExpectLogged(const char* lines) const { EXPECT_TRUE(_log.HasLines(lines)) << lines << "\nnot in:\n" << _log.Untimed(); }

    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"Korvelin", 0x0409)};
    CLabScenario _lab;
    const CLogTail _log;
};

// The system-name file below QLX_HOME: its bytes, and the homes that cannot hold it.
struct SysnameTest : IdentityTest
{
    SysnameTest()
    {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        _home = std::wstring(temp) + L"KvSysname\u00C4\u4E2D"; // not ASCII, not even in one code page
        ::CreateDirectoryW(_home.c_str(), nullptr);
        ::CreateDirectoryW((_home + L"\\conf").c_str(), nullptr);
        ::DeleteFileW(File().c_str());
    }
    ~SysnameTest() override { ::DeleteFileW(File().c_str()); }
    std::wstring File() const { return _home + L"\\conf\\sysname"; }
    std::string Bytes() const
    {
        std::ifstream file(File().c_str(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    // The same folder, named by exactly `length` characters ("\." does not move).
    std::wstring HomeOfLength(size_t length) const
    {
        std::wstring home = _home;
        while (home.size() + 2 <= length)
            home += L"\\.";
        if (home.size() < length)
            home += L"\\";
        return home;
    }
    std::wstring _home;
};

TEST_F(SysnameTest, WritesTheNameOnceInTheThreadsCodePage)
{
    ::SetEnvironmentVariableW(L"QLX_HOME", _home.c_str());
    ASSERT_TRUE(CUtil::CreateSysnameFile(L"NODE\u00C91").IsSuccess());
    EXPECT_EQ("NODE\xC9" "1", Bytes()) << "no line end, one byte per character in code page 1252";
    ASSERT_TRUE(CUtil::CreateSysnameFile(L"EVS1").IsSuccess());
    EXPECT_EQ("NODE\xC9" "1", Bytes()) << "the first name stays";
    ExpectLogged(KV_LOG_LINE("INFO", IDS_LOG_SYSNAME_EXISTS, "The system-name file already exists and is left unchanged."));
}

TEST_F(SysnameTest, HomesThatCannotHoldTheFile)
{
    const auto attempt = [&](const wchar_t* home) {
        ::SetEnvironmentVariableW(L"QLX_HOME", home);
        return Result(CUtil::CreateSysnameFile(L"NODE1"));
    };
    EXPECT_EQ(std::pair(1u, 205u), attempt(nullptr));
    EXPECT_EQ(std::pair(1u, 205u), attempt(L""));
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_NO_HOME, "The QLX_HOME environment variable is not set or is too long."));
    EXPECT_EQ(std::pair(1u, 205u), attempt(HomeOfLength(4096).c_str()));
    EXPECT_EQ(std::pair(0u, 0u), attempt(HomeOfLength(4095).c_str()));
    EXPECT_EQ("NODE1", Bytes());
    ::DeleteFileW(File().c_str());
    EXPECT_EQ(std::pair(0u, 0u), attempt((_home + L"\\").c_str())) << "a trailing separator";
    EXPECT_EQ("NODE1", Bytes());
    ::DeleteFileW(File().c_str());
    EXPECT_EQ(std::pair(1u, 214u), attempt((File() + L"\\..\\..\\conf\\sysname").c_str())) << "a file, not a folder";
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_SYSNAME_FAILED, "The system-name file could not be created."));
}

TEST_F(IdentityTest, PrivilegesUnknownOrNotHeld)
{
    EXPECT_TRUE(CUtil::SetPrivilege(SE_SHUTDOWN_NAME, nullptr, nullptr, true).IsSuccess());
    EXPECT_EQ(std::pair(2u, 1313u), Result(CUtil::SetPrivilege(L"SeNoSuchPrivilege", nullptr, nullptr, true)));
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_WIN32_FAILED, "LookupPrivilegeValue failed with Windows error 1313."));
    // Wine's account holds every privilege: the lab says what Windows says for one it lacks.
    KvLab::FailCall(E::AdjustTokenPrivileges, 1, ERROR_NOT_ALL_ASSIGNED);
    EXPECT_EQ(std::pair(2u, 1300u), Result(CUtil::SetPrivilege(SE_SHUTDOWN_NAME, nullptr, nullptr, true)));
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_WIN32_FAILED, "AdjustTokenPrivileges failed with Windows error 1300."));
    // The process's token is opened once and kept.
    KvLab::FailCall(E::OpenProcessToken, 1, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(CUtil::SetPrivilege(SE_SHUTDOWN_NAME, nullptr, nullptr, false).IsSuccess());
}

// Whether the privilege is enabled in the process's token now.
bool IsEnabled(const wchar_t* privilege)
{
    LUID luid{};
    HANDLE token = nullptr;
    if (!::LookupPrivilegeValueW(nullptr, privilege, &luid) ||
        !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    const unique_handle owned(token);
    BYTE buffer[4096];
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenPrivileges, buffer, sizeof(buffer), &size))
        return false;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
        if (privileges->Privileges[i].Luid.LowPart == luid.LowPart &&
            privileges->Privileges[i].Luid.HighPart == luid.HighPart)
            return (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    return false;
}

// This computer by null or by its own name in any case, or another: the
// right privilege, and one immediate forced reboot asked for.
struct RebootCase
{
    const char* name;
    const wchar_t* target;
    const wchar_t* privilege;
};

struct RebootTest : IdentityTest, ::testing::WithParamInterface<RebootCase> {};

TEST_P(RebootTest, EnablesThePrivilegeAndAsksOnce)
{
    const RebootCase& c = GetParam();
    ASSERT_TRUE(_lab.SetLocalComputerName(L"NODE1") && _lab.AddNode(L"NODE2"));
    for (const wchar_t* privilege : {SE_SHUTDOWN_NAME, SE_REMOTE_SHUTDOWN_NAME})
        ASSERT_TRUE(CUtil::SetPrivilege(privilege, nullptr, nullptr, false).IsSuccess());
    ASSERT_TRUE(CUtil::RebootNode(c.target).IsSuccess());
    EXPECT_TRUE(IsEnabled(c.privilege));
    EXPECT_FALSE(IsEnabled(::lstrcmpW(c.privilege, SE_SHUTDOWN_NAME) ? SE_SHUTDOWN_NAME : SE_REMOTE_SHUTDOWN_NAME));
    const auto requests = CLabScenario::ShutdownRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(c.target ? c.target : L"", requests[0].target);
    EXPECT_EQ(0u, requests[0].timeout);
    EXPECT_TRUE(requests[0].force && requests[0].reboot);
}

INSTANTIATE_TEST_SUITE_P(Targets, RebootTest, ::testing::Values(
    RebootCase{"ThisComputer", nullptr, SE_SHUTDOWN_NAME},
    RebootCase{"OwnNameInOtherCase", L"node1", SE_SHUTDOWN_NAME},
    RebootCase{"AnotherComputer", L"NODE2", SE_REMOTE_SHUTDOWN_NAME}),
    [](const auto& info) { return std::string(info.param.name); });

// A failed removal of the new name's account does not stop the rename, but is
// its result; a failed rename is. (The whole rename is read by the task page's test.)
TEST_F(IdentityTest, TheRenameDecidesAndTheRemovalsRecordIsTheResult)
{
    ASSERT_TRUE(_lab.SetLocalComputerName(L"NODE1") &&
                _lab.SetDirectoryRoot(L"DC=lab,DC=test", L"CN=Configuration,DC=lab,DC=test",
                                      L"CN=Schema,CN=Configuration,DC=lab,DC=test") &&
                _lab.AddComputerAccount(L"NODE1"));
    std::wstring previous;
    KvLab::FailCall(E::ADsOpenObject, 1, ERROR_DS_SERVER_DOWN);
    EXPECT_EQ(std::pair(4u, 0x8007203Au), Result(CUtil::RenameNode(L"EVS1", previous))) << "the removal's failure";
    EXPECT_EQ(L"EVS1", CLabScenario::PendingComputerName()) << "yet the rename went on";
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "VLibADCompObject::Initialize() failed: category 4, code 2147950650."));

    KvLab::FailCall(E::NetRenameMachineInDomain, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(std::pair(2u, 5u), Result(CUtil::RenameNode(L"EVS2", previous)));
    EXPECT_EQ(L"EVS1", CLabScenario::PendingComputerName());
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_WIN32_FAILED, "NetRenameMachineInDomain failed with Windows error 5."));
}

// A missing account is no failure; an existing one leaves the lab domain.
TEST_F(IdentityTest, RemovesTheComputerAccountWhenThere)
{
    const std::wstring computers = L"CN=Computers,DC=lab,DC=test";
    ASSERT_TRUE(_lab.SetDirectoryRoot(L"DC=lab,DC=test", L"CN=Configuration,DC=lab,DC=test",
                                      L"CN=Schema,CN=Configuration,DC=lab,DC=test") &&
                _lab.AddDirectoryObject(computers, L"container") &&
                _lab.AddDirectoryObject(L"CN=EVS1," + computers, L"computer") &&
                _lab.AddDirectoryObject(L"CN=NODE1," + computers, L"computer"));
    EXPECT_TRUE(CUtil::RemoveComputerAccount(L"EVS2").IsSuccess());
    EXPECT_TRUE(CUtil::RemoveComputerAccount(L"evs1").IsSuccess());
    EXPECT_FALSE(CLabScenario::DirectoryObjectExists(L"CN=EVS1," + computers));
    EXPECT_TRUE(CLabScenario::DirectoryObjectExists(L"CN=NODE1," + computers));
    KvLab::FailCall(E::DirectoryDeleteObject, 1, ERROR_ACCESS_DENIED);
    KvLab::FailCall(E::DirectoryDelete, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(std::pair(4u, 0x80070005u), Result(CUtil::RemoveComputerAccount(L"NODE1")));
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED,
                             "VLibADCompObject::Delete failed: category 4, code 2147942405."));
}
} // namespace
