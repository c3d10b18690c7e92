// Makes this test prefix an Exchange node: the setup values and roles in the
// registry, the Exchange services registered from the lab's service, the
// cluster's configuration key and the catalogue below a QLX home. Everything
// is removed again on destruction.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CExchangeNode
{
public:
    CExchangeNode();
    ~CExchangeNode();
    CExchangeNode(const CExchangeNode&) = delete;
    CExchangeNode& operator=(const CExchangeNode&) = delete;

    // A value of kUnset is not written. setupKey below HKLM: this node's by
    // default, or a lab node's (CLabScenario::NodeKeyPath).
    static constexpr DWORD kUnset = 0xFFFFFFFF;
    static constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Microsoft\\Exchange\\v8.0\\Setup";
    void SetSetupVersion(DWORD major, DWORD minor, const std::wstring& setupKey = kSetupKey);
    void AddRole(const wchar_t* roleKey);
    bool InstallServices(const std::vector<const wchar_t*>& names);
    void SetThisServer(const wchar_t* name);
    void SetExchConfig(DWORD exchVersion, DWORD installState);
    // Writes <home>\bin\Dado2007Dadev\ExchangeUpgrade.xml and points QLX_HOME at home.
    void WriteCatalogue(const std::string& xml);
    void SetHomeWithoutCatalogue();

    // Those the installation check asks for; all that the second pass hands to the cluster.
    static const std::vector<const wchar_t*> kExchangeServices, kAllExchangeServices;

private:
    std::vector<std::wstring> _services;
    std::wstring _home;
};
