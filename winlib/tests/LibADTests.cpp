// The directory classes against the lab's domain.
#include "LabDirectory.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "LibADCompObject.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace
{
const std::wstring kDomain = L"DC=lab,DC=test";
const std::wstring kConfiguration = L"CN=Configuration,DC=lab,DC=test";
const std::wstring kSchema = L"CN=Schema,CN=Configuration,DC=lab,DC=test";
const std::wstring kServers = L"CN=Servers,CN=Configuration,DC=lab,DC=test";
const std::wstring kComputers = L"CN=Computers,DC=lab,DC=test";
constexpr wchar_t kExchangeServer[] = L"msExchExchangeServer";

std::wstring Evs(const std::wstring& name) { return L"CN=" + name + L"," + kServers; }
std::wstring Computer(const std::wstring& name) { return L"CN=" + name + L"," + kComputers; }
std::pair<uint32_t, uint32_t> Pair(const CStatus& status) { return {status.GetCategory(), status.GetCode()}; }

#define EXPECT_STATUS(category, code, status) \
    EXPECT_EQ(std::make_pair(static_cast<uint32_t>(category), static_cast<uint32_t>(code)), Pair(status))

// Finds an object by cn in the configuration (into kept, if given); it must be open exactly when that succeeded.
CStatus Find(const wchar_t* name, const wchar_t* className = kExchangeServer, VLibADObject* kept = nullptr,
             const wchar_t* user = nullptr, const wchar_t* password = nullptr, const wchar_t* server = nullptr)
{
    VLibADObject local;
    VLibADObject& object = kept ? *kept : local;
    const CStatus status = object.Initialize(name, className, 2, server, user, password);
    EXPECT_EQ(status.IsSuccess(), object.IsInitialized());
    return status;
}

// A refused account stays closed, and bad arguments bind nothing.
CStatus FindAccount(const wchar_t* name, uint32_t manageCredentials = 0)
{
    VLibADCompObject account;
    KvLab::ClearDirectoryBinds();
    const CStatus status = account.Initialize(name, manageCredentials, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(account.IsInitialized());
    EXPECT_TRUE(Pair(status) != std::make_pair(27u, 1u) || KvLab::DirectoryBinds().empty());
    return status;
}

// The lab's domain with one virtual server, EVS1, and one account with rights.
class DirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_TRUE(_lab.SetDirectoryRoot(kDomain, kConfiguration, kSchema));
        for (const auto& [dn, className] : {std::pair(kServers, L"msExchServersContainer"), {kComputers, L"container"},
                                            {Evs(L"EVS1"), kExchangeServer}})
            ASSERT_TRUE(_lab.AddDirectoryObject(dn, className));
        ASSERT_TRUE(_lab.AddDirectoryAccount(L"LAB\\admin", L"Secret1"));
        KvLab::ClearDirectoryBinds();
    }
    void TearDown() override
    {
        EXPECT_EQ(0, KvLab::DirectoryLiveObjects()) << "a directory object, search or column was not released";
        ::CoUninitialize();
    }

    CLabScenario _lab;
};

// Values become text joined by semicolons; a text of n characters needs n + 1. A failure leaves the
// buffer alone; the size needed is written only when the text does not fit.
TEST_F(DirectoryTest, PropertyValuesBecomeText)
{
    ASSERT_TRUE(_lab.SetDirectoryIntegers(Evs(L"EVS1"), L"integer", {1912766640}));
    ASSERT_TRUE(_lab.SetDirectoryStrings(Evs(L"EVS1"), L"strings", {L"12", L"45"}));
    ASSERT_TRUE(_lab.SetDirectoryBooleans(Evs(L"EVS1"), L"booleans", {true, false}));
    ASSERT_TRUE(_lab.SetDirectoryOctets(Evs(L"EVS1"), L"octets", {{0x12, 0x34}}));
    VLibADObject object;
    ASSERT_TRUE(Find(L"EVS1", kExchangeServer, &object).IsSuccess());
    const std::tuple<const wchar_t*, uint32_t, uint32_t, HRESULT, const wchar_t*, uint32_t> reads[] = {
        {L"integer", 260, 0, 0, L"1912766640", 0}, {L"booleans", 260, 0, 0, L"1;0", 0},
        {L"strings", 6, 0, 0, L"12;45", 0},        {L"strings", 5, 27, 5, L"#", 6},
        {L"octets", 260, 27, 4, L"#", 0},          {L"missing", 260, 4, E_ADS_PROPERTY_NOT_FOUND, L"#", 0},
        {nullptr, 260, 27, 1, L"#", 0}};
    for (const auto& [name, chars, category, code, text, needed] : reads)
    {
        wchar_t buffer[260] = {L'#', 0};
        uint32_t required = 0;
        EXPECT_STATUS(category, code, object.GetPropertyValue(name, buffer, chars, &required)) << name;
        EXPECT_EQ(std::pair(std::wstring(text), needed), std::pair(std::wstring(buffer), required)) << name;
    }
}

TEST_F(DirectoryTest, FindsOnlyTheOneObjectOfItsNameClassAndContext)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(Computer(L"NODE1"), L"computer"));
    EXPECT_STATUS(27, 3, Find(L"EVS2"));
    EXPECT_STATUS(27, 3, Find(L"EVS1", L"computer")) << "of another class";
    EXPECT_STATUS(27, 3, Find(L"NODE1", L"computer")) << "in another naming context";
    EXPECT_STATUS(27, 1, Find(L"EVS1", nullptr)) << "no class";
    EXPECT_STATUS(27, 1, FindAccount(nullptr));
    EXPECT_STATUS(27, 1, FindAccount(L"NODE1", 1)) << "credentials without a password";
    ASSERT_TRUE(_lab.AddDirectoryObject(L"OU=Servers," + kDomain, L"organizationalUnit"));
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=NODE1,OU=Servers," + kDomain, L"computer"));
    EXPECT_STATUS(27, 2, FindAccount(L"NODE1"));

    // By class alone, the one object of the class is found and takes its relative name.
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=First Administrative Group," + kConfiguration, L"msExchAdminGroup"));
    VLibADObject object;
    EXPECT_STATUS(27, 1, object.Initialize(L"msExchAdminGroup", 0, nullptr, nullptr, nullptr));
    ASSERT_TRUE(object.Initialize(L"msExchAdminGroup", 2, nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_STREQ(L"CN=First Administrative Group", object.GetName());
    // A second Initialize, even a failed one, lets the first object go (the fixture counts them).
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=Second Group," + kConfiguration, L"msExchAdminGroup"));
    EXPECT_STATUS(27, 2, object.Initialize(L"msExchAdminGroup", 2, nullptr, nullptr, nullptr));
}

// The n-th call of a bind or of a directory object's method fails, whichever object it hits, while an object
// is found (the root DSE, the naming context to search and the object found are bound in turn) or read.
TEST_F(DirectoryTest, FaultsReachTheCaller)
{
    using E = KvLab::Entry;
    const std::tuple<E, uint32_t, uint32_t, bool> faults[] = { // entry, call, error, while reading
        {E::ADsOpenObject, 1, 0x8007203Au, false},       {E::ADsOpenObject, 2, 0x80070005u, false},
        {E::ADsOpenObject, 3, 0x8007052Eu, false},       {E::DirectoryExecuteSearch, 1, 0x80072020u, false},
        {E::DirectoryGetNextRow, 1, 0x80072020u, false}, {E::DirectoryGetNextRow, 2, 0x80072020u, false},
        {E::DirectoryGetColumn, 1, 0x80072020u, false},  {E::DirectoryGet, 2, 0x8000500Du, false},
        {E::DirectoryGetInfoEx, 1, 0x80072030u, true},   {E::DirectoryGetEx, 1, 0x8000500Du, true}};
    for (const auto& [entry, call, error, reading] : faults)
    {
        VLibADObject object;
        ASSERT_TRUE(!reading || Find(L"EVS1", kExchangeServer, &object).IsSuccess());
        KvLab::FailCall(entry, call, error);
        wchar_t buffer[260] = {};
        uint32_t required = 0;
        EXPECT_STATUS(4, error, reading ? object.GetPropertyValue(L"cn", buffer, 260, &required) : Find(L"EVS1"))
            << KvLab::EntryName(entry) << " call " << call;
    }
}

// Every bind gets the path and the credentials; empty credentials reach ADSI as null.
TEST_F(DirectoryTest, EveryBindGetsThePathAndTheCredentials)
{
    ASSERT_TRUE(_lab.AddDirectoryServer(L"DC1"));
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*, std::wstring> finds[] = {
        {nullptr, nullptr, nullptr, L"LDAP://rootDSE"}, {L"", L"", L"", L"LDAP://rootDSE"},
        {L"DC1", L"LAB\\admin", L"Secret1", L"LDAP://DC1/rootDSE"}};
    const auto given = [](const wchar_t* t) { return t && *t ? std::optional<std::wstring>(t) : std::nullopt; };
    for (const auto& [server, user, password, root] : finds)
    {
        KvLab::ClearDirectoryBinds();
        ASSERT_TRUE(Find(L"EVS1", kExchangeServer, nullptr, user, password, server).IsSuccess()) << root;
        const std::wstring paths[] = {root, L"LDAP://" + kConfiguration, L"LDAP://" + Evs(L"EVS1")};
        const auto binds = KvLab::DirectoryBinds();
        ASSERT_EQ(3u, binds.size());
        for (size_t i = 0; i < 3; ++i) // only the naming context is bound to be searched
            EXPECT_EQ(std::tuple(paths[i], i == 1 ? IID_IDirectorySearch : IID_IADs, DWORD(ADS_SECURE_AUTHENTICATION),
                                 given(user), given(password)),
                      std::tuple(binds[i].path, binds[i].iid, binds[i].flags, binds[i].userName, binds[i].password));
    }
}

TEST_F(DirectoryTest, SearchRefusesBadArgumentsBeforeBinding)
{
    VLibADHelper search;
    std::vector<Microsoft::WRL::ComPtr<IADs>> found;
    EXPECT_STATUS(27, 6, search.Search(L"*", L"computer", found, 1, nullptr));
    ASSERT_TRUE(search.Initialize(nullptr, nullptr, nullptr).IsSuccess());
    const std::wstring contexts[] = {kDomain, kConfiguration, kSchema};
    for (int32_t n = 0; n < 3; ++n)
        EXPECT_EQ(contexts[n], search.GetNamingContext(n + 1));
    using Args = std::tuple<const wchar_t*, const wchar_t*, int32_t>; // name, class, naming context
    for (const auto& [name, className, context] : {Args(L"*", L"computer", 4), Args(L"*", L"computer", 0),
                                                   Args(nullptr, L"computer", 1), Args(L"*", nullptr, 1)})
        EXPECT_STATUS(27, 1, search.Search(name, className, found, context, nullptr)) << context;
    EXPECT_EQ(1u, KvLab::DirectoryBinds().size()) << "only the root DSE may have been bound";
}

// Every directory object is a container, so it goes with its subtree as a domain controller's objects
// do: through its own delete operations, with no further bind. A failed delete keeps it open.
TEST_F(DirectoryTest, DeleteRemovesTheSubtreeOnlyThroughTheObjectsOwnDeleteOps)
{
    const auto exists = CLabScenario::DirectoryObjectExists;
    const std::wstring store = L"CN=InformationStore," + Evs(L"EVS2");
    for (const auto& [dn, className] : {std::pair(Evs(L"EVS2"), kExchangeServer), {Evs(L"EVS20"), kExchangeServer},
                                        {store, L"msExchInformationStore"}})
        ASSERT_TRUE(_lab.AddDirectoryObject(dn, className));
    VLibADObject object;
    ASSERT_TRUE(Find(L"EVS2", kExchangeServer, &object, L"LAB\\admin", L"Secret1").IsSuccess());
    KvLab::ClearDirectoryBinds();
    KvLab::FailCall(KvLab::Entry::DirectoryDeleteObject, 1, 0x80072098u);
    EXPECT_STATUS(4, 0x80072098u, object.Delete());
    EXPECT_TRUE(object.IsInitialized() && exists(Evs(L"EVS2")));

    EXPECT_STATUS(0, 0, object.Delete());
    EXPECT_FALSE(object.IsInitialized() || exists(Evs(L"EVS2")) || exists(store));
    EXPECT_TRUE(exists(Evs(L"EVS20"))) << "a sibling whose name begins alike stays";
    EXPECT_TRUE(KvLab::DirectoryBinds().empty());
    EXPECT_EQ(2u, KvLab::CallCount(KvLab::Entry::DirectoryDeleteObject));
}

// A missing account initialises without an object to delete or hand out (deleting one that is there is the
// removal operation's test); the lock is held only while the account is being found.
TEST_F(DirectoryTest, AccountMayBeMissingAndManagesCredentialsOnlyWithEntryPoints)
{
    VLibADCompObject account;
    ASSERT_TRUE(account.Initialize(L"NODE1", 0, nullptr, nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_TRUE(account.IsInitialized() && !account.Exists());
    EXPECT_FALSE(unique_handle(::OpenMutexW(SYNCHRONIZE, FALSE, L"LibAD_GlobalMembers")).is_valid());
    IADs* held = nullptr;
    EXPECT_STATUS(27, 6, account.Delete()) << "its object is closed";
    EXPECT_STATUS(27, 6, account.GetIADs(&held));
    ASSERT_TRUE(_lab.AddDirectoryObject(Computer(L"NODE2"), L"computer"));
    ASSERT_TRUE(account.Initialize(L"NODE2", 0, nullptr, nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_TRUE(account.Exists());
    (void)account.Close();
    EXPECT_FALSE(account.Exists() || account.IsInitialized());

    // Managed credentials need their entry points, looked for only in modules the process already has.
    unique_hmodule netapi(::LoadLibraryW(L"netapi32.dll"));
    const bool available = ::GetProcAddress(netapi.get(), "DsGetDcNameWithAccountW") != nullptr;
    KvLab::ClearDirectoryBinds();
    EXPECT_STATUS(available ? 0 : 2, available ? 0 : ERROR_PROC_NOT_FOUND,
                  account.Initialize(L"NODE1", 1, L"AccountPassword1", nullptr, nullptr, nullptr));
    EXPECT_EQ(available, account.IsInitialized());
    EXPECT_TRUE(available || KvLab::DirectoryBinds().empty());
}
} // namespace
