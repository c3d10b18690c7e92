// The lab's registry connections and its fault injection.
#include "EntryPoints.h"
#include "LabDirectory.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <activeds.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <vector>

namespace
{
LSTATUS Connect(const wchar_t* machine, unique_hkey& key)
{
    return KvEntry().RegConnectRegistryW(machine, HKEY_LOCAL_MACHINE, &key);
}

// Local names open the real registry, a lab node its own subtree (not the local one); others give 53.
TEST(EntryPointsLabTest, ConnectionsByComputerName)
{
    const auto OpenKey = [](HKEY root, const std::wstring& path) {
        unique_hkey key;
        return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key);
    };
    CLabScenario lab;
    ASSERT_TRUE(lab.SetLocalComputerName(L"NODE1") && lab.AddNode(L"NODE2") && lab.AddNode(L"NODE3") &&
                lab.SetUnreachable(L"NODE3", true));
    const wchar_t* const localNames[] = {nullptr, L"", L"NODE1", L"node1", L"\\\\NODE1", L"localhost"};
    for (const wchar_t* name : localNames)
    {
        unique_hkey root;
        ASSERT_EQ(ERROR_SUCCESS, Connect(name, root)) << (name ? "named" : "null");
        EXPECT_EQ(ERROR_SUCCESS, OpenKey(root.get(), L"SOFTWARE\\Microsoft"));
    }
    unique_hkey node, created, none;
    ASSERT_EQ(ERROR_SUCCESS, Connect(L"\\\\NODE2", node));
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyW(node.get(), L"SOFTWARE\\KvLabLeakCheck", &created));
    EXPECT_EQ(ERROR_SUCCESS, OpenKey(HKEY_LOCAL_MACHINE, CLabScenario::NodeKeyPath(L"NODE2", HKEY_LOCAL_MACHINE,
                                                                                  L"SOFTWARE\\KvLabLeakCheck")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, OpenKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KvLabLeakCheck"));
    EXPECT_EQ(ERROR_BAD_NETPATH, Connect(L"NOSUCHNODE", none));
    EXPECT_EQ(ERROR_BAD_NETPATH, Connect(L"NODE3", none));
    EXPECT_FALSE(none.is_valid());
}

// A fault for the n-th call, or for every call from the n-th, in the entry's own terms: set by code or
// kept in the lab registry (one under the entry's own key and one more under each subkey).
TEST(EntryPointsLabTest, FaultsFailTheirCallsInTheEntrysOwnTerms)
{
    CLabScenario lab;
    const std::wstring path = L"SOFTWARE\\KorvelinLab\\Faults\\RegConnectRegistryW";
    const std::tuple<std::wstring, DWORD, DWORD, DWORD> stored[] = {{path, 2, ERROR_ACCESS_DENIED, 0},
                                                                    {path + L"\\Later", 4, ERROR_BAD_NETPATH, 1}};
    for (const auto& [key, call, error, every] : stored)
        for (const auto& [name, value] : {std::pair(L"Call", call), {L"Error", error}, {L"Every", every}})
            ASSERT_EQ(ERROR_SUCCESS,
                      ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_DWORD, &value, sizeof(value)));
    KvLab::ResetFaults();
    KvLab::FailCall(KvLab::Entry::ADsOpenObject, 2, ERROR_ACCESS_DENIED);
    KvLab::FailFromCall(KvLab::Entry::ADsOpenObject, 4, ERROR_BAD_NETPATH);
    std::vector<LSTATUS> connected;
    std::vector<HRESULT> bound;
    for (unique_hkey key; connected.size() < 5; key.reset())
    {
        void* object = nullptr;
        connected.push_back(Connect(nullptr, key));
        bound.push_back(KvEntry().ADsOpenObject(L"LDAP://rootDSE", nullptr, nullptr, 0, IID_IADs, &object));
    }
    EXPECT_EQ((std::vector<LSTATUS>{0, 5, 0, 53, 53}), connected);
    EXPECT_EQ((std::vector<HRESULT>{-2147023541, -2147024891, -2147023541, -2147024843, -2147024843}), bound);
}

// The shipped scenario's domain is a tree: each object's parent is an object
// of the file, or the object is one of the root DSE's naming contexts.
TEST(LabScenarioFiles, ShippedDomainIsATree)
{
    std::ifstream file(KV_SCENARIOS "/pass1-two-nodes/node.reg");
    const std::regex value(R"re(^"(DistinguishedName|\w*NamingContext)"="(.*)"\r?$)re");
    std::vector<std::wstring> objects, roots;
    for (std::string line; std::getline(file, line);)
        if (std::smatch m; std::regex_match(line, m, value))
            (m[1] == "DistinguishedName" ? objects : roots).emplace_back(m[2].first, m[2].second);
    ASSERT_EQ(3u, roots.size());
    for (const std::wstring& dn : objects)
        EXPECT_TRUE(std::count(roots.begin(), roots.end(), dn) ||
                    std::count(objects.begin(), objects.end(), KvLab::ParentName(dn)))
            << std::string(dn.begin(), dn.end());
}
} // namespace
