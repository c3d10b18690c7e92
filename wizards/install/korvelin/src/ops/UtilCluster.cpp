// CUtil's cluster operations: the library's start, the discovery of the
// cluster's systems and virtual servers, and a system's computer name.
#include "Util.h"

#include "AnsiText.h"
#include "Cluster.h"
#include "ExchRegistry.h"
#include "FunctionLog.h"
#include "LibClock.h"
#include "LibLogger.h"
#include "LibService.h"
#include "StringIds.h"
#include "SysInfoName.h"

namespace
{
constexpr uint32_t kCntlInfoVersion = QLX_CNTL_INFO_VERSION;
constexpr char kSysInfo[] = "SysInfo";
constexpr int kSysInfoAttempts = 100;
constexpr DWORD kSysInfoRetryMs = 100;

constexpr wchar_t kEngineService[] = L"Qen";
constexpr DWORD kManagerAllAccess = 0xF003F;
constexpr DWORD kEngineServiceTimeoutMs = 60000;
constexpr DWORD kEngineSettleMs = 5000;

// The engine's restart after its open: each step announced, then run.
struct EngineStep
{
    const wchar_t* announce;
    const wchar_t* callee;
    CStatus (*run)(VLibService& engine) noexcept;
};
constexpr EngineStep kEngineSteps[] = {
    {L"Stopping the QEN...", L"VLibService::Stop()", [](VLibService& e) noexcept { return e.Stop(); }},
    {L"calling WaitForStop for QEN..", L"VLibService::WaitForStop()",
     [](VLibService& e) noexcept { return e.WaitForStop(kEngineServiceTimeoutMs); }},
    {L"Starting the QEN...", L"VLibService::Start()", [](VLibService& e) noexcept { return e.Start(0, nullptr); }},
    {L"calling WaitForStart..", L"VLibService::WaitForStart()",
     [](VLibService& e) noexcept { return e.WaitForStart(kEngineServiceTimeoutMs); }},
};

QLXError LastClusterError() noexcept
{
    return KvEntry().QLXApiGetLastError();
}

bool IsError(const QLXError& error, uint32_t errorClass, uint32_t number) noexcept
{
    return error.errorClass == errorClass && error.errorNumber == number;
}

QLXHANDLE OpenLocalCluster() noexcept
{
    return KvEntry().QLXClusterOpenLocal(QLX_ALL_SYSTEMS, 0);
}
} // namespace

CStatus CUtil::InitQLXApi() noexcept
{
    KV_LOG_FUNCTION();
    unique_qlx_cntlinfo cntlInfo;
    // The control information only feeds the init call; its own failure
    // shows there.
    KvEntry().QLXFillCntlInfo(kCntlInfoVersion, 0, 0, &cntlInfo);
    if (KvEntry().QLXApiInit(0, cntlInfo.get()) != 0)
    {
        KV_LOG_CLUSTER(L"QLXApiInit()", LastClusterError());
        return CStatus::Failure(CStatus::kApplication, kApiNotReady);
    }
    return CStatus::Success();
}

CStatus CUtil::InitQLXApiAndGetHandle(QLXHANDLE& handle) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = InitQLXApi();
    if (status.IsFailed())
        return status;
    handle = OpenLocalCluster();
    if (!handle)
    {
        KV_LOG_CLUSTER(L"QLXClusterOpenLocal1()", LastClusterError());
        return CStatus::Failure(CStatus::kApplication, kClusterNotOpened);
    }
    return status;
}

CStatus CUtil::_RestartClusterEngine() noexcept
{
    KV_LOG_FUNCTION();
    KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_INFORMATION, L"Entering  restart QEN portion");
    VLibService engine;
    CStatus status = engine.Open(kEngineService, SERVICE_ALL_ACCESS, nullptr, kManagerAllAccess);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"VLibService::Open()", status);
        return status;
    }
    for (const EngineStep& step : kEngineSteps)
    {
        KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_INFORMATION, step.announce);
        if ((status = step.run(engine)).IsFailed())
        {
            KV_LOG_FAILED(step.callee, status);
            return status;
        }
    }
    KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_INFORMATION, L"completed QEN restart.");
    // The engine answers a moment after its service runs.
    VLibClock::Current().Sleep(kEngineSettleMs);
    return status;
}

CStatus CUtil::GetActualNodeName(const std::wstring& systemName, std::wstring& computerName,
                                 QLXHANDLE handle) noexcept
{
    KV_LOG_FUNCTION();
    const std::string system = ToAnsi(systemName);
    unique_qlx_attr attribute;
    QLXError error{};
    for (int attempt = 1; attempt <= kSysInfoAttempts; ++attempt)
    {
        if (KvEntry().QLXObjGetAttribute(handle, QLX_OBJ_SYSTEM, system.c_str(), kSysInfo, 0, &attribute, 0) == 0)
            break;
        error = LastClusterError();
        // The engine may still be gathering the node's details.
        VLibClock::Current().Sleep(kSysInfoRetryMs);
    }
    if (!attribute)
    {
        KV_LOG_CLUSTER(L"QLXObjGetAttribute()", error);
        return CStatus::Failure(CStatus::kApplication, kSysInfoNotRead);
    }

    unique_qlx_str text;
    if (KvEntry().QLXAttrGetStr(attribute.get(), system.c_str(), 0, &text, 0) != 0)
    {
        KV_LOG_CLUSTER(L"QLXAttrGetStr()", LastClusterError());
        return CStatus::Failure(CStatus::kApplication, kSysInfoNotRead);
    }
    if (!text || !*text.get())
    {
        KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_NO_SYSINFO, L"QLXAttrGetStr()", systemName.c_str());
        return CStatus::Failure(CStatus::kApplication, kSysInfoEmpty);
    }

    const CSysInfoName found = CSysInfoName::FromText(text.get());
    try
    {
        computerName = FromAnsi(found.name);
    }
    catch (...)
    {
        return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    switch (found.shape)
    {
    case CSysInfoName::Shape::Name:
        KV_LOG_TEXT(LOG_INFO, IDS_LOG_INFORMATION, L"System %s is computer %s.", systemName.c_str(),
                    computerName.c_str());
        break;
    case CSysInfoName::Shape::NoComma:
        KV_LOG_TEXT(LOG_WARNING, IDS_LOG_INFORMATION, L"SysInfo of system %s has no comma: no computer name.",
                    systemName.c_str());
        break;
    case CSysInfoName::Shape::EmptyName:
        KV_LOG_TEXT(LOG_WARNING, IDS_LOG_INFORMATION, L"SysInfo of system %s names no computer.", systemName.c_str());
        break;
    case CSysInfoName::Shape::NotComputer:
        KV_LOG_TEXT(LOG_WARNING, IDS_LOG_INFORMATION,
                    L"SysInfo of system %s gives %u characters that are no computer name.", systemName.c_str(),
                    static_cast<unsigned>(found.name.size()));
        break;
    }
    return CStatus::Success();
}

CStatus CUtil::GetClusterInfo(CCluster& cluster) noexcept
{
    KV_LOG_FUNCTION();
    QLXHANDLE handle = OpenLocalCluster();
    QLXError error{};
    if (!handle)
    {
        error = LastClusterError();
        if (IsError(error, QLX_ERROR_CLASS_ENGINE, QLX_ERROR_ENGINE_NOT_RESPONDING))
        {
            const CStatus restarted = _RestartClusterEngine();
            if (restarted.IsFailed())
                return restarted;
            handle = OpenLocalCluster();
            if (!handle)
                error = LastClusterError();
        }
    }
    if (!handle)
    {
        KV_LOG_CLUSTER(L"QLXClusterOpenLocal()", error);
        return CStatus::Failure(CStatus::kApplication, kClusterNotOpened);
    }
    cluster.handle = handle;

    unique_qlx_names names;
    if (KvEntry().QLXObjGetNames(handle, QLX_OBJ_SYSTEM, 0, &names, nullptr) != 0 || !names)
    {
        KV_LOG_CLUSTER(L"QLXObjGetNames()", LastClusterError());
        return CStatus::Failure(CStatus::kApplication, kSystemNamesNotRead);
    }

    CStatus status = CStatus::Success();
    for (uint32_t i = 0; i < names.get()->count; ++i)
    {
        const char* listed = names.get()->names[i];
        const std::wstring systemName = FromAnsi(listed ? listed : "");
        if (systemName.empty())
        {
            KV_LOG_TEXT(LOG_WARNING, IDS_LOG_INFORMATION, L"The cluster listed a system without a name; skipped.");
            continue;
        }
        std::wstring computerName;
        status = GetActualNodeName(systemName, computerName, handle);
        if (status.IsFailed())
        {
            KV_LOG_FAILED(L"CUtil::GetActualNodeName()", status);
            return status;
        }
        std::shared_ptr<CSystem> system;
        try
        {
            system = std::make_shared<CSystem>(computerName, systemName);
        }
        catch (...)
        {
            return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
        }
        if (!cluster.systems.Add(system))
        {
            KV_LOG_TEXT(LOG_WARNING, IDS_LOG_INFORMATION, L"System %s is computer %s, listed already; skipped.",
                        systemName.c_str(), computerName.c_str());
            continue;
        }

        CQLXExchConfig config;
        const CStatus read = CExchRegistry::ReadQLXExchReg(computerName.c_str(), config);
        if (read.GetCategory() == CStatus::kApplication && read.GetCode() == CExchRegistry::kNoConfigKey)
            continue;

        uint32_t code = kOtherRelease;
        const CStatus version = GetExchangeVersion(computerName.c_str(), code);
        if (version.IsFailed())
        {
            KV_LOG_FAILED(L"CUtil::GetExchangeVersion()", version);
            KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_INFORMATION, computerName.c_str());
        }
        // A release this wizard does not know, or a version that cannot be read, is kOtherRelease already.
        system->exchVersion = code;

        for (const std::shared_ptr<CEVS>& evs : config.evsList)
        {
            const CStatus dated = GetEVSVersionFromAD(evs->name, evs->version);
            if (dated.IsFailed())
            {
                KV_LOG_FAILED(L"CUtil::GetEVSVersionFromAD()", dated);
                KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_INFORMATION, evs->name.c_str());
                evs->version = kOtherVersion;
            }
            system->evsList.Add(evs);
            cluster.evsList.Add(evs);
        }
    }
    return status;
}
