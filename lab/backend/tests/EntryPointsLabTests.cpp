// The faults a lab scenario leaves in the registry. (Faults set by code, and how each entry answers
// with its error, are read through the operations' tests; the registry connections by computer name
// through the registry gateway's and the cluster discovery's.)
#include "EntryPoints.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
// A fault for the n-th call, or for every call from the n-th, kept in the lab registry: one under the
// entry's own key and one more under each subkey.
TEST(EntryPointsLabTest, FaultsKeptInTheRegistryFailTheirCalls)
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
    std::vector<LSTATUS> connected;
    for (unique_hkey key; connected.size() < 5;)
        connected.push_back(KvEntry().RegConnectRegistryW(nullptr, HKEY_LOCAL_MACHINE, &key));
    EXPECT_EQ((std::vector<LSTATUS>{0, 5, 0, 53, 53}), connected);
}
} // namespace
