// The lab's fault injection. (Its registry connections by computer name are read through the registry
// gateway's and the cluster discovery's tests.)
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
