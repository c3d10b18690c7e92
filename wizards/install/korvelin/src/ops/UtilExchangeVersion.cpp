// CUtil's Exchange version operations: the node's setup values, its services
// and roles, the directory's version of a virtual server and the catalogue.
#include "Util.h"

#include "FunctionLog.h"
#include "LibADHelper.h"
#include "LibADObject.h"
#include "LibLogger.h"
#include "LibRegistry.h"
#include "LibSCM.h"
#include "LibXMLReader.h"
#include "StringIds.h"

#include <cwchar>

namespace
{
constexpr wchar_t kExchangeKey[] = L"SOFTWARE\\Microsoft\\Exchange\\v8.0";
constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Microsoft\\Exchange\\v8.0\\Setup";
constexpr wchar_t kMajorValue[] = L"MsiProductMajor";
constexpr wchar_t kMinorValue[] = L"MsiProductMinor";
constexpr wchar_t kInformationStoreKey[] = L"SYSTEM\\CurrentControlSet\\Services\\MSExchangeIS\\ParametersSystem";
constexpr wchar_t kThisServerValue[] = L"This Server";
constexpr wchar_t kCatalogueFile[] = L"\\bin\\Dado2007Dadev\\ExchangeUpgrade.xml";
constexpr DWORD kExchange2007Major = 8;
constexpr DWORD kLastMinor = 5;
constexpr DWORD kManagerAllAccess = 0xF003F;
constexpr size_t kVersionBuffer = 260;

// Exchange 2007 is there only when all three are.
constexpr const wchar_t* kExchangeServices[] = {L"MSExchangeSA", L"MSExchangeIS", L"MSExchangeADTopology"};

struct RoleKey
{
    const wchar_t* name;
    uint32_t bit;
};
constexpr RoleKey kRoleKeys[] = {
    {L"MailBoxRole", CUtil::kMailboxRole},
    {L"ClientAccessRole", CUtil::kClientAccessRole},
    {L"HubTransportRole", CUtil::kHubTransportRole},
    {L"UnifiedServerRole", CUtil::kUnifiedMessagingRole},
    {L"EdgeTransportRole", CUtil::kEdgeTransportRole},
};

const CExchVersionEntry kDefaultToUpgrade[] = {{L"1912636077", 6}, {L"1912701168", 7}};
const CExchVersionEntry kDefaultUpgradeVersion = {L"1912766640", 8};
} // namespace

uint32_t CUtil::CodeOfMinor(DWORD minor, uint32_t otherMinor) noexcept
{
    return minor <= kLastMinor ? kFirstRelease + minor : otherMinor;
}

CStatus CUtil::GetExchangeVersion(const wchar_t* computer, uint32_t& code) noexcept
{
    KV_LOG_FUNCTION();
    code = kOtherRelease;
    DWORD major = 0;
    CStatus status = CLibRegistry::ReadRegistryDWORDValue(computer, HKEY_LOCAL_MACHINE, kSetupKey, kMajorValue, major);
    if (status.IsFailed())
        return status;
    if (major != kExchange2007Major)
        return status;
    code = kFirstRelease;
    DWORD minor = 0;
    if (CLibRegistry::ReadRegistryDWORDValue(computer, HKEY_LOCAL_MACHINE, kSetupKey, kMinorValue, minor).IsSuccess())
        code = CodeOfMinor(minor, kOtherRelease);
    return status;
}

CStatus CUtil::IsE2K7Installed(uint32_t& code, std::wstring& serverName, uint32_t& roles) noexcept
{
    KV_LOG_FUNCTION();
    code = kNotInstalled;
    VLibSCM manager;
    CStatus status = manager.Open(nullptr, kManagerAllAccess);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"VLibSCM::Open()", status);
        VLibThreadLogQueue::Global().Dump();
        return status;
    }
    for (const wchar_t* service : kExchangeServices)
    {
        bool installed = false;
        status = manager.IsServiceInstalled(service, installed);
        if (status.IsFailed())
        {
            KV_LOG_FAILED(L"VLibSCM::IsServiceInstalled()", status);
            VLibThreadLogQueue::Global().Dump();
            return status;
        }
        if (!installed)
        {
            KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_SERVICE_MISSING, service);
            return status;
        }
    }

    // Unlike GetExchangeVersion, a release this wizard does not know still
    // counts as Exchange 2007 here.
    code = kFirstRelease;
    DWORD minor = 0;
    if (CLibRegistry::ReadRegistryDWORDValue(nullptr, HKEY_LOCAL_MACHINE, kSetupKey, kMinorValue, minor).IsSuccess())
        code = CodeOfMinor(minor, kFirstRelease);

    const CStatus name =
        CLibRegistry::ReadRegistryStringValue(nullptr, HKEY_LOCAL_MACHINE, kInformationStoreKey, kThisServerValue,
                                              serverName);
    if (name.IsFailed())
        KV_LOG_FAILED(L"CLibRegistry::ReadRegistryStringValue(Services\\MSExchangeIS\\ParametersSystem\\ThisServer)",
                      name);

    CLibRegistry::NameList keys;
    status = CLibRegistry::EnumerateKeys(nullptr, HKEY_LOCAL_MACHINE, kExchangeKey, keys);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"CLibRegistry::EnumerateKeys()", status);
        return status;
    }
    uint32_t found = 0;
    for (const std::wstring& key : keys)
        for (const RoleKey& role : kRoleKeys)
            if (::lstrcmpiW(key.c_str(), role.name) == 0)
                found |= role.bit;
    roles = found;
    return status;
}

CStatus CUtil::GetEVSVersionFromAD(const std::wstring& evsName, std::wstring& version) noexcept
{
    KV_LOG_FUNCTION();
    VLibADObject object;
    // Exchange server objects live in the configuration naming context.
    CStatus status = object.Initialize(evsName.c_str(), L"msExchExchangeServer",
                                       VLibADHelper::kConfigurationNamingContext, nullptr, nullptr, nullptr);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"VLibADObject::Initialize()", status);
        KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_INFORMATION, evsName.c_str());
        VLibThreadLogQueue::Global().Dump();
        return status;
    }
    wchar_t text[kVersionBuffer] = {};
    uint32_t required = 0;
    status = object.GetPropertyValue(L"versionNumber", text, kVersionBuffer, &required);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"VLibADObject::GetPropertyValue()", status);
        KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_INFORMATION, evsName.c_str());
        VLibThreadLogQueue::Global().Dump();
        return status;
    }
    try
    {
        version = text;
        const std::wstring line = L"EVSName=" + evsName + L" Version= " + version;
        KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_INFORMATION, line.c_str());
    }
    catch (...)
    {
        status.Set(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    return status;
}

CStatus CUtil::GetExchangeVersionListFromXML(CExchVersionList& list) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = CStatus::Success();
    wchar_t home[MAX_PATH + 1] = {};
    // A value too long for the buffer is reported by its length alone: clear
    // the error first so an earlier call's is never passed off as this one's.
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(L"QLX_HOME", home, MAX_PATH);
    const DWORD error = ::GetLastError();
    if (length == 0 || length > MAX_PATH)
    {
        status.Set(CStatus::kWin32, error);
        return status;
    }

    try
    {
        CXMLReader reader;
        status = reader.LoadXmlFile(std::wstring(home) + kCatalogueFile, L"");
        if (status.IsFailed())
            return status;

        auto failed = [&](const wchar_t* format) {
            KV_LOG_TEXT(LOG_ERROR, 0, format, static_cast<int>(status.GetCategory()),
                        static_cast<int>(status.GetCode()));
            return status;
        };

        // An entry's version code, then its directory version: the first failure decides.
        auto readEntry = [&reader](const CXMLReader::NodePtr& node, const wchar_t* codeName, std::wstring& code,
                                   const wchar_t* versionName, std::wstring& adVersion) {
            CStatus read = reader.GetAttributeValueForNode(node, codeName, code);
            return read.IsSuccess() ? reader.GetAttributeValueForNode(node, versionName, adVersion) : read;
        };

        CXMLReader::NodeListPtr elements;
        CXMLReader::NodePtr versions;
        status = reader.GetFirstElement(L"ExchangeNonUpgradedVersion", elements, versions);
        if (status.IsFailed())
            return failed(L"CXMLReader::GetFirstElement() Failed. Error Type : %d , Error Code : %d ");
        CXMLReader::NodeListPtr children;
        status = reader.GetChildNodeList(children, versions);
        if (status.IsFailed())
            return failed(L"CXMLReader::GetChildNodeList() Failed. Error Type : %d , Error Code : %d ");
        long count = 0;
        status = reader.GetLength(children, count);
        if (status.IsFailed())
            return failed(L"CXMLReader::GetLength() Failed. Error Type : %d , Error Code : %d ");

        for (long i = 0; i < count; ++i)
        {
            CXMLReader::NodePtr child;
            status = reader.GetNextElement(children, child);
            if (status.IsFailed())
                return failed(L"CXMLReader::GetNextElement() Failed. Error Type : %d , Error Code : %d ");
            std::wstring code, adVersion;
            status = readEntry(child, L"ExchQLXVersion", code, L"ExchADVersion", adVersion);
            if (status.IsFailed())
                return failed(L"CXMLReader::GetAttributeValueForNode() Failed. Error Type : %d , Error Code : %d ");
            list.toUpgrade.push_back({adVersion, static_cast<int32_t>(_wtoi(code.c_str()))});
        }

        CXMLReader::NodePtr upgrade;
        status = reader.GetFirstElement(L"ExchangeUpgeadeVersion", elements, upgrade);
        if (status.IsFailed())
            return failed(L"\nError!\nCXMLReader::GetFirstElement() FAILED. \tType = %d \tCode =  %d");
        std::wstring code, adVersion;
        status = readEntry(upgrade, L"QLXVersion", code, L"ADVersion", adVersion);
        if (status.IsFailed())
        {
            KV_LOG_TEXT(LOG_ERROR, 0, L"\nFailed to get the Product NAME Atrribute.");
            return failed(L"\nError!\nCXMLReader::GetAttributeValueForNode() FAILED. \tType = %d \tCode =  %d");
        }
        list.upgradeVersion = {adVersion, static_cast<int32_t>(_wtoi(code.c_str()))};
    }
    catch (...)
    {
        status.Set(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    return status;
}

void CUtil::SetDefaultExchangeVersionList(CExchVersionList& list) noexcept
{
    try
    {
        list.toUpgrade.assign(std::begin(kDefaultToUpgrade), std::end(kDefaultToUpgrade));
        list.upgradeVersion = kDefaultUpgradeVersion;
    }
    catch (...)
    {
        list.toUpgrade.clear();
    }
}

bool CUtil::IsVersionInList(const std::vector<CExchVersionEntry>& list, const std::wstring& version) noexcept
{
    bool found = false;
    for (const CExchVersionEntry& entry : list)
        found = found || ::lstrcmpiW(entry.adVersion.c_str(), version.c_str()) == 0;
    return found;
}

bool CUtil::IsVersionCodeInList(const std::vector<CExchVersionEntry>& list, int32_t code) noexcept
{
    bool found = false;
    for (const CExchVersionEntry& entry : list)
        found = found || entry.code == code;
    return found;
}
