// The shipped scenarios' lab keys, imported as make-node.sh imports them, make the cluster the wizard
// discovers: systems named apart from their computers, NODE2's configuration of EVS1, and what each
// variant changes; the node's name and EVS1's directory version before and after the first pass. (The
// network's keys are read through the real-network scenario's test.)
#include "ClusterCalls.h"
#include "LabDirectory.h"
#include "LabScenario.h"
#include "ScenarioImport.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

namespace
{
struct ScenarioCase
{
    const char* folder;
    bool engineHung;
    bool partnerConfig;
    const wchar_t* localName;
    DWORD evs1Version;
};

class ShippedScenarioTest : public ::testing::TestWithParam<ScenarioCase>
{
protected:
    CLabScenario _lab;
};

TEST_P(ShippedScenarioTest, MakesTheClusterTheWizardDiscovers)
{
    const ScenarioCase& c = GetParam();
    ASSERT_TRUE(ImportLabKeys(c.folder));
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = ARRAYSIZE(name);
    EXPECT_TRUE(KvEntry().GetComputerNameW(name, &size) && c.localName == std::wstring(name)) << name;
    unique_hkey version;
    const auto evs1 = KvLab::FindDirectoryObject(L"CN=EVS1,CN=Servers,CN=Configuration,DC=lab,DC=test");
    ASSERT_TRUE(evs1 && ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (KvLab::DirectoryObjectsPath() + L"\\" + evs1->key +
                                                             L"\\Attributes\\versionNumber").c_str(),
                                        0, KEY_READ, &version) == ERROR_SUCCESS);
    EXPECT_EQ(c.evs1Version, KvLab::ReadDword(version.get(), L"1").value_or(0));
    EXPECT_EQ(c.engineHung, !OpenCluster());
    if (c.engineHung)
    {
        EXPECT_EQ(Error(20, QLX_ERROR_ENGINE_NOT_RESPONDING), LastError());
        ASSERT_TRUE(_lab.SetClusterEngineHung(false));
    }
    // The computer name lies between the first colon and the first comma of "SysInfo".
    std::map<std::string, std::string> computers;
    for (const std::string& system : Names(QLX_OBJ_SYSTEM).value_or(Strings()))
    {
        const std::string info = AttributeText(QLX_OBJ_SYSTEM, system.c_str(), "SysInfo", system.c_str());
        const size_t colon = info.find(':');
        computers[system] = info.substr(colon + 1, info.find(',') - colon - 1);
    }
    EXPECT_EQ((std::map<std::string, std::string>{{"qlx-node1", "NODE1"}, {"qlx-node2", "NODE2"}}), computers);
    unique_hkey partner, system;
    ASSERT_EQ(ERROR_SUCCESS, KvEntry().RegConnectRegistryW(L"NODE2", HKEY_LOCAL_MACHINE, &partner));
    for (const wchar_t* node : {L"NODE1", L"NODE2"})
        EXPECT_EQ(c.partnerConfig, ::RegOpenKeyExW(partner.get(),
                                                   (L"SOFTWARE\\HALVERN\\QLX\\ExchConfig\\EVS\\EVS1\\Systems\\" +
                                                    std::wstring(node)).c_str(),
                                                   0, KEY_READ, &system) == ERROR_SUCCESS)
            << node;
}

INSTANTIATE_TEST_SUITE_P(Folders, ShippedScenarioTest, ::testing::Values(
    ScenarioCase{"pass1-two-nodes", false, true, L"NODE1", 1912701168},
    ScenarioCase{"pass1-engine-down", true, true, L"NODE1", 1912701168},
    ScenarioCase{"pass1-node-without-config", false, false, L"NODE1", 1912701168},
    ScenarioCase{"pass2-evs1", false, true, L"EVS1", 1912766640}),
    [](const auto& info) { return std::regex_replace(info.param.folder, std::regex("-"), "_"); });
} // namespace
