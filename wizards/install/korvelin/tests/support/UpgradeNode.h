// A lab node ready for one pass of the wizard, and the application's state as
// start-up leaves it, for tests that drive the real sheet past its first
// page. This node is NODE1 (system "qlx-a" of the lab cluster), configured
// for virtual server EVS1 with Exchange 2007 SP1 (code 7); the catalogue
// upgrades 7 to 8. The second pass finds the node renamed to EVS1, the
// saved name NODE1 and install state 211. Everything is undone afterwards.
#pragma once

#include "ExchangeNode.h"
#include "LabScenario.h"
#include "SheetHarness.h"
#include "TarnwickSheet.h"
#include "WizardTestEnvironment.h"

#include <functional>
#include <string>

class CUpgradeNode
{
public:
    enum Pass
    {
        kFirstPass,
        kSecondPass
    };
    // installedMinor: the Exchange 2007 release the node runs (1: SP1, code
    // 7, the one to upgrade; 2: code 8, the target; 3: code 9, neither).
    explicit CUpgradeNode(Pass pass, DWORD installedMinor = 1);
    ~CUpgradeNode();
    CUpgradeNode(const CUpgradeNode&) = delete;
    CUpgradeNode& operator=(const CUpgradeNode&) = delete;

    // Runs the wizard's sheet on the page of that index; the script ends it.
    // DoModal's result.
    INT_PTR Run(UINT firstPage, const std::function<void(HWND sheet)>& script);

    // The wizard's Run entry, or "-" without one.
    std::wstring StartUpEntry() const;
    // The system-name file's bytes, or "-" without the file.
    std::string SysnameFile() const;
    // A DWORD or text of the configuration key, "-" when absent.
    static std::wstring ConfigValue(const wchar_t* name);
    static void SetSkipDiscovery();
    // The system-name file can then not be written.
    void RemoveConfDirectory() const;

    CScopedResourceModule module;
    CExchangeNode exchange;
    CLabScenario lab;

private:
    std::wstring _sid;
    std::wstring _home;
};
