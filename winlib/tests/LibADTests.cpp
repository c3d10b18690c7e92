// The directory classes against the lab's domain.
#include "LabDirectory.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "LibADCompObject.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <tuple>
#include <variant>

namespace
{
const std::wstring kDomain = L"DC=lab,DC=test";
const std::wstring kConfiguration = L"CN=Configuration,DC=lab,DC=test";
const std::wstring kSchema = L"CN=Schema,CN=Configuration,DC=lab,DC=test";
const std::wstring kServers = L"CN=Servers,CN=Configuration,DC=lab,DC=test";
const std::wstring kComputers = L"CN=Computers,DC=lab,DC=test";
constexpr wchar_t kExchangeServer[] = L"msExchExchangeServer";

std::wstring Evs(const std::wstring& name)
{
    return L"CN=" + name + L"," + kServers;
}

std::wstring Computer(const std::wstring& name)
{
    return L"CN=" + name + L"," + kComputers;
}

std::pair<uint32_t, uint32_t> Pair(const CStatus& status)
{
    return {status.GetCategory(), status.GetCode()};
}

#define EXPECT_STATUS(category, code, status) \
    EXPECT_EQ(std::make_pair(static_cast<uint32_t>(category), static_cast<uint32_t>(code)), Pair(status))

// Finds an object by cn; it must be open exactly when that succeeded.
CStatus Find(VLibADObject& object, const wchar_t* name = L"EVS1", const wchar_t* className = kExchangeServer,
             uint32_t context = 2, const wchar_t* server = nullptr, const wchar_t* user = nullptr,
             const wchar_t* password = nullptr)
{
    const CStatus status = object.Initialize(name, className, context, server, user, password);
    EXPECT_EQ(status.IsSuccess(), object.IsInitialized());
    return status;
}

CStatus Find(const wchar_t* name = L"EVS1", const wchar_t* className = kExchangeServer, uint32_t context = 2)
{
    VLibADObject object;
    return Find(object, name, className, context);
}

// A refused account stays closed, and bad arguments bind nothing.
CStatus FindAccount(const wchar_t* name, uint32_t manageCredentials = 0)
{
    VLibADCompObject account;
    KvLab::ClearDirectoryBinds();
    const CStatus status = account.Initialize(name, manageCredentials, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(account.IsInitialized());
    if (Pair(status) == std::make_pair(27u, 1u))
        EXPECT_TRUE(KvLab::DirectoryBinds().empty());
    return status;
}

class DirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_TRUE(_lab.SetDirectoryRoot(kDomain, kConfiguration, kSchema));
        ASSERT_TRUE(_lab.AddDirectoryObject(kServers, L"msExchServersContainer"));
        ASSERT_TRUE(_lab.AddDirectoryObject(kComputers, L"container"));
        ASSERT_TRUE(_lab.AddDirectoryObject(Evs(L"EVS1"), kExchangeServer));
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

template <typename Case>
struct DirectoryParamTest : DirectoryTest, ::testing::WithParamInterface<Case>
{
};

using Stored = std::variant<std::monostate, std::vector<LONG>, std::vector<std::wstring>, std::vector<bool>,
                            std::vector<std::vector<BYTE>>>;
using Strings = std::vector<std::wstring>;

// A text of n characters needs n + 1. A failure leaves the buffer alone; the
// required size is written only when the text does not fit.
struct PropertyCase
{
    const char* label;
    Stored values;
    uint32_t bufferChars, category, code;
    const wchar_t* text;
    uint32_t required = 12345;
};

using PropertyTest = DirectoryParamTest<PropertyCase>;

TEST_P(PropertyTest, ValuesBecomeTextJoinedBySemicolons)
{
    const PropertyCase& c = GetParam();
    const std::wstring dn = Evs(L"EVS1"), attribute = L"versionNumber";
    if (auto* v = std::get_if<std::vector<LONG>>(&c.values))
        ASSERT_TRUE(_lab.SetDirectoryIntegers(dn, attribute, *v));
    if (auto* v = std::get_if<Strings>(&c.values))
        ASSERT_TRUE(_lab.SetDirectoryStrings(dn, attribute, *v));
    if (auto* v = std::get_if<std::vector<bool>>(&c.values))
        ASSERT_TRUE(_lab.SetDirectoryBooleans(dn, attribute, *v));
    if (auto* v = std::get_if<std::vector<std::vector<BYTE>>>(&c.values))
        ASSERT_TRUE(_lab.SetDirectoryOctets(dn, attribute, *v));
    VLibADObject object;
    ASSERT_TRUE(Find(object).IsSuccess());

    wchar_t buffer[260] = {L'#', 0};
    uint32_t required = 12345;
    EXPECT_STATUS(c.category, c.code, object.GetPropertyValue(attribute.c_str(), buffer, c.bufferChars, &required));
    EXPECT_STREQ(c.text, buffer);
    EXPECT_EQ(c.required, required);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PropertyTest,
    ::testing::Values(
        PropertyCase{"OneInteger", std::vector<LONG>{1912766640}, 260, 0, 0, L"1912766640"},
        PropertyCase{"NegativeInteger", std::vector<LONG>{-7}, 260, 0, 0, L"-7"},
        PropertyCase{"TwoStrings", Strings{L"Version 8.1", L"Build 240.6"}, 260, 0, 0, L"Version 8.1;Build 240.6"},
        PropertyCase{"BooleanTrue", std::vector<bool>{true}, 260, 0, 0, L"1"},
        PropertyCase{"BooleanFalse", std::vector<bool>{false}, 260, 0, 0, L"0"},
        PropertyCase{"EmptyStringBetweenOthers", Strings{L"a", L"", L"c"}, 260, 0, 0, L"a;;c"},
        PropertyCase{"ExactFit", Strings{L"12", L"45"}, 6, 0, 0, L"12;45"},
        PropertyCase{"TextOfBufferSize", Strings{L"12", L"45"}, 5, 27, 5, L"#", 6},
        PropertyCase{"NoBuffer", Strings{L"12", L"45"}, 0, 27, 5, L"#", 6},
        PropertyCase{"Octets", std::vector<std::vector<BYTE>>{{0x12, 0x34}}, 260, 27, 4, L"#"},
        PropertyCase{"Missing", Stored{}, 260, 4, static_cast<uint32_t>(E_ADS_PROPERTY_NOT_FOUND), L"#"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(DirectoryTest, ClosedObjectRefusesCallsAndDeletesNothing)
{
    wchar_t buffer[260];
    uint32_t required = 0;
    IADs* held = nullptr;
    VLibADObject object;
    EXPECT_STATUS(27, 3, Find(object, L"EVS9"));
    KvLab::ClearDirectoryBinds();
    EXPECT_STATUS(27, 6, object.Delete());
    EXPECT_TRUE(CLabScenario::DirectoryObjectExists(Evs(L"EVS1")));
    EXPECT_TRUE(KvLab::DirectoryBinds().empty());
    EXPECT_STATUS(27, 6, object.GetPropertyValue(L"versionNumber", buffer, 260, &required));
    EXPECT_STATUS(27, 6, object.GetIADs(&held));

    ASSERT_TRUE(Find(object).IsSuccess());
    EXPECT_STATUS(27, 1, object.GetPropertyValue(nullptr, buffer, 260, &required));
    EXPECT_STATUS(27, 1, object.GetPropertyValue(L"cn", buffer, 260, nullptr));
}

// Objects are added to the fixture's domain before the call.
struct FailureCase
{
    const char* label;
    std::vector<std::pair<std::wstring, const wchar_t*>> objects;
    std::function<CStatus(CLabScenario&)> run;
    uint32_t category, code;
};

using FailureTest = DirectoryParamTest<FailureCase>;

TEST_P(FailureTest, ReachesTheCaller)
{
    for (const auto& [dn, className] : GetParam().objects)
        ASSERT_TRUE(_lab.AddDirectoryObject(dn, className));
    EXPECT_STATUS(GetParam().category, GetParam().code, GetParam().run(_lab));
}

// A fault injected into the n-th call of a bind or of a directory object's
// method, whichever object it hits.
std::function<CStatus(CLabScenario&)> Failing(KvLab::Entry entry, uint32_t call, DWORD error, bool account = false)
{
    return [=](CLabScenario&) {
        KvLab::FailCall(entry, call, error);
        return account ? FindAccount(L"NODE2") : Find();
    };
}

std::function<CStatus(CLabScenario&)> FailBind(uint32_t call, DWORD error, bool account = false)
{
    return Failing(KvLab::Entry::ADsOpenObject, call, error, account);
}

// A property read whose n-th call of entry fails.
std::function<CStatus(CLabScenario&)> FailRead(KvLab::Entry entry, uint32_t call, DWORD error)
{
    return [=](CLabScenario&) {
        VLibADObject object;
        EXPECT_TRUE(Find(object).IsSuccess());
        KvLab::FailCall(entry, call, error);
        wchar_t buffer[260] = {};
        uint32_t required = 0;
        return object.GetPropertyValue(L"cn", buffer, 260, &required);
    };
}

// A bind with credentials.
CStatus FindAs(const wchar_t* user, const wchar_t* password)
{
    VLibADObject object;
    return Find(object, L"EVS1", kExchangeServer, 2, nullptr, user, password);
}

const std::pair<std::wstring, const wchar_t*> kNode1{Computer(L"NODE1"), L"computer"};

INSTANTIATE_TEST_SUITE_P(
    Cases, FailureTest,
    ::testing::Values(
        FailureCase{"NoObject", {}, [](CLabScenario&) { return Find(L"EVS2"); }, 27, 3},
        FailureCase{"SameCommonNameTwice",
                    {{L"CN=Other," + kConfiguration, L"container"},
                     {L"CN=EVS1,CN=Other," + kConfiguration, kExchangeServer}},
                    [](CLabScenario&) { return Find(); }, 27, 2},
        FailureCase{"OtherContext", {kNode1}, [](CLabScenario&) { return Find(L"NODE1", L"computer", 2); }, 27, 3},
        FailureCase{"OtherClass", {}, [](CLabScenario&) { return Find(L"EVS1", L"computer", 2); }, 27, 3},
        FailureCase{"NoDomain", {}, [](CLabScenario& lab) { lab.Reset(); return Find(); }, 4,
                    static_cast<uint32_t>(HRESULT_FROM_WIN32(ERROR_NO_SUCH_DOMAIN))},
        FailureCase{"FirstBind", {}, FailBind(1, 0x8007203Au), 4, 0x8007203Au},
        FailureCase{"SecondBind", {}, FailBind(2, ERROR_ACCESS_DENIED), 4, 0x80070005u},
        FailureCase{"ThirdBind", {}, FailBind(3, 0x8007052Eu), 4, 0x8007052Eu},
        FailureCase{"AccountWithoutName", {}, [](CLabScenario&) { return FindAccount(nullptr); }, 27, 1},
        FailureCase{"CredentialsWithoutPassword", {}, [](CLabScenario&) { return FindAccount(L"NODE1", 1); }, 27, 1},
        FailureCase{"AccountTwice",
                    {kNode1, {L"OU=Servers," + kDomain, L"organizationalUnit"},
                     {L"CN=NODE1,OU=Servers," + kDomain, L"computer"}},
                    [](CLabScenario&) { return FindAccount(L"NODE1"); }, 27, 2},
        FailureCase{"AccountBind", {}, FailBind(1, ERROR_ACCESS_DENIED, true), 4, 0x80070005u},
        // The domain controller refuses a wrong password, an unknown account and one without rights.
        FailureCase{"WrongPassword", {}, [](CLabScenario&) { return FindAs(L"lab\\ADMIN", L"secret1"); }, 4,
                    0x8007052Eu},
        FailureCase{"UnknownAccount", {}, [](CLabScenario&) { return FindAs(L"LAB\\nobody", L"Secret1"); }, 4,
                    0x8007052Eu},
        FailureCase{"AccountWithoutRights", {},
                    [](CLabScenario& lab) {
                        EXPECT_TRUE(lab.AddDirectoryAccount(L"LAB\\guest", L"Guest1", false));
                        return FindAs(L"LAB\\guest", L"Guest1");
                    },
                    4, 0x80072098u},
        // Each failing method of the search and of the property read reaches the caller.
        FailureCase{"ExecuteSearch", {}, Failing(KvLab::Entry::DirectoryExecuteSearch, 1, 0x80072020u), 4,
                    0x80072020u},
        FailureCase{"FirstRow", {}, Failing(KvLab::Entry::DirectoryGetNextRow, 1, 0x80072020u), 4, 0x80072020u},
        FailureCase{"NextRow", {}, Failing(KvLab::Entry::DirectoryGetNextRow, 2, 0x80072020u), 4, 0x80072020u},
        FailureCase{"Column", {}, Failing(KvLab::Entry::DirectoryGetColumn, 1, 0x80072020u), 4, 0x80072020u},
        FailureCase{"NamingContext", {}, Failing(KvLab::Entry::DirectoryGet, 2, 0x8000500Du), 4, 0x8000500Du},
        FailureCase{"Refresh", {}, FailRead(KvLab::Entry::DirectoryGetInfoEx, 1, 0x80072030u), 4, 0x80072030u},
        FailureCase{"Values", {}, FailRead(KvLab::Entry::DirectoryGetEx, 1, 0x8000500Du), 4, 0x8000500Du}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(DirectoryTest, OnlyObjectOfAClassTakesItsRelativeName)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=First Administrative Group," + kConfiguration, L"msExchAdminGroup"));
    VLibADObject object;
    EXPECT_STATUS(27, 1, object.Initialize(L"msExchAdminGroup", 0, nullptr, nullptr, nullptr));
    ASSERT_TRUE(object.Initialize(L"msExchAdminGroup", 2, nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_STREQ(L"CN=First Administrative Group", object.GetName());
    // A second Initialize lets the first object go (the fixture counts them).
    ASSERT_TRUE(Find(object).IsSuccess());
    EXPECT_STREQ(L"EVS1", object.GetName());

    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=Second Group," + kConfiguration, L"msExchAdminGroup"));
    EXPECT_STATUS(27, 2, object.Initialize(L"msExchAdminGroup", 2, nullptr, nullptr, nullptr));
}

struct BindCase
{
    const wchar_t *server, *userName, *password, *rootPath;
};

using BindTest = DirectoryParamTest<BindCase>;

TEST_P(BindTest, EveryBindGetsThePathAndCredentials)
{
    ASSERT_TRUE(_lab.AddDirectoryServer(L"DC1"));
    const BindCase& bind = GetParam();
    VLibADObject object;
    ASSERT_TRUE(Find(object, L"EVS1", kExchangeServer, 2, bind.server, bind.userName, bind.password).IsSuccess());

    const std::pair<std::wstring, IID> expected[] = {{bind.rootPath, IID_IADs},
                                                     {L"LDAP://" + kConfiguration, IID_IDirectorySearch},
                                                     {L"LDAP://" + Evs(L"EVS1"), IID_IADs}};
    const auto binds = KvLab::DirectoryBinds();
    ASSERT_EQ(3u, binds.size());
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(expected[i], std::make_pair(binds[i].path, binds[i].iid));
    const auto given = [](const wchar_t* text)
    { return text && *text ? std::optional<std::wstring>(text) : std::nullopt; };
    for (const auto& seen : binds)
    {
        EXPECT_EQ(static_cast<DWORD>(ADS_SECURE_AUTHENTICATION), seen.flags);
        EXPECT_EQ(given(bind.userName), seen.userName) << "empty credentials must reach ADSI as null";
        EXPECT_EQ(given(bind.password), seen.password);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, BindTest,
                         ::testing::Values(BindCase{nullptr, nullptr, nullptr, L"LDAP://rootDSE"},
                                           BindCase{L"DC1", nullptr, nullptr, L"LDAP://DC1/rootDSE"},
                                           BindCase{L"", L"", L"", L"LDAP://rootDSE"},
                                           BindCase{nullptr, L"LAB\\admin", L"Secret1", L"LDAP://rootDSE"}));

TEST_F(DirectoryTest, SearchRefusesBadArgumentsBeforeBinding)
{
    VLibADHelper search;
    std::vector<Microsoft::WRL::ComPtr<IADs>> found;
    EXPECT_STATUS(27, 6, search.Search(L"*", L"computer", found, 1, nullptr));
    ASSERT_TRUE(search.Initialize(nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_EQ(kDomain, search.GetNamingContext(1));
    EXPECT_EQ(kConfiguration, search.GetNamingContext(2));
    EXPECT_EQ(kSchema, search.GetNamingContext(3));
    EXPECT_EQ(nullptr, search.GetNamingContext(4));
    EXPECT_STATUS(27, 1, search.Search(L"*", L"computer", found, 4, nullptr));
    EXPECT_STATUS(27, 1, search.Search(L"*", L"computer", found, -1, nullptr));
    EXPECT_STATUS(27, 1, search.Search(L"*", L"computer", found, 0, nullptr));
    EXPECT_STATUS(27, 1, search.Search(nullptr, L"computer", found, 1, nullptr));
    EXPECT_STATUS(27, 1, search.Search(L"*", nullptr, found, 1, nullptr));
    EXPECT_EQ(1u, KvLab::DirectoryBinds().size()) << "only the root DSE may have been bound";
    EXPECT_TRUE(found.empty());
    VLibADHelper unknownServer;
    EXPECT_STATUS(4, HRESULT_FROM_WIN32(ERROR_DS_SERVER_DOWN), unknownServer.Initialize(L"DC9", nullptr, nullptr));
    EXPECT_FALSE(unknownServer.IsInitialized());
}

TEST_F(DirectoryTest, DeleteOfContainerRemovesItsSubtreeOnly)
{
    const std::wstring store = L"CN=InformationStore," + Evs(L"EVS2");
    ASSERT_TRUE(_lab.AddDirectoryObject(Evs(L"EVS2"), kExchangeServer));
    ASSERT_TRUE(_lab.AddDirectoryObject(Evs(L"EVS20"), kExchangeServer));
    ASSERT_TRUE(_lab.AddDirectoryObject(store, L"msExchInformationStore"));
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=SG1," + store, L"msExchStorageGroup"));
    VLibADObject object;
    ASSERT_TRUE(Find(object, L"EVS2").IsSuccess());

    EXPECT_STATUS(0, 0, object.Delete());
    EXPECT_FALSE(object.IsInitialized());
    EXPECT_FALSE(CLabScenario::DirectoryObjectExists(Evs(L"EVS2")));
    EXPECT_FALSE(CLabScenario::DirectoryObjectExists(L"CN=SG1," + store));
    EXPECT_TRUE(CLabScenario::DirectoryObjectExists(Evs(L"EVS20")));
    EXPECT_TRUE(CLabScenario::DirectoryObjectExists(kServers));
}

// Every directory object is a container, so a computer account goes as a domain
// controller's objects do: through its own delete operations, with no further bind.
TEST_F(DirectoryTest, DeleteOfAnAccountGoesThroughItsOwnDeleteOps)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(Computer(L"NODE1"), L"computer"));
    VLibADObject object;
    ASSERT_TRUE(Find(object, L"NODE1", L"computer", 1, nullptr, L"LAB\\admin", L"Secret1").IsSuccess());
    KvLab::ClearDirectoryBinds();

    EXPECT_STATUS(0, 0, object.Delete());
    EXPECT_FALSE(CLabScenario::DirectoryObjectExists(Computer(L"NODE1")));
    EXPECT_TRUE(KvLab::DirectoryBinds().empty());
    EXPECT_EQ(1u, KvLab::CallCount(KvLab::Entry::DirectoryDeleteObject));
}

TEST_F(DirectoryTest, FailedDeleteKeepsTheObject)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(Computer(L"NODE1"), L"computer"));
    VLibADObject object;
    ASSERT_TRUE(Find(object, L"NODE1", L"computer", 1).IsSuccess());
    KvLab::FailCall(KvLab::Entry::DirectoryDeleteObject, 1, 0x80072098u);
    EXPECT_STATUS(4, 0x80072098u, object.Delete());
    EXPECT_TRUE(object.IsInitialized());
    EXPECT_TRUE(CLabScenario::DirectoryObjectExists(Computer(L"NODE1")));
}

// A hole in the tree: refused by the builder; a domain loaded with one, as a
// scenario file may leave it, serves no bind.
TEST_F(DirectoryTest, ObjectWithoutItsParentBreaksTheDomain)
{
    const std::wstring orphan = L"CN=EVS3,CN=Gone," + kConfiguration;
    EXPECT_FALSE(_lab.AddDirectoryObject(orphan, kExchangeServer));
    EXPECT_STATUS(0, 0, Find());
    const std::wstring key = KvLab::DirectoryObjectsPath() + L"\\Orphan";
    for (const auto& [name, text] : {std::pair(L"DistinguishedName", orphan), {L"Class", kExchangeServer}})
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_SZ, text.c_str(),
                                                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    EXPECT_STATUS(4, HRESULT_FROM_WIN32(ERROR_DS_NO_PARENT_OBJECT), Find());
}

TEST_F(DirectoryTest, MissingAccountInitialisesWithoutAnObject)
{
    VLibADCompObject account;
    ASSERT_TRUE(account.Initialize(L"NODE1", 0, nullptr, nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_TRUE(account.IsInitialized());
    EXPECT_FALSE(account.Exists());
    EXPECT_STREQ(L"NODE1", account.GetName());
    IADs* held = nullptr;
    EXPECT_STATUS(27, 6, account.Delete());
    EXPECT_STATUS(27, 6, account.GetIADs(&held));
    EXPECT_TRUE(CLabScenario::DirectoryObjectExists(kComputers));
}

TEST_F(DirectoryTest, ExistingAccountIsDeletedAndTheObjectCloses)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(Computer(L"EVS1"), L"computer"));
    VLibADCompObject account;
    ASSERT_TRUE(account.Initialize(L"evs1", 0, nullptr, nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_TRUE(account.Exists());
    // The lock is held only while the account is being found.
    EXPECT_FALSE(unique_handle(::OpenMutexW(SYNCHRONIZE, FALSE, L"LibAD_GlobalMembers")).is_valid());

    EXPECT_STATUS(0, 0, account.Delete());
    EXPECT_FALSE(account.IsInitialized());
    EXPECT_FALSE(account.Exists());
    EXPECT_FALSE(CLabScenario::DirectoryObjectExists(Computer(L"EVS1")));
}

TEST_F(DirectoryTest, ManagedCredentialsNeedTheEntryPointsBeforeAnyBind)
{
    // The class only looks into modules the process already has.
    unique_hmodule netapi(::LoadLibraryW(L"netapi32.dll"));
    ASSERT_TRUE(netapi.is_valid());
    const bool available = ::GetProcAddress(netapi.get(), "DsGetDcNameWithAccountW") != nullptr;

    VLibADCompObject account;
    const CStatus status = account.Initialize(L"NODE1", 1, L"AccountPassword1", nullptr, nullptr, nullptr);
    EXPECT_STATUS(available ? 0 : 2, available ? 0 : ERROR_PROC_NOT_FOUND, status);
    EXPECT_EQ(available, account.IsInitialized());
    EXPECT_FALSE(account.Exists());
    if (!available)
        EXPECT_TRUE(KvLab::DirectoryBinds().empty());
}
} // namespace
