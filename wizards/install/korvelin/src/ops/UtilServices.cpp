// CUtil's service and start-up changes: the Exchange services handed to the
// cluster's control, and the wizard's own start-up entry between the passes.
#include "Util.h"

#include "FunctionLog.h"
#include "LibRegistry.h"
#include "LibService.h"
#include "MessageCatalogue.h"
#include "StringIds.h"

namespace
{
constexpr DWORD kManagerAllAccess = 0xF003F;
constexpr wchar_t kRunKey[] = L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kStartUpValue[] = L"QLXExchInst";
constexpr UINT kWarningStyle = MB_OK | MB_ICONWARNING;

struct ExchangeService
{
    const wchar_t* name;
    bool required;
};
// In this order; the cluster product starts and stops them once they are manual.
constexpr ExchangeService kExchangeServices[] = {
    {L"MSExchangeSA", true},
    {L"MSExchangeIS", true},
    {L"MSExchangeADTopology", true},
    {L"MSExchangeMailSubmission", true},
    {L"MSExchangeMailBoxAssistants", false},
    {L"MSExchangeMonitoring", false},
    {L"MSExchangeServiceHost", false},
    {L"MSExchangeRepl", false},
    {L"MSExchangeSearch", false},
    {L"MSExchangeTransportLogSearch", false},
    {L"msftesql-Exchange", false},
};
} // namespace

CStatus CUtil::MakeServicesManual() noexcept
{
    KV_LOG_FUNCTION();
    std::wstring missing;
    for (const ExchangeService& service : kExchangeServices)
    {
        VLibService opened;
        CStatus status = opened.Open(service.name, SERVICE_ALL_ACCESS, nullptr, kManagerAllAccess);
        if (status.IsFailed())
        {
            KV_LOG_FAILED(L"VLibService::Open()", status);
            KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_INFORMATION, service.name);
            if (service.required || status.GetCategory() != CStatus::kWin32 ||
                status.GetCode() != ERROR_SERVICE_DOES_NOT_EXIST)
                return status;
            try
            {
                missing += std::wstring(service.name) + L"\n";
            }
            catch (...)
            {
                return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
            }
            continue;
        }
        if (!KvEntry().ChangeServiceConfigW(opened.GetServiceHandle(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START,
                                            SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                            nullptr))
        {
            const DWORD error = ::GetLastError();
            KV_LOG_WIN32(L"ChangeServiceConfig", error);
            return CStatus::Failure(CStatus::kWin32, error);
        }
        // Windows must not restart a service the cluster stopped.
        SC_ACTION none = {SC_ACTION_NONE, 0};
        SERVICE_FAILURE_ACTIONSW actions = {INFINITE, nullptr, nullptr, 1, &none};
        if (!KvEntry().ChangeServiceConfig2W(opened.GetServiceHandle(), SERVICE_CONFIG_FAILURE_ACTIONS, &actions))
        {
            const DWORD error = ::GetLastError();
            KV_LOG_WIN32(L"ChangeServiceConfig2", error);
            return CStatus::Failure(CStatus::kWin32, error);
        }
    }
    if (!missing.empty())
        CMessageCatalogue::Show(MSG_WARNING, kWarningStyle, IDS_OPTIONAL_SERVICES_SKIPPED, missing.c_str());
    return CStatus::Success();
}

CStatus CUtil::ModifyStartUp(uint32_t mode) noexcept
{
    KV_LOG_FUNCTION();
    std::wstring sid;
    CStatus status = GetLoggedOnUsersSIDString(sid);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"GetLoggedOnUsersSIDString()", status);
        return status;
    }
    try
    {
        const std::wstring runKey = sid + kRunKey;
        if (mode != kAddStartUp)
            return CLibRegistry::DeleteRegistryValue(nullptr, HKEY_USERS, runKey, kStartUpValue);
        wchar_t program[MAX_PATH] = {};
        const DWORD length = KvEntry().GetModuleFileNameW(nullptr, program, MAX_PATH);
        // A cut path would start nothing after the reboot.
        if (length == 0 || length >= MAX_PATH)
        {
            const DWORD error = length ? ERROR_INSUFFICIENT_BUFFER : ::GetLastError();
            KV_LOG_WIN32(L"GetModuleFileName", error);
            return CStatus::Failure(CStatus::kWin32, error);
        }
        return CLibRegistry::SetRegistryStringValue(nullptr, HKEY_USERS, runKey, kStartUpValue, program);
    }
    catch (...)
    {
        return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
}
