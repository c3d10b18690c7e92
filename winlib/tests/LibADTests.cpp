// The directory classes against the lab's domain.
#include "LabDirectory.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "LibADCompObject.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <functional>

namespace
{
const std::wstring kDomain = L"DC=lab,DC=test";
const std::wstring kConfiguration = L"CN=Configuration,DC=lab,DC=test";
const std::wstring kSchema = L"CN=Schema,CN=Configuration,DC=lab,DC=test";
const std::wstring kServers = L"CN=Servers,CN=Configuration,DC=lab,DC=test";
const std::wstring kComputers = L"CN=Computers,DC=lab,DC=test";
constexpr wchar_t kExchangeServer[] = L"msExchExchangeServer";
constexpr HRESULT kNoSuchObject = HRESULT_FROM_WIN32(ERROR_DS_NO_SUCH_OBJECT);

std::wstring Evs(const std::wstring& name)
{
    return L"CN=" + name + L"," + kServers;
}

std::wstring Computer(const std::wstring& name)
{
    return L"CN=" + name + L"," + kComputers;
}

class CTraceOutput : public VLibLogImpl
{
public:
    void WriteDump(const char*, uint32_t, const char*, const wchar_t* message) noexcept override
    {
        lines.push_back(message);
    }
    std::vector<std::wstring> lines;
};

class DirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        _previousOutput = _queue.GetLogImpl();
        _queue.SetLogImpl(&_traces);
        _queue.RegisterThread();
        ASSERT_TRUE(_lab.SetDirectoryRoot(kDomain, kConfiguration, kSchema));
        ASSERT_TRUE(_lab.AddDirectoryObject(kServers, L"msExchServersContainer", true));
        ASSERT_TRUE(_lab.AddDirectoryObject(kComputers, L"container", true));
        KvLab::ClearDirectoryBinds();
    }
    void TearDown() override
    {
        EXPECT_EQ(0, KvLab::DirectoryLiveObjects()) << "a directory object, search or column was not released";
        _queue.ClearAll();
        _queue.SetLogImpl(_previousOutput);
        ::CoUninitialize();
    }

    bool AddEvs(const std::wstring& name, bool container = false)
    {
        return _lab.AddDirectoryObject(Evs(name), kExchangeServer, container);
    }

    bool Traced(const std::wstring& text)
    {
        _queue.Dump();
        for (const auto& line : _traces.lines)
            if (line.find(text) != std::wstring::npos)
                return true;
        return false;
    }

    CLabScenario _lab;
    VLibThreadLogQueue& _queue = VLibThreadLogQueue::Global();
    VLibLogImpl* _previousOutput = nullptr;
    CTraceOutput _traces;
};

template <typename Case>
class DirectoryParamTest : public DirectoryTest, public ::testing::WithParamInterface<Case>
{
};

#define EXPECT_STATUS(category, code, status)                                                                      \
    do                                                                                                             \
    {                                                                                                              \
        const CStatus expectStatus_ = (status);                                                                    \
        EXPECT_EQ(static_cast<uint32_t>(category), expectStatus_.GetCategory());                                  \
        EXPECT_EQ(static_cast<uint32_t>(code), expectStatus_.GetCode());                                          \
    } while (0)

// --- reading a property as text -------------------------------------------------

struct PropertyCase
{
    const char* label;
    std::function<bool(CLabScenario&, const std::wstring&)> store;
    const wchar_t* text;
};

using PropertyTextTest = DirectoryParamTest<PropertyCase>;

TEST_P(PropertyTextTest, ValuesBecomeTextJoinedBySemicolons)
{
    ASSERT_TRUE(AddEvs(L"EVS1"));
    ASSERT_TRUE(GetParam().store(_lab, Evs(L"EVS1")));
    VLibADObject object;
    ASSERT_TRUE(object.Initialize(L"EVS1", kExchangeServer, 2, nullptr, nullptr, nullptr).IsSuccess());

    wchar_t buffer[260];
    uint32_t required = 12345;
    EXPECT_STATUS(0, 0, object.GetPropertyValue(L"versionNumber", buffer, ARRAYSIZE(buffer), &required));
    EXPECT_EQ(std::wstring(GetParam().text), buffer);
    EXPECT_EQ(12345u, required) << "the required size is written only when the text does not fit";
}

INSTANTIATE_TEST_SUITE_P(
    Values, PropertyTextTest,
    ::testing::Values(
        PropertyCase{"OneInteger",
                     [](CLabScenario& lab, const std::wstring& dn) {
                         return lab.SetDirectoryIntegers(dn, L"versionNumber", {1912766640});
                     },
                     L"1912766640"},
        PropertyCase{"NegativeInteger",
                     [](CLabScenario& lab, const std::wstring& dn) {
                         return lab.SetDirectoryIntegers(dn, L"versionNumber", {-7});
                     },
                     L"-7"},
        PropertyCase{"TwoStrings",
                     [](CLabScenario& lab, const std::wstring& dn) {
                         return lab.SetDirectoryStrings(dn, L"versionNumber", {L"Version 8.1", L"Build 240.6"});
                     },
                     L"Version 8.1;Build 240.6"},
        PropertyCase{"BooleanTrue",
                     [](CLabScenario& lab, const std::wstring& dn) {
                         return lab.SetDirectoryBooleans(dn, L"versionNumber", {true});
                     },
                     L"1"},
        PropertyCase{"BooleanFalse",
                     [](CLabScenario& lab, const std::wstring& dn) {
                         return lab.SetDirectoryBooleans(dn, L"versionNumber", {false});
                     },
                     L"0"},
        PropertyCase{"EmptyStringBetweenOthers",
                     [](CLabScenario& lab, const std::wstring& dn) {
                         return lab.SetDirectoryStrings(dn, L"versionNumber", {L"a", L"", L"c"});
                     },
                     L"a;;c"}),
    [](const auto& info) { return std::string(info.param.label); });

// A text of n characters needs n + 1; the buffer is left alone when short.
struct BufferCase
{
    uint32_t bufferChars;
    uint32_t category;
    uint32_t code;
};

using PropertyBufferTest = DirectoryParamTest<BufferCase>;

TEST_P(PropertyBufferTest, TextMustFitWithItsTerminator)
{
    ASSERT_TRUE(AddEvs(L"EVS1"));
    ASSERT_TRUE(_lab.SetDirectoryStrings(Evs(L"EVS1"), L"versionNumber", {L"12", L"45"})); // "12;45"
    VLibADObject object;
    ASSERT_TRUE(object.Initialize(L"EVS1", kExchangeServer, 2, nullptr, nullptr, nullptr).IsSuccess());

    wchar_t buffer[8] = {L'#', 0};
    uint32_t required = 0;
    const CStatus status = object.GetPropertyValue(L"versionNumber", buffer, GetParam().bufferChars, &required);
    EXPECT_STATUS(GetParam().category, GetParam().code, status);
    if (status.IsSuccess())
        EXPECT_STREQ(L"12;45", buffer);
    else
    {
        EXPECT_EQ(6u, required);
        EXPECT_STREQ(L"#", buffer);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PropertyBufferTest,
                         ::testing::Values(BufferCase{0, 27, 5}, BufferCase{1, 27, 5}, BufferCase{5, 27, 5},
                                           BufferCase{6, 0, 0}));

TEST_F(DirectoryTest, PropertyThatCannotBeTextOrIsMissingFails)
{
    ASSERT_TRUE(AddEvs(L"EVS1"));
    ASSERT_TRUE(_lab.SetDirectoryOctets(Evs(L"EVS1"), L"objectGUID", {{0x12, 0x34}}));
    VLibADObject object;
    ASSERT_TRUE(object.Initialize(L"EVS1", kExchangeServer, 2, nullptr, nullptr, nullptr).IsSuccess());

    wchar_t buffer[260];
    uint32_t required = 0;
    EXPECT_STATUS(27, 4, object.GetPropertyValue(L"objectGUID", buffer, ARRAYSIZE(buffer), &required));
    EXPECT_STATUS(4, E_ADS_PROPERTY_NOT_FOUND, object.GetPropertyValue(L"versionNumber", buffer, 260, &required));
    EXPECT_TRUE(Traced(L"m_pIADs->GetEx returned 0x8000500D"));
    EXPECT_STATUS(27, 1, object.GetPropertyValue(nullptr, buffer, 260, &required));
    EXPECT_STATUS(27, 1, object.GetPropertyValue(L"cn", buffer, 260, nullptr));
}

TEST_F(DirectoryTest, PropertyOfObjectNotInitialisedIsRefused)
{
    VLibADObject object;
    wchar_t buffer[260];
    uint32_t required = 0;
    EXPECT_STATUS(27, 6, object.GetPropertyValue(L"versionNumber", buffer, 260, &required));
}

// --- finding the object -----------------------------------------------------------

TEST_F(DirectoryTest, NoObjectGivesNotFound)
{
    ASSERT_TRUE(AddEvs(L"EVS2"));
    VLibADObject object;
    EXPECT_STATUS(27, 3, object.Initialize(L"EVS1", kExchangeServer, 2, nullptr, nullptr, nullptr));
    EXPECT_FALSE(object.IsInitialized());
    IADs* held = nullptr;
    EXPECT_STATUS(27, 6, object.GetIADs(&held));
}

TEST_F(DirectoryTest, SearchStaysInTheChosenNamingContextAndClass)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(Computer(L"EVS1"), L"computer"));
    VLibADObject object;
    EXPECT_STATUS(27, 3, object.Initialize(L"EVS1", kExchangeServer, 2, nullptr, nullptr, nullptr));
    EXPECT_STATUS(27, 3, object.Initialize(L"EVS1", kExchangeServer, 1, nullptr, nullptr, nullptr));
    EXPECT_STATUS(0, 0, object.Initialize(L"EVS1", L"computer", 1, nullptr, nullptr, nullptr));
}

TEST_F(DirectoryTest, TwoObjectsWithTheSameCommonNameAreAmbiguous)
{
    ASSERT_TRUE(AddEvs(L"EVS1"));
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=EVS1,CN=Other,CN=Configuration,DC=lab,DC=test", kExchangeServer));
    VLibADObject object;
    EXPECT_STATUS(27, 2, object.Initialize(L"EVS1", kExchangeServer, 2, nullptr, nullptr, nullptr));
    EXPECT_FALSE(object.IsInitialized());

    VLibADHelper search;
    ASSERT_TRUE(search.Initialize(nullptr, nullptr, nullptr).IsSuccess());
    std::vector<Microsoft::WRL::ComPtr<IADs>> found;
    EXPECT_STATUS(0, 0, search.Search(L"EVS1", kExchangeServer, found, 2, nullptr));
    EXPECT_EQ(2u, found.size());
}

TEST_F(DirectoryTest, OnlyObjectOfAClassTakesItsRelativeName)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=First Administrative Group," + kConfiguration, L"msExchAdminGroup"));
    VLibADObject object;
    EXPECT_STATUS(27, 1, object.Initialize(L"msExchAdminGroup", 0, nullptr, nullptr, nullptr));
    ASSERT_TRUE(object.Initialize(L"msExchAdminGroup", 2, nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_STREQ(L"CN=First Administrative Group", object.GetName());

    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=Second Group," + kConfiguration, L"msExchAdminGroup"));
    EXPECT_STATUS(27, 2, object.Initialize(L"msExchAdminGroup", 2, nullptr, nullptr, nullptr));
}

TEST_F(DirectoryTest, SecondInitializeReleasesTheFirstObject)
{
    ASSERT_TRUE(AddEvs(L"EVS1"));
    ASSERT_TRUE(AddEvs(L"EVS2"));
    VLibADObject object;
    ASSERT_TRUE(object.Initialize(L"EVS1", kExchangeServer, 2, nullptr, nullptr, nullptr).IsSuccess());
    ASSERT_TRUE(object.Initialize(L"EVS2", kExchangeServer, 2, nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_STREQ(L"EVS2", object.GetName());
    EXPECT_EQ(1, KvLab::DirectoryLiveObjects());
    IADs* held = nullptr;
    ASSERT_TRUE(object.GetIADs(&held).IsSuccess());
    unique_bstr path;
    ASSERT_EQ(S_OK, held->get_ADsPath(&path));
    EXPECT_EQ(L"LDAP://" + Evs(L"EVS2"), path.get());
}

// --- binding ------------------------------------------------------------------------

struct BindCase
{
    const wchar_t* server;
    const wchar_t* userName;
    const wchar_t* password;
    const wchar_t* rootPath;
    const wchar_t* objectPath; // as the search's path column gives it
    bool credentialsArrive;
};

using BindTest = DirectoryParamTest<BindCase>;

TEST_P(BindTest, EveryBindGetsThePathAndCredentials)
{
    ASSERT_TRUE(_lab.AddDirectoryServer(L"DC1"));
    ASSERT_TRUE(AddEvs(L"EVS1"));
    const BindCase& bind = GetParam();
    VLibADObject object;
    ASSERT_TRUE(object.Initialize(L"EVS1", kExchangeServer, 2, bind.server, bind.userName, bind.password).IsSuccess());

    const auto binds = KvLab::DirectoryBinds();
    ASSERT_EQ(3u, binds.size());
    EXPECT_EQ(bind.rootPath, binds[0].path);
    EXPECT_EQ(IID_IADs, binds[0].iid);
    EXPECT_EQ(L"LDAP://" + kConfiguration, binds[1].path);
    EXPECT_EQ(IID_IDirectorySearch, binds[1].iid);
    EXPECT_EQ(bind.objectPath, binds[2].path);
    EXPECT_EQ(IID_IADs, binds[2].iid);
    for (const auto& seen : binds)
    {
        EXPECT_EQ(static_cast<DWORD>(ADS_SECURE_AUTHENTICATION), seen.flags);
        if (bind.credentialsArrive)
        {
            EXPECT_EQ(std::wstring(bind.userName), seen.userName.value_or(L"<null>"));
            EXPECT_EQ(std::wstring(bind.password), seen.password.value_or(L"<null>"));
        }
        else
        {
            EXPECT_FALSE(seen.userName.has_value()) << "empty credentials must reach ADSI as null";
            EXPECT_FALSE(seen.password.has_value());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, BindTest,
    ::testing::Values(BindCase{nullptr, nullptr, nullptr, L"LDAP://rootDSE",
                               L"LDAP://CN=EVS1,CN=Servers,CN=Configuration,DC=lab,DC=test", false},
                      BindCase{L"DC1", nullptr, nullptr, L"LDAP://DC1/rootDSE",
                               L"LDAP://CN=EVS1,CN=Servers,CN=Configuration,DC=lab,DC=test", false},
                      BindCase{L"", L"", L"", L"LDAP://rootDSE",
                               L"LDAP://CN=EVS1,CN=Servers,CN=Configuration,DC=lab,DC=test", false},
                      BindCase{nullptr, L"LAB\\admin", L"Secret1", L"LDAP://rootDSE",
                               L"LDAP://CN=EVS1,CN=Servers,CN=Configuration,DC=lab,DC=test", true}));

TEST_F(DirectoryTest, RootDseGivesTheThreeNamingContexts)
{
    VLibADHelper search;
    ASSERT_TRUE(search.Initialize(nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_EQ(kDomain, search.GetNamingContext(1));
    EXPECT_EQ(kConfiguration, search.GetNamingContext(2));
    EXPECT_EQ(kSchema, search.GetNamingContext(3));
    EXPECT_EQ(nullptr, search.GetNamingContext(4));

    VLibADHelper unknownServer;
    EXPECT_STATUS(4, HRESULT_FROM_WIN32(ERROR_DS_SERVER_DOWN), unknownServer.Initialize(L"DC9", nullptr, nullptr));
    EXPECT_FALSE(unknownServer.IsInitialized());
}

TEST_F(DirectoryTest, SearchRefusesBadArgumentsBeforeBinding)
{
    VLibADHelper notInitialised;
    std::vector<Microsoft::WRL::ComPtr<IADs>> found;
    EXPECT_STATUS(27, 6, notInitialised.Search(L"*", L"computer", found, 1, nullptr));

    VLibADHelper search;
    ASSERT_TRUE(search.Initialize(nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_STATUS(27, 1, search.Search(L"*", L"computer", found, 4, nullptr));
    EXPECT_TRUE(Traced(L"Invalid naming context specified."));
    EXPECT_STATUS(27, 1, search.Search(L"*", L"computer", found, -1, nullptr));
    EXPECT_STATUS(27, 1, search.Search(L"*", L"computer", found, 0, nullptr));
    EXPECT_STATUS(27, 1, search.Search(nullptr, L"computer", found, 1, nullptr));
    EXPECT_STATUS(27, 1, search.Search(L"*", nullptr, found, 1, nullptr));
    EXPECT_EQ(1u, KvLab::DirectoryBinds().size()) << "only the root DSE may have been bound";
    EXPECT_TRUE(found.empty());
}

TEST_F(DirectoryTest, SearchBelowASourceObject)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(Computer(L"NODE1"), L"computer"));
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=NODE2,OU=Servers," + kDomain, L"computer"));
    VLibADHelper search;
    ASSERT_TRUE(search.Initialize(nullptr, nullptr, nullptr).IsSuccess());
    Microsoft::WRL::ComPtr<IADs> computers;
    ASSERT_EQ(S_OK, KvEntry().ADsOpenObject((L"LDAP://" + kComputers).c_str(), nullptr, nullptr, 0, IID_IADs,
                                            reinterpret_cast<void**>(computers.GetAddressOf())));

    std::vector<Microsoft::WRL::ComPtr<IADs>> found;
    ASSERT_TRUE(search.Search(L"*", L"computer", found, 0, computers.Get()).IsSuccess());
    ASSERT_EQ(1u, found.size());
    unique_bstr name;
    ASSERT_EQ(S_OK, found[0]->get_Name(&name));
    EXPECT_STREQ(L"CN=NODE1", name.get());

    Microsoft::WRL::ComPtr<IADs> rootDse;
    ASSERT_EQ(S_OK, KvEntry().ADsOpenObject(L"LDAP://rootDSE", nullptr, nullptr, 0, IID_IADs,
                                            reinterpret_cast<void**>(rootDse.GetAddressOf())));
    EXPECT_STATUS(4, E_NOINTERFACE, search.Search(L"*", L"computer", found, 1, rootDse.Get()));
}

TEST_F(DirectoryTest, NoDomainFailsTheRootBind)
{
    _lab.Reset();
    VLibADObject object;
    EXPECT_STATUS(4, HRESULT_FROM_WIN32(ERROR_NO_SUCH_DOMAIN),
                  object.Initialize(L"EVS1", kExchangeServer, 2, nullptr, nullptr, nullptr));
    EXPECT_TRUE(Traced(L"ADsOpenObject returned 0x8007054B"));
}

// A fault at the k-th bind reaches the caller as 4/<HRESULT>, whichever bind it hits.
struct FaultCase
{
    uint32_t call;
    DWORD error;
    uint32_t code;
};

using BindFaultTest = DirectoryParamTest<FaultCase>;

TEST_P(BindFaultTest, FailedBindIsACOMFailure)
{
    ASSERT_TRUE(AddEvs(L"EVS1"));
    KvLab::FailCall(KvLab::Entry::ADsOpenObject, GetParam().call, GetParam().error);
    VLibADObject object;
    EXPECT_STATUS(4, GetParam().code, object.Initialize(L"EVS1", kExchangeServer, 2, nullptr, nullptr, nullptr));
    EXPECT_FALSE(object.IsInitialized());
    wchar_t expected[64];
    swprintf(expected, ARRAYSIZE(expected), L"ADsOpenObject returned 0x%.08X", GetParam().code);
    EXPECT_TRUE(Traced(expected));
}

INSTANTIATE_TEST_SUITE_P(Binds, BindFaultTest,
                         ::testing::Values(FaultCase{1, 0x8007203Au, 0x8007203Au},
                                           FaultCase{2, ERROR_ACCESS_DENIED, 0x80070005u},
                                           FaultCase{3, 0x8007052Eu, 0x8007052Eu}));

// --- deleting -----------------------------------------------------------------------

TEST_F(DirectoryTest, DeleteOfObjectNotInitialisedDeletesNothing)
{
    ASSERT_TRUE(AddEvs(L"EVS1"));
    VLibADObject object;
    EXPECT_STATUS(27, 3, object.Initialize(L"EVS9", kExchangeServer, 2, nullptr, nullptr, nullptr));
    KvLab::ClearDirectoryBinds();
    EXPECT_STATUS(27, 6, object.Delete());
    EXPECT_TRUE(CLabScenario::DirectoryObjectExists(Evs(L"EVS1")));
    EXPECT_TRUE(KvLab::DirectoryBinds().empty());
}

TEST_F(DirectoryTest, DeleteOfContainerRemovesItsSubtreeOnly)
{
    ASSERT_TRUE(AddEvs(L"EVS1", true));
    ASSERT_TRUE(AddEvs(L"EVS10"));
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=InformationStore," + Evs(L"EVS1"), L"msExchInformationStore", true));
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=SG1,CN=InformationStore," + Evs(L"EVS1"), L"msExchStorageGroup"));
    VLibADObject object;
    ASSERT_TRUE(object.Initialize(L"EVS1", kExchangeServer, 2, nullptr, nullptr, nullptr).IsSuccess());

    EXPECT_STATUS(0, 0, object.Delete());
    EXPECT_FALSE(object.IsInitialized());
    EXPECT_FALSE(CLabScenario::DirectoryObjectExists(Evs(L"EVS1")));
    EXPECT_FALSE(CLabScenario::DirectoryObjectExists(L"CN=SG1,CN=InformationStore," + Evs(L"EVS1")));
    EXPECT_TRUE(CLabScenario::DirectoryObjectExists(Evs(L"EVS10")));
    EXPECT_TRUE(CLabScenario::DirectoryObjectExists(kServers));
}

TEST_F(DirectoryTest, DeleteOfLeafGoesThroughItsParentWithoutCredentials)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(Computer(L"NODE1"), L"computer"));
    VLibADObject object;
    ASSERT_TRUE(object.Initialize(L"NODE1", L"computer", 1, nullptr, L"LAB\\admin", L"Secret1").IsSuccess());
    KvLab::ClearDirectoryBinds();

    EXPECT_STATUS(0, 0, object.Delete());
    EXPECT_FALSE(CLabScenario::DirectoryObjectExists(Computer(L"NODE1")));
    const auto binds = KvLab::DirectoryBinds();
    ASSERT_EQ(1u, binds.size());
    EXPECT_EQ(L"LDAP://" + kComputers, binds[0].path);
    EXPECT_EQ(IID_IADsContainer, binds[0].iid);
    EXPECT_EQ(0u, binds[0].flags);
    EXPECT_FALSE(binds[0].userName.has_value());
    EXPECT_FALSE(binds[0].password.has_value());
}

TEST_F(DirectoryTest, FailedDeleteKeepsTheObject)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=NODE1,OU=Gone," + kDomain, L"computer"));
    VLibADObject object;
    ASSERT_TRUE(object.Initialize(L"NODE1", L"computer", 1, nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_STATUS(4, kNoSuchObject, object.Delete());
    EXPECT_TRUE(Traced(L"ADsOpenObject returned 4, 0x80072030"));
    EXPECT_TRUE(object.IsInitialized());
    EXPECT_TRUE(CLabScenario::DirectoryObjectExists(L"CN=NODE1,OU=Gone," + kDomain));
}

TEST_F(DirectoryTest, OperationsNoPartCallsAreNotSupported)
{
    ASSERT_TRUE(AddEvs(L"EVS1"));
    VLibADObject object;
    ASSERT_TRUE(object.Initialize(L"EVS1", kExchangeServer, 2, nullptr, nullptr, nullptr).IsSuccess());
    ADSTYPE type = ADSTYPE_INVALID;
    std::vector<std::unique_ptr<VLibADObject>> children;
    wchar_t buffer[64];
    uint32_t required = 0;
    EXPECT_STATUS(4, E_NOTIMPL, object.GetPropertyValueType(L"cn", &type));
    EXPECT_STATUS(4, E_NOTIMPL, object.SetPropertyValue(L"cn", nullptr, 0));
    EXPECT_STATUS(4, E_NOTIMPL, object.GetChildObjects(children));
    EXPECT_STATUS(4, E_NOTIMPL, object.GetObjectCategory(buffer, 64, &required));
    EXPECT_STATUS(4, E_NOTIMPL, object.GetGUID(buffer, 64, &required));
    EXPECT_STATUS(4, E_NOTIMPL, object.AddRightsToADObject(L"LAB\\admin", 1));
}

// --- computer accounts --------------------------------------------------------------

TEST_F(DirectoryTest, MissingAccountInitialisesWithoutAnObject)
{
    VLibADCompObject account;
    ASSERT_TRUE(account.Initialize(L"NODE1", 0, nullptr, nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_TRUE(account.IsInitialized());
    EXPECT_FALSE(account.Exists());
    EXPECT_STREQ(L"NODE1", account.GetName());

    IADs* held = nullptr;
    wchar_t buffer[64];
    uint32_t required = 0;
    EXPECT_STATUS(27, 6, account.Delete());
    EXPECT_STATUS(27, 6, account.GetIADs(&held));
    EXPECT_STATUS(27, 6, account.GetPropertyValue(L"cn", buffer, 64, &required));
    EXPECT_TRUE(CLabScenario::DirectoryObjectExists(kComputers));
}

TEST_F(DirectoryTest, ExistingAccountIsDeletedAndTheObjectCloses)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(Computer(L"EVS1"), L"computer"));
    VLibADCompObject account;
    ASSERT_TRUE(account.Initialize(L"evs1", 0, nullptr, nullptr, nullptr, nullptr).IsSuccess());
    EXPECT_TRUE(account.Exists());
    // The lock is held only while the account is being found.
    unique_handle lock(::OpenMutexW(SYNCHRONIZE, FALSE, L"LibAD_GlobalMembers"));
    EXPECT_FALSE(lock.is_valid());

    EXPECT_STATUS(0, 0, account.Delete());
    EXPECT_FALSE(account.IsInitialized());
    EXPECT_FALSE(account.Exists());
    EXPECT_FALSE(CLabScenario::DirectoryObjectExists(Computer(L"EVS1")));
}

TEST_F(DirectoryTest, AccountArgumentsAndOtherFailures)
{
    ASSERT_TRUE(_lab.AddDirectoryObject(Computer(L"NODE1"), L"computer"));
    ASSERT_TRUE(_lab.AddDirectoryObject(L"CN=NODE1,OU=Servers," + kDomain, L"computer"));
    VLibADCompObject account;
    EXPECT_STATUS(27, 1, account.Initialize(nullptr, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STATUS(27, 1, account.Initialize(L"NODE1", 1, nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(KvLab::DirectoryBinds().empty());

    EXPECT_STATUS(27, 2, account.Initialize(L"NODE1", 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(account.IsInitialized());
    EXPECT_TRUE(Traced(L"VLibADObject::Initialize(NODE1) returned (27,0x00000002)"));

    KvLab::FailCall(KvLab::Entry::ADsOpenObject, 1, ERROR_ACCESS_DENIED);
    EXPECT_STATUS(4, 0x80070005u, account.Initialize(L"NODE2", 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(account.IsInitialized());
}

TEST_F(DirectoryTest, ManagedCredentialsNeedTheEntryPointsBeforeAnyBind)
{
    // The class only looks into modules the process already has.
    unique_hmodule netapi(::LoadLibraryW(L"netapi32.dll"));
    ASSERT_TRUE(netapi.is_valid());
    const bool available = ::GetProcAddress(netapi.get(), "DsGetDcNameWithAccountW") != nullptr;

    VLibADCompObject account;
    const CStatus status = account.Initialize(L"NODE1", 1, L"AccountPassword1", nullptr, nullptr, nullptr);
    if (available)
    {
        EXPECT_STATUS(0, 0, status);
        EXPECT_FALSE(account.Exists());
        return;
    }
    EXPECT_STATUS(2, ERROR_PROC_NOT_FOUND, status);
    EXPECT_FALSE(account.IsInitialized());
    EXPECT_TRUE(KvLab::DirectoryBinds().empty());
    EXPECT_TRUE(Traced(L"GetProcAddress(DsGetDcNameWithAccountW) returned 2, 0x0000007F"));
}
} // namespace
