// The lab's domain refuses what a real one refuses: a tree with holes, a
// search that ignores its scope.
#include "EntryPoints.h"
#include "LabDirectory.h"
#include "LabScenario.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <activeds.h>
#include <wrl/client.h>

#include <fstream>
#include <string>
#include <vector>

namespace
{
using Microsoft::WRL::ComPtr;
const std::wstring kDomain = L"DC=lab,DC=test";
const std::wstring kConfiguration = L"CN=Configuration," + kDomain;
const std::wstring kServers = L"CN=Servers," + kConfiguration;

class LabDirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_TRUE(_lab.SetDirectoryRoot(kDomain, kConfiguration, L"CN=Schema," + kConfiguration));
        for (const std::wstring& dn : {kServers, L"CN=EVS1," + kServers, L"CN=Store,CN=EVS1," + kServers,
                                      L"CN=EVS2," + kServers})
            ASSERT_TRUE(_lab.AddDirectoryObject(dn, L"container")) << dn;
    }
    void TearDown() override
    {
        EXPECT_EQ(0, KvLab::DirectoryLiveObjects());
        ::CoUninitialize();
    }

    // The names a search of every object below kServers finds with the scope.
    static std::wstring Search(ADS_SCOPEENUM scope)
    {
        ComPtr<IDirectorySearch> search;
        EXPECT_EQ(S_OK, KvEntry().ADsOpenObject((L"LDAP://" + kServers).c_str(), nullptr, nullptr, 0,
                                                 IID_IDirectorySearch, &search));
        ADS_SEARCHPREF_INFO preference{ADS_SEARCHPREF_SEARCH_SCOPE, {ADSTYPE_INTEGER, {}}, ADS_STATUS_S_OK};
        preference.vValue.Integer = scope;
        EXPECT_EQ(S_OK, search->SetSearchPreference(&preference, 1));
        ADS_SEARCH_HANDLE handle = nullptr;
        wchar_t filter[] = L"(objectClass=*)";
        EXPECT_EQ(S_OK, search->ExecuteSearch(filter, nullptr, static_cast<DWORD>(-1), &handle));
        std::wstring found;
        wchar_t column[] = L"distinguishedName";
        while (search->GetNextRow(handle) == S_OK)
        {
            ADS_SEARCH_COLUMN value{};
            EXPECT_EQ(S_OK, search->GetColumn(handle, column, &value));
            found += KvLab::ComponentValue(KvLab::FirstComponent(value.pADsValues[0].DNString)) + L" ";
            search->FreeColumn(&value);
        }
        search->CloseSearchHandle(handle);
        return found;
    }

    CLabScenario _lab;
};
} // namespace

TEST_F(LabDirectoryTest, SearchHonoursItsScope)
{
    EXPECT_EQ(L"Servers ", Search(ADS_SCOPE_BASE));
    EXPECT_EQ(L"EVS1 EVS2 ", Search(ADS_SCOPE_ONELEVEL));
    EXPECT_EQ(L"Servers EVS1 Store EVS2 ", Search(ADS_SCOPE_SUBTREE));
}

TEST_F(LabDirectoryTest, EveryObjectIsAContainerButTheRootDse)
{
    for (const auto& [path, container] : {std::pair(L"LDAP://" + kDomain, true), {L"LDAP://CN=EVS1," + kServers, true},
                                          {L"LDAP://rootDSE", false}})
    {
        ComPtr<IADs> object;
        ASSERT_EQ(S_OK, KvEntry().ADsOpenObject(path.c_str(), nullptr, nullptr, 0, IID_IADs, &object));
        ComPtr<IADsContainer> asContainer;
        ComPtr<IADsDeleteOps> deleteOps;
        EXPECT_EQ(container, SUCCEEDED(object->QueryInterface(IID_IADsContainer, &asContainer))) << path;
        EXPECT_EQ(container, SUCCEEDED(object->QueryInterface(IID_IADsDeleteOps, &deleteOps))) << path;
    }
}

// A hole in the tree: refused by the builder, and a domain loaded with one
// (as a scenario file may leave it) serves no bind.
TEST_F(LabDirectoryTest, ObjectWithoutItsParentBreaksTheDomain)
{
    const std::wstring orphan = L"CN=EVS3,CN=Gone," + kConfiguration;
    EXPECT_FALSE(_lab.AddDirectoryObject(orphan, L"msExchExchangeServer"));
    ComPtr<IADs> object;
    EXPECT_EQ(S_OK, KvEntry().ADsOpenObject(L"LDAP://rootDSE", nullptr, nullptr, 0, IID_IADs, &object));
    object.Reset();

    const std::wstring key = KvLab::DirectoryObjectsPath() + L"\\Orphan";
    for (const auto& [name, text] : {std::pair(L"DistinguishedName", orphan), {L"Class", L"computer"}})
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, text.c_str(),
                                                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    EXPECT_EQ(std::vector<std::wstring>{orphan}, KvLab::DirectoryOrphans());
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DS_NO_PARENT_OBJECT),
              KvEntry().ADsOpenObject(L"LDAP://rootDSE", nullptr, nullptr, 0, IID_IADs, &object));
}

// The shipped scenario's domain is a tree: each object's parent is an object
// of the file, or the object is a naming context.
TEST(LabScenarioFiles, ShippedDomainIsATree)
{
    std::ifstream file(KV_SCENARIOS "/pass1-two-nodes/node.reg");
    ASSERT_TRUE(file.is_open());
    std::vector<std::wstring> objects, roots;
    for (std::string line; std::getline(file, line);)
    {
        const size_t equals = line.find("\"=\"");
        if (equals == std::string::npos)
            continue;
        const std::string name = line.substr(1, equals - 1);
        const std::wstring value(line.begin() + equals + 3, line.begin() + line.rfind('"'));
        if (name == "DistinguishedName")
            objects.push_back(value);
        else if (name.size() > 13 && name.compare(name.size() - 13, 13, "NamingContext") == 0)
            roots.push_back(value);
    }
    ASSERT_EQ(3u, roots.size());
    for (const std::wstring& dn : objects)
    {
        const bool root = std::find(roots.begin(), roots.end(), dn) != roots.end();
        const bool hasParent = std::find(objects.begin(), objects.end(), KvLab::ParentName(dn)) != objects.end();
        EXPECT_TRUE(root || hasParent) << std::string(dn.begin(), dn.end());
    }
}
