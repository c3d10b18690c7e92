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

    void SetSetupVersion(DWORD major, DWORD minor);
    void AddRole(const wchar_t* roleKey);
    bool InstallServices(const std::vector<const wchar_t*>& names);
    void SetThisServer(const wchar_t* name);
    void SetExchConfig(DWORD exchVersion, DWORD installState);
    // Writes <home>\bin\Dado2007Dadev\ExchangeUpgrade.xml and points QLX_HOME at home.
    void WriteCatalogue(const std::string& xml);
    void SetHomeWithoutCatalogue();

    static const std::vector<const wchar_t*> kExchangeServices;

private:
    std::vector<std::wstring> _services;
    std::wstring _home;
};
