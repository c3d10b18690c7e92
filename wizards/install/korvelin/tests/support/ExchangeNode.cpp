// CExchangeNode: see ExchangeNode.h.
#include "ExchangeNode.h"

#include "LabServiceInstaller.h"
#include "UniqueResource.h"

#include <fstream>

namespace
{
constexpr wchar_t kExchangeKey[] = L"SOFTWARE\\Microsoft\\Exchange";
constexpr wchar_t kConfigKey[] = L"SOFTWARE\\HALVERN\\QLX\\ExchConfig";

void SetDword(const std::wstring& path, const wchar_t* name, DWORD value)
{
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, REG_DWORD, &value, sizeof(value));
}

void CreateKey(const std::wstring& path)
{
    unique_hkey key;
    ::RegCreateKeyW(HKEY_LOCAL_MACHINE, path.c_str(), &key);
}
} // namespace

const std::vector<const wchar_t*> CExchangeNode::kExchangeServices = {L"MSExchangeSA", L"MSExchangeIS",
                                                                      L"MSExchangeADTopology"};
const std::vector<const wchar_t*> CExchangeNode::kAllExchangeServices = {
    L"MSExchangeSA",          L"MSExchangeIS",         L"MSExchangeADTopology", L"MSExchangeMailSubmission",
    L"MSExchangeMailBoxAssistants", L"MSExchangeMonitoring", L"MSExchangeServiceHost", L"MSExchangeRepl",
    L"MSExchangeSearch",      L"MSExchangeTransportLogSearch", L"msftesql-Exchange"};

CExchangeNode::CExchangeNode()
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kExchangeKey);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kConfigKey);
    for (const wchar_t* name : kExchangeServices)
        RemoveLabService(name, nullptr);
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    _home = std::wstring(temp) + L"KvExchangeNode";
}

CExchangeNode::~CExchangeNode()
{
    for (const std::wstring& name : _services)
        RemoveLabService(name, nullptr);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kExchangeKey);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kConfigKey);
    ::DeleteFileW((_home + L"\\bin\\Dado2007Dadev\\ExchangeUpgrade.xml").c_str());
    ::SetEnvironmentVariableW(L"QLX_HOME", nullptr);
}

void CExchangeNode::SetSetupVersion(DWORD major, DWORD minor, const std::wstring& setupKey)
{
    if (major != kUnset)
        SetDword(setupKey, L"MsiProductMajor", major);
    if (minor != kUnset)
        SetDword(setupKey, L"MsiProductMinor", minor);
}

void CExchangeNode::AddRole(const wchar_t* roleKey)
{
    CreateKey(std::wstring(L"SOFTWARE\\Microsoft\\Exchange\\v8.0\\") + roleKey);
}

bool CExchangeNode::InstallServices(const std::vector<const wchar_t*>& names)
{
    for (const wchar_t* name : names)
    {
        if (!InstallLabService(name, std::wstring(name) + L" (lab)", SERVICE_DEMAND_START, {}, nullptr))
            return false;
        _services.push_back(name);
    }
    return true;
}

void CExchangeNode::SetThisServer(const wchar_t* name)
{
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\MSExchangeIS\\ParametersSystem",
                      L"This Server", REG_SZ, name, static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t)));
}

void CExchangeNode::SetExchConfig(DWORD exchVersion, DWORD installState)
{
    SetDword(kConfigKey, L"ExchVersion", exchVersion);
    if (installState)
        SetDword(kConfigKey, L"InstallState", installState);
    CreateKey(std::wstring(kConfigKey) + L"\\EVS\\EVS1\\Systems\\NODE1");
}

void CExchangeNode::SetHomeWithoutCatalogue()
{
    ::DeleteFileW((_home + L"\\bin\\Dado2007Dadev\\ExchangeUpgrade.xml").c_str());
    ::CreateDirectoryW(_home.c_str(), nullptr);
    ::SetEnvironmentVariableW(L"QLX_HOME", _home.c_str());
}

void CExchangeNode::WriteCatalogue(const std::string& xml)
{
    SetHomeWithoutCatalogue();
    for (const wchar_t* sub : {L"\\bin", L"\\bin\\Dado2007Dadev"})
        ::CreateDirectoryW((_home + sub).c_str(), nullptr);
    std::ofstream file((_home + L"\\bin\\Dado2007Dadev\\ExchangeUpgrade.xml").c_str(), std::ios::binary);
    file << xml;
}
