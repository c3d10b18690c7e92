// The shipped scenarios' lab keys, imported as make-node.sh imports them, make the cluster the wizard
// discovers: systems named apart from their computers, EVS1 online on NODE2 only, NODE2's configuration
// of EVS1, and what each variant changes; the node's name, its computer account and EVS1's directory
// version before and after the first pass; who answers for the virtual servers' names.
#include "ClusterCalls.h"
#include "FakeClock.h"
#include "LabDirectory.h"
#include "LabScenario.h"
#include "ScenarioImport.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <cstring>
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
    const wchar_t* accounts; // the computer accounts, in key order
    DWORD evs1Version;
    BYTE evs1Holder; // the fourth byte of the physical address that answers EVS1's name
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
    std::wstring accounts;
    for (const auto& object : KvLab::Directory()->objects)
        if (object.className == L"computer")
            accounts += object.dn + L" ";
    EXPECT_EQ(c.accounts, accounts);
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
    std::map<std::string, Strings> onlineOn; // virtual server: computers
    for (const std::string& resource : Names(QLX_OBJ_RESOURCE, {"Type=Lanman"}).value_or(Strings()))
    {
        Strings& online = onlineOn[AttributeText(QLX_OBJ_RESOURCE, resource.c_str(), "VirtualName", nullptr)];
        for (const auto& [system, state] : StatesOf(QLX_OBJ_RESOURCE, resource.c_str()).value_or(States()))
            if (state == QLX_STATE_ONLINE)
                online.push_back(computers[system]);
    }
    EXPECT_EQ((std::map<std::string, Strings>{{"EVS1", {"NODE2"}}, {"EVS2", {}}}), onlineOn);
    unique_hkey partner, system;
    ASSERT_EQ(ERROR_SUCCESS, KvEntry().RegConnectRegistryW(L"NODE2", HKEY_LOCAL_MACHINE, &partner));
    for (const wchar_t* node : {L"NODE1", L"NODE2"})
        EXPECT_EQ(c.partnerConfig, ::RegOpenKeyExW(partner.get(),
                                                   (L"SOFTWARE\\HALVERN\\QLX\\ExchConfig\\EVS\\EVS1\\Systems\\" +
                                                    std::wstring(node)).c_str(),
                                                   0, KEY_READ, &system) == ERROR_SUCCESS)
            << node;
    // NODE1's LANAs 0 and 1; EVS1's name held, EVS2's free; EVS6 known to DNS over IPv6 only.
    CFakeClock clock;
    std::vector<BYTE> buffer(sizeof(LANA_ENUM));
    const auto Ask = [&buffer](UCHAR command, const char* name) {
        NCB ncb{};
        ncb.ncb_command = command;
        ncb.ncb_buffer = buffer.data();
        ncb.ncb_length = static_cast<WORD>(buffer.size());
        std::memset(ncb.ncb_callname, ' ', NCBNAMSZ);
        std::memcpy(ncb.ncb_callname, name, strlen(name));
        return KvEntry().Netbios(&ncb);
    };
    EXPECT_TRUE(Ask(NCBENUM, "") == NRC_GOODRET && buffer[0] == 2 && buffer[1] == 0 && buffer[2] == 1);
    EXPECT_TRUE(Ask(NCBASTAT, "EVS1") == NRC_GOODRET && buffer[3] == c.evs1Holder) << int(buffer[3]);
    EXPECT_EQ(NRC_CMDTMO, Ask(NCBASTAT, "EVS2"));
    PDNS_RECORD records = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, KvEntry().DnsQuery_W(L"EVS6", DNS_TYPE_AAAA, 0x108, nullptr, &records, nullptr));
    KvEntry().DnsFree(records, DnsFreeRecordList);
    EXPECT_EQ(DNS_INFO_NO_RECORDS, KvEntry().DnsQuery_W(L"EVS6", DNS_TYPE_A, 0x108, nullptr, &records, nullptr));
    EXPECT_EQ(DNS_ERROR_RCODE_NAME_ERROR, KvEntry().DnsQuery_W(L"EVS2", DNS_TYPE_A, 0x108, nullptr, &records, nullptr));
}

constexpr wchar_t kPass1Accounts[] = L"CN=EVS1,CN=Computers,DC=lab,DC=test CN=NODE1,CN=Computers,DC=lab,DC=test "
                                     L"CN=NODE2,CN=Computers,DC=lab,DC=test ";
INSTANTIATE_TEST_SUITE_P(Folders, ShippedScenarioTest, ::testing::Values(
    ScenarioCase{"pass1-two-nodes", false, true, L"NODE1", kPass1Accounts, 1912701168, 0x0B},
    ScenarioCase{"pass1-engine-down", true, true, L"NODE1", kPass1Accounts, 1912701168, 0x0B},
    ScenarioCase{"pass1-node-without-config", false, false, L"NODE1", kPass1Accounts, 1912701168, 0x0B},
    ScenarioCase{"pass2-evs1", false, true, L"EVS1",
                 L"CN=EVS1,CN=Computers,DC=lab,DC=test CN=NODE2,CN=Computers,DC=lab,DC=test ", 1912766640, 0x0A}),
    [](const auto& info) { return std::regex_replace(info.param.folder, std::regex("-"), "_"); });
} // namespace
