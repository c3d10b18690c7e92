// The node's rename in the lab's domain. (Its shutdown requests and the privileges looked up by the lab's
// name for this computer are read back by the reboot's tests.)
#include "EntryPoints.h"
#include "LabDirectory.h"
#include "LabScenario.h"

#include <gtest/gtest.h>

#include <lmerr.h>
#include <lmjoin.h>

#include <algorithm>
#include <cwchar>

namespace
{
constexpr wchar_t kComputers[] = L"CN=Computers,DC=lab,DC=test";

// The objects below the Computers container as "<name up to the container>/<cn> ", in name order.
std::wstring BelowComputers()
{
    std::vector<std::wstring> found;
    for (const auto& object : KvLab::Directory()->objects)
        if (KvLab::IsBelow(object.dn, kComputers))
            found.push_back(object.dn.substr(0, object.dn.size() - wcslen(kComputers) - 1) + L"/" + object.cn + L" ");
    std::sort(found.begin(), found.end());
    std::wstring text;
    for (const std::wstring& entry : found)
        text += entry;
    return text;
}

struct RenameCase
{
    const char* label;
    const wchar_t* server;
    const wchar_t* newName;
    DWORD options;
    NET_API_STATUS status;
    const wchar_t* pending;
    const wchar_t* computers; // BelowComputers() afterwards
};

class LabRenameTest : public ::testing::TestWithParam<RenameCase>
{
protected:
    CLabScenario _lab;
};

// NODE1 has a child object; NODE2 is a reachable lab node with an account of its own.
TEST_P(LabRenameTest, ChecksAsADomainDoesAndTheNewNameWaitsForTheNextStart)
{
    const RenameCase& c = GetParam();
    ASSERT_TRUE(_lab.SetLocalComputerName(L"NODE1") && _lab.AddNode(L"NODE2") &&
                _lab.SetDirectoryRoot(L"DC=lab,DC=test", L"CN=Configuration,DC=lab,DC=test",
                                      L"CN=Schema,CN=Configuration,DC=lab,DC=test") &&
                _lab.AddComputerAccount(L"NODE1") && _lab.AddComputerAccount(L"NODE2") &&
                _lab.AddDirectoryObject(std::wstring(L"CN=svc,CN=NODE1,") + kComputers, L"serviceConnectionPoint"));
    EXPECT_EQ(c.status, KvEntry().NetRenameMachineInDomain(c.server, c.newName, nullptr, nullptr, c.options));
    EXPECT_EQ(c.pending, CLabScenario::PendingComputerName());
    EXPECT_EQ(c.computers, BelowComputers());
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = ARRAYSIZE(name);
    ASSERT_TRUE(KvEntry().GetComputerNameW(name, &size));
    EXPECT_STREQ(L"NODE1", name);
}

constexpr DWORD kCreate = NETSETUP_ACCT_CREATE;
constexpr wchar_t kUnchanged[] = L"CN=NODE1/NODE1 CN=NODE2/NODE2 CN=svc,CN=NODE1/svc ";
INSTANTIATE_TEST_SUITE_P(Cases, LabRenameTest, ::testing::Values(
    RenameCase{"RenamesTheAccountWhereItStands", nullptr, L"EVS1", kCreate, NERR_Success, L"EVS1",
               L"CN=EVS1/EVS1 CN=NODE2/NODE2 CN=svc,CN=EVS1/svc "},
    RenameCase{"OwnNameInAnotherCase", L"\\\\node1", L"Node1", kCreate, NERR_Success, L"Node1",
               L"CN=NODE2/NODE2 CN=Node1/Node1 CN=svc,CN=Node1/svc "},
    RenameCase{"FifteenCharactersWithoutAccount", nullptr, L"ABCDEFGHIJKLMNO", 0, NERR_Success, L"ABCDEFGHIJKLMNO",
               kUnchanged},
    RenameCase{"AnotherAccountsName", nullptr, L"node2", kCreate, NERR_UserExists, L"", kUnchanged},
    RenameCase{"Colon", nullptr, L"EVS:1", kCreate, NERR_InvalidComputer, L"", kUnchanged},
    RenameCase{"QuotationMark", nullptr, L"EVS\"1", kCreate, NERR_InvalidComputer, L"", kUnchanged},
    RenameCase{"ControlCharacter", nullptr, L"EVS\t1", kCreate, NERR_InvalidComputer, L"", kUnchanged},
    RenameCase{"PeriodFirst", nullptr, L".EVS1", kCreate, NERR_InvalidComputer, L"", kUnchanged},
    RenameCase{"DigitsOnly", nullptr, L"2026", kCreate, NERR_InvalidComputer, L"", kUnchanged},
    RenameCase{"LabNode", L"NODE2", L"EVS1", kCreate, ERROR_NOT_SUPPORTED, L"", kUnchanged},
    RenameCase{"UnknownComputer", L"\\\\FARAWAY", L"EVS1", kCreate, ERROR_BAD_NETPATH, L"", kUnchanged}),
    [](const auto& info) { return std::string(info.param.label); });
} // namespace
