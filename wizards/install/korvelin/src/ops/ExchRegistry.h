// The cluster's Exchange configuration key (HKLM "SOFTWARE\HALVERN\QLX\ExchConfig")
// and its in-memory image. The key also carries what must survive the node's
// reboot between the two upgrade passes: the install state and the node's own name.
#pragma once

#include "EVS.h"
#include "Status.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The in-memory image of the configuration key.
class CQLXExchConfig
{
public:
    // -1 once a read found no configuration key; not touched otherwise.
    int32_t configState = 0;
    uint32_t exchVersion = 0;
    // 0 when absent.
    uint32_t installState = 0;
    // Empty when absent.
    std::wstring orgCompName;
    // One per subkey of the "EVS" key, in enumeration order.
    std::vector<std::shared_ptr<CEVS>> evsList;
};

class CExchRegistry
{
public:
    static constexpr wchar_t kConfigKey[] = L"SOFTWARE\\HALVERN\\QLX\\ExchConfig";
    static constexpr wchar_t kEVSKey[] = L"SOFTWARE\\HALVERN\\QLX\\ExchConfig\\EVS";
    static constexpr wchar_t kSystemsKey[] = L"Systems";
    static constexpr wchar_t kExchVersion[] = L"ExchVersion";
    static constexpr wchar_t kInstallState[] = L"InstallState";
    static constexpr wchar_t kOrgCompName[] = L"OrgCompName";
    static constexpr wchar_t kSkipClusterDiscovery[] = L"SkipClusterDiscovery";
    static constexpr wchar_t kIgnoreExchVersion[] = L"IgnoreExchVersion";

    // The node has finished the first pass and waits for the second.
    static constexpr uint32_t kInstallStateUpgrading = 211;

    // Results of category 1 that callers tell apart.
    static constexpr uint32_t kNoEVSKey = 202;
    static constexpr uint32_t kNoConfigKey = 203;

    // Fills the record from the named computer's key (null: this computer).
    // 1/203 without the key, 1/202 without its "EVS" key. A partly read record
    // keeps what was read; the result is that of the last registry call made.
    [[nodiscard]] static CStatus ReadQLXExchReg(const wchar_t* computer, CQLXExchConfig& config) noexcept;

    // Writes "ExchVersion", "InstallState" when not 0, "OrgCompName" when not
    // empty. Needs a successful ReadQLXExchReg first (else 1/203).
    [[nodiscard]] static CStatus WriteQLXExchReg(const wchar_t* computer, const CQLXExchConfig& config) noexcept;

    // Second pass, this computer: the new version in, the upgrade state out.
    // Stops at the first failure.
    [[nodiscard]] static CStatus RegChangesForUpgrade(uint32_t newExchVersion) noexcept;

    // Set by ReadQLXExchReg once it found the configuration key; empty before.
    static const wchar_t* ConfigKeyPath() noexcept;
    static const wchar_t* EVSKeyPath() noexcept;
};
