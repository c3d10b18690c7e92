// The lab's registry connections and its fault injection.
#include "EntryPoints.h"
#include "LabDirectory.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <activeds.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace
{
class EntryPointsLabTest : public ::testing::Test
{
protected:
    CLabScenario _lab;
};

LSTATUS Connect(const wchar_t* machine, unique_hkey& key, HKEY root = HKEY_LOCAL_MACHINE)
{
    return KvEntry().RegConnectRegistryW(machine, root, &key);
}
} // namespace

TEST_F(EntryPointsLabTest, LocalNamesOpenTheRealRegistry)
{
    ASSERT_TRUE(_lab.SetLocalComputerName(L"NODE1"));
    for (const wchar_t* name : {static_cast<const wchar_t*>(nullptr), L"", L"NODE1", L"node1", L"\\\\NODE1", L"localhost"})
    {
        unique_hkey root;
        ASSERT_EQ(ERROR_SUCCESS, Connect(name, root)) << (name ? "named" : "null");
        unique_hkey software;
        EXPECT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(root.get(), L"SOFTWARE\\Microsoft", 0, KEY_READ, &software));
    }
}

TEST_F(EntryPointsLabTest, LabNodeOpensItsOwnSubtree)
{
    ASSERT_TRUE(_lab.AddNode(L"NODE2"));
    unique_hkey root;
    ASSERT_EQ(ERROR_SUCCESS, Connect(L"\\\\NODE2", root));
    unique_hkey created;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(root.get(), L"SOFTWARE\\KvLabLeakCheck", 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, &created, nullptr));

    unique_hkey seen;
    EXPECT_EQ(ERROR_SUCCESS,
              ::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                              CLabScenario::NodeKeyPath(L"NODE2", HKEY_LOCAL_MACHINE, L"SOFTWARE\\KvLabLeakCheck").c_str(),
                              0, KEY_READ, &seen));
    unique_hkey real;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KvLabLeakCheck", 0, KEY_READ, &real))
        << "the node's registry must not leak into the local one";
}

TEST_F(EntryPointsLabTest, UnknownAndUnreachableNodesGiveBadNetPath)
{
    ASSERT_TRUE(_lab.AddNode(L"NODE3"));
    ASSERT_TRUE(_lab.SetUnreachable(L"NODE3", true));
    unique_hkey key;
    EXPECT_EQ(ERROR_BAD_NETPATH, Connect(L"NOSUCHNODE", key));
    EXPECT_EQ(ERROR_BAD_NETPATH, Connect(L"NODE3", key));
    EXPECT_FALSE(key.is_valid());
}

// Faults at calls 2 and 4, and from call 6 on: what six calls of each kind of entry give.
TEST_F(EntryPointsLabTest, FaultsFailTheirCallsInTheEntrysOwnTerms)
{
    const std::vector<std::pair<KvLab::Entry, std::function<std::string()>>> entries = {
        {KvLab::Entry::RegDeleteValueW,
         [] { return std::to_string(KvEntry().RegDeleteValueW(HKEY_CURRENT_USER, L"KvNoSuchValue")); }},
        {KvLab::Entry::ADsOpenObject,
         [] {
             void* object = nullptr;
             return std::to_string(KvEntry().ADsOpenObject(L"LDAP://rootDSE", nullptr, nullptr, 0, IID_IADs, &object));
         }},
        {KvLab::Entry::OpenSCManagerW,
         [] {
             ::SetLastError(0);
             unique_schandle scm(KvEntry().OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
             return scm ? std::string("open") : "null/" + std::to_string(::GetLastError());
         }},
        {KvLab::Entry::QueryServiceStatus, [] {
             ::SetLastError(0);
             SERVICE_STATUS status{};
             const BOOL queried = KvEntry().QueryServiceStatus(nullptr, &status);
             return std::to_string(queried) + "/" + std::to_string(::GetLastError());
         }}};
    const std::vector<std::vector<std::string>> expected = {
        {"2", "5", "2", "53", "2", "1722"},
        {"-2147023541", "-2147024891", "-2147023541", "-2147024843", "-2147023541", "-2147023174"},
        {"open", "null/5", "open", "null/53", "open", "null/1722"},
        {"0/6", "0/5", "0/6", "0/53", "0/6", "0/1722"}};
    for (size_t e = 0; e < entries.size(); ++e)
    {
        KvLab::ResetFaults();
        KvLab::FailFromCall(entries[e].first, 6, RPC_S_SERVER_UNAVAILABLE);
        KvLab::FailCall(entries[e].first, 4, ERROR_BAD_NETPATH);
        KvLab::FailCall(entries[e].first, 2, ERROR_ACCESS_DENIED);
        std::vector<std::string> seen;
        for (int call = 0; call < 6; ++call)
            seen.push_back(entries[e].second());
        EXPECT_EQ(expected[e], seen) << KvLab::EntryName(entries[e].first);
        EXPECT_EQ(6u, KvLab::CallCount(entries[e].first));
    }
}

TEST_F(EntryPointsLabTest, FaultsFromTheLabRegistryReachARealRun)
{
    // The entry's own key holds one fault, each subkey one more.
    const std::wstring path = L"SOFTWARE\\KorvelinLab\\Faults\\RegConnectRegistryW";
    const std::tuple<std::wstring, DWORD, DWORD, DWORD> faults[] = {{path, 1, ERROR_BAD_NETPATH, 0},
                                                                    {path + L"\\Later", 3, ERROR_ACCESS_DENIED, 1}};
    for (const auto& [key, call, error, every] : faults)
        for (const auto& [name, value] :
             {std::pair(L"Call", call), std::pair(L"Error", error), std::pair(L"Every", every)})
            ASSERT_EQ(ERROR_SUCCESS,
                      ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_DWORD, &value, sizeof(value)));
    KvLab::ResetFaults();

    std::vector<LSTATUS> seen;
    for (int call = 0; call < 4; ++call)
    {
        unique_hkey key;
        seen.push_back(Connect(nullptr, key));
    }
    EXPECT_EQ((std::vector<LSTATUS>{ERROR_BAD_NETPATH, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED}), seen);
}

// The shipped scenario's domain is a tree: each object's parent is an object
// of the file, or the object is one of the root DSE's naming contexts.
TEST(LabScenarioFiles, ShippedDomainIsATree)
{
    std::ifstream file(KV_SCENARIOS "/pass1-two-nodes/node.reg");
    ASSERT_TRUE(file.is_open());
    std::vector<std::wstring> objects, roots;
    for (std::string line; std::getline(file, line);)
    {
        const size_t equals = line.find("\"=\"");
        const std::string name = equals == std::string::npos ? "" : line.substr(1, equals - 1);
        const std::wstring value = name.empty() ? L"" : std::wstring(line.begin() + equals + 3, line.end() - 1);
        if (name == "DistinguishedName")
            objects.push_back(value);
        else if (name.find("NamingContext") != std::string::npos)
            roots.push_back(value);
    }
    ASSERT_EQ(3u, roots.size());
    for (const std::wstring& dn : objects)
        EXPECT_TRUE(std::count(roots.begin(), roots.end(), dn) ||
                    std::count(objects.begin(), objects.end(), KvLab::ParentName(dn)))
            << std::string(dn.begin(), dn.end());
}
