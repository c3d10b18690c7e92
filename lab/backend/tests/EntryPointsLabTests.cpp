// The lab's registry connections and its fault injection.
#include "EntryPoints.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

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

TEST_F(EntryPointsLabTest, FaultFailsExactlyTheKthCall)
{
    KvLab::FailCall(KvLab::Entry::RegConnectRegistryW, 2, ERROR_ACCESS_DENIED);
    unique_hkey key;
    EXPECT_EQ(ERROR_SUCCESS, Connect(nullptr, key));
    EXPECT_EQ(ERROR_ACCESS_DENIED, Connect(nullptr, key));
    EXPECT_EQ(ERROR_SUCCESS, Connect(nullptr, key));
    EXPECT_EQ(3u, KvLab::CallCount(KvLab::Entry::RegConnectRegistryW));
}

TEST_F(EntryPointsLabTest, FaultFromTheLabRegistryReachesARealRun)
{
    const DWORD call = 1;
    const DWORD error = ERROR_BAD_NETPATH;
    unique_hkey fault;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KorvelinLab\\Faults\\RegConnectRegistryW", 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &fault, nullptr));
    ::RegSetValueExW(fault.get(), L"Call", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&call), sizeof(call));
    ::RegSetValueExW(fault.get(), L"Error", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&error), sizeof(error));
    KvLab::ResetFaults();

    unique_hkey key;
    EXPECT_EQ(ERROR_BAD_NETPATH, Connect(nullptr, key));
    EXPECT_EQ(ERROR_SUCCESS, Connect(nullptr, key));
}
