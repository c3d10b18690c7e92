// Builds lab surroundings for tests: the same keys a scenario file imports.
// Everything below HKLM\SOFTWARE\KorvelinLab is removed on construction and
// destruction, so each test starts from an empty lab.
#pragma once

#include <windows.h>

#include <string>

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

    // Full path below HKLM of a key in a node's simulated registry.
    static std::wstring NodeKeyPath(const std::wstring& node, HKEY root, const std::wstring& subkey);
};
