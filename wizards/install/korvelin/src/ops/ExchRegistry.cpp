// CExchRegistry: see ExchRegistry.h.
#include "ExchRegistry.h"

#include "FunctionLog.h"
#include "LibRegistry.h"
#include "StringIds.h"

#include <new>

namespace
{

// Process-wide: set once a read has found the configuration key. Both always
// point at string constants, so setting them cannot fail.
const wchar_t* g_configKeyPath = L"";
const wchar_t* g_evsKeyPath = L"";
// Whether the last read found no configuration key, which the writers'
// refusal tells apart from a key that was never read.
bool g_configKeyMissing = false;

// The writers work below the path a read has found; without it they would
// write into the root of the registry.
bool ConfigKeyKnown(const CFunctionLog& kvLog_, CStatus& status) noexcept
{
    if (*g_configKeyPath)
        return true;
    KV_LOG_MESSAGE(LOG_ERROR, g_configKeyMissing ? IDS_LOG_NO_CONFIG_KEY : IDS_LOG_CONFIG_NOT_READ);
    status = CStatus::Failure(CStatus::kApplication, CExchRegistry::kNoConfigKey);
    return false;
}

// Appends the virtual servers below the "EVS" key with their system counts.
// A server whose "Systems" key cannot be enumerated stays, with count 0.
CStatus ReadVirtualServers(const CFunctionLog& kvLog_, const wchar_t* computer, const CLibRegistry::NameList& names,
                           CQLXExchConfig& config) noexcept
{
    CStatus status = CStatus::Success();
    try
    {
        for (const std::wstring& name : names)
        {
            auto evs = std::make_shared<CEVS>(name);
            CLibRegistry::NameList systems;
            status = CLibRegistry::EnumerateKeys(
                computer, HKEY_LOCAL_MACHINE,
                std::wstring(g_evsKeyPath) + L"\\" + name + L"\\" + CExchRegistry::kSystemsKey, systems);
            if (status.IsSuccess())
                evs->systemCount = static_cast<uint32_t>(systems.size());
            else
                KV_LOG_FAILED(L"CLibRegistry::EnumerateKeys(Systems)", status);
            config.evsList.push_back(std::move(evs));
        }
    }
    catch (const std::bad_alloc&)
    {
        status = CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    return status;
}
} // namespace

const wchar_t* CExchRegistry::ConfigKeyPath() noexcept
{
    return g_configKeyPath;
}

const wchar_t* CExchRegistry::EVSKeyPath() noexcept
{
    return g_evsKeyPath;
}

CStatus CExchRegistry::ReadQLXExchReg(const wchar_t* computer, CQLXExchConfig& config) noexcept
{
    KV_LOG_FUNCTION();
    bool exists = false;
    CStatus status = CLibRegistry::RegKeyExists(computer, HKEY_LOCAL_MACHINE, kConfigKey, exists);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"CLibRegistry::RegKeyExists()", status);
        return status;
    }
    if (!exists)
    {
        KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_NO_CONFIG_KEY);
        g_configKeyMissing = true;
        config.configState = -1;
        return CStatus::Failure(CStatus::kApplication, kNoConfigKey);
    }
    g_configKeyPath = kConfigKey;
    g_evsKeyPath = kEVSKey;
    g_configKeyMissing = false;

    DWORD number = 0;
    status = CLibRegistry::ReadRegistryDWORDValue(computer, HKEY_LOCAL_MACHINE, kConfigKey, kExchVersion, number);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"CLibRegistry::ReadRegistryDWORDValue()", status);
        return status;
    }
    config.exchVersion = number;

    // Both are absent while no upgrade is under way.
    status = CLibRegistry::ReadRegistryDWORDValue(computer, HKEY_LOCAL_MACHINE, kConfigKey, kInstallState, number);
    if (status.IsSuccess())
        config.installState = number;
    std::wstring name;
    status = CLibRegistry::ReadRegistryStringValue(computer, HKEY_LOCAL_MACHINE, kConfigKey, kOrgCompName, name);
    if (status.IsSuccess())
        config.orgCompName.swap(name);

    status = CLibRegistry::RegKeyExists(computer, HKEY_LOCAL_MACHINE, kEVSKey, exists);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"CLibRegistry::RegKeyExists()", status);
        return status;
    }
    if (!exists)
    {
        KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_NO_EVS_KEY);
        return CStatus::Failure(CStatus::kApplication, kNoEVSKey);
    }
    CLibRegistry::NameList names;
    status = CLibRegistry::EnumerateKeys(computer, HKEY_LOCAL_MACHINE, kEVSKey, names);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"CLibRegistry::EnumerateKeys()", status);
        return status;
    }
    // With virtual servers, the last one's "Systems" enumeration decides the result.
    return names.empty() ? status : ReadVirtualServers(kvLog_, computer, names, config);
}

CStatus CExchRegistry::WriteQLXExchReg(const wchar_t* computer, const CQLXExchConfig& config) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status;
    if (!ConfigKeyKnown(kvLog_, status))
        return status;
    status = CLibRegistry::SetRegistryDWORDValue(computer, HKEY_LOCAL_MACHINE, g_configKeyPath, kExchVersion,
                                                 config.exchVersion);
    if (status.IsSuccess() && config.installState != 0)
        status = CLibRegistry::SetRegistryDWORDValue(computer, HKEY_LOCAL_MACHINE, g_configKeyPath, kInstallState,
                                                     config.installState);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"CLibRegistry::SetRegistryDWORDValue()", status);
        return status;
    }
    if (!config.orgCompName.empty())
    {
        status = CLibRegistry::SetRegistryStringValue(computer, HKEY_LOCAL_MACHINE, g_configKeyPath, kOrgCompName,
                                                      config.orgCompName);
        if (status.IsFailed())
            KV_LOG_FAILED(L"CLibRegistry::SetRegistryStringValue()", status);
    }
    return status;
}

CStatus CExchRegistry::RegChangesForUpgrade(uint32_t newExchVersion) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status;
    if (!ConfigKeyKnown(kvLog_, status))
        return status;
    status =
        CLibRegistry::SetRegistryDWORDValue(nullptr, HKEY_LOCAL_MACHINE, g_configKeyPath, kExchVersion, newExchVersion);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"CLibRegistry::SetRegistryDWORDValue(REG_EXCH_VERSION)", status);
        return status;
    }
    status = CLibRegistry::DeleteRegistryValue(nullptr, HKEY_LOCAL_MACHINE, g_configKeyPath, kInstallState);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"CLibRegistry::DeleteRegistryValue(REG_INSTALLSTATE)", status);
        return status;
    }
    status = CLibRegistry::DeleteRegistryValue(nullptr, HKEY_LOCAL_MACHINE, g_configKeyPath, kOrgCompName);
    if (status.IsFailed())
        KV_LOG_FAILED(L"CLibRegistry::DeleteRegistryValue(REG_ORGCOMPNAME)", status);
    return status;
}
