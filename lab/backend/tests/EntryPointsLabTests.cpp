// The lab's registry connections and its fault injection.
#include "EntryPoints.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <activeds.h>

#include <vector>

namespace
{
LSTATUS Connect(const wchar_t* machine, unique_hkey& key)
{
    return KvEntry().RegConnectRegistryW(machine, HKEY_LOCAL_MACHINE, &key);
}

// Local names open the real registry, a lab node its own subtree (the registry gateway's tests write there);
// unknown and unreachable nodes give 53, as a missing network path does.
TEST(EntryPointsLabTest, ConnectionsByComputerName)
{
    CLabScenario lab;
    ASSERT_TRUE(lab.SetLocalComputerName(L"NODE1") && lab.AddNode(L"NODE2") && lab.AddNode(L"NODE3") &&
                lab.SetUnreachable(L"NODE3", true));
    unique_hkey key, sub;
    const auto Open = [&sub](HKEY root, const std::wstring& path)
    { return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &sub); };
    for (const wchar_t* name : {L"", L"node1", L"\\\\NODE1", L"localhost"})
        EXPECT_TRUE(Connect(name, key) == ERROR_SUCCESS && Open(key.get(), L"SOFTWARE\\Microsoft") == ERROR_SUCCESS)
            << name;
    EXPECT_EQ(ERROR_SUCCESS, Connect(L"\\\\NODE2", key));
    EXPECT_EQ(ERROR_BAD_NETPATH, Connect(L"NOSUCHNODE", key));
    EXPECT_EQ(ERROR_BAD_NETPATH, Connect(L"NODE3", key));
    EXPECT_FALSE(key.is_valid());
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
    for (unique_hkey key; connected.size() < 5;)
    {
        void* object = nullptr;
        connected.push_back(Connect(nullptr, key));
        bound.push_back(KvEntry().ADsOpenObject(L"LDAP://rootDSE", nullptr, nullptr, 0, IID_IADs, &object));
    }
    // The registry answers with the error itself, ADSI with it as an HRESULT.
    EXPECT_EQ((std::vector<LSTATUS>{0, 5, 0, 53, 53}), connected);
    EXPECT_EQ((std::vector<HRESULT>{-2147023541, -2147024891, -2147023541, -2147024843, -2147024843}), bound);
}
} // namespace
