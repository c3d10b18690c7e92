// Builds lab surroundings for tests: the same keys a scenario file imports.
// Everything below HKLM\SOFTWARE\KorvelinLab is removed on construction and
// destruction, so each test starts from an empty lab.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CLabScenario
{
public:
    CLabScenario() noexcept;
    ~CLabScenario();
    CLabScenario(const CLabScenario&) = delete;
    CLabScenario& operator=(const CLabScenario&) = delete;

    // Removes every lab key and forgets faults and call counts.
    void Reset() noexcept;

    // A reachable computer of the network with an empty registry.
    bool AddNode(const std::wstring& name) noexcept;
    bool SetUnreachable(const std::wstring& name, bool unreachable) noexcept;
    bool SetLocalComputerName(const std::wstring& name) noexcept;

    // The domain (layout in LabDirectory.h). The root DSE's three naming
    // contexts become objects ("domainDNS", "configuration", "dMD").
    bool SetDirectoryRoot(const std::wstring& defaultNamingContext, const std::wstring& configurationNamingContext,
                          const std::wstring& schemaNamingContext) noexcept;
    // A domain controller that server-qualified paths may name.
    bool AddDirectoryServer(const std::wstring& name) noexcept;
    // The cn is the value of the name's first component. Refused below an
    // object that does not exist, unless dn is a naming context.
    bool AddDirectoryObject(const std::wstring& dn, const std::wstring& className) noexcept;
    // An account binds may name; one without rights binds to nothing.
    bool AddDirectoryAccount(const std::wstring& userName, const std::wstring& password, bool rights = true) noexcept;
    // Each replaces the attribute's values.
    bool SetDirectoryStrings(const std::wstring& dn, const std::wstring& attribute,
                             const std::vector<std::wstring>& values) noexcept;
    bool SetDirectoryIntegers(const std::wstring& dn, const std::wstring& attribute,
                              const std::vector<LONG>& values) noexcept;
    bool SetDirectoryBooleans(const std::wstring& dn, const std::wstring& attribute,
                              const std::vector<bool>& values) noexcept;
    bool SetDirectoryOctets(const std::wstring& dn, const std::wstring& attribute,
                            const std::vector<std::vector<BYTE>>& values) noexcept;
    static bool DirectoryObjectExists(const std::wstring& dn) noexcept;

    // Full path below HKLM of a key in a node's simulated registry.
    static std::wstring NodeKeyPath(const std::wstring& node, HKEY root, const std::wstring& subkey);
};
