// CUtil's group operations: finding where a virtual server's network name is
// online, and taking its service group offline.
#include "Util.h"

#include "AnsiText.h"
#include "FunctionLog.h"
#include "LibClock.h"
#include "StringIds.h"

namespace
{
constexpr char kLanmanCondition[] = "Type=Lanman";
constexpr char kVirtualName[] = "VirtualName";
constexpr DWORD kOfflinePollMs = 1000;
constexpr uint32_t kOfflineWaits = 300;

CStatus ClusterFailure(const QLXError& error) noexcept
{
    return CStatus::Failure(CStatus::kCluster, error.errorNumber);
}
} // namespace

CStatus CUtil::GetState(QLXHANDLE handle, const std::string& objectName, uint32_t kind, const QLXStateFilter* filter,
                        unique_qlx_states& states) noexcept
{
    KV_LOG_FUNCTION();
    if (KvEntry().QLXObjGetState(handle, kind, objectName.c_str(), nullptr, &states, filter) != 0)
    {
        const QLXError error = KvEntry().QLXApiGetLastError();
        KV_LOG_CLUSTER(L"QLXObjGetState()", error);
        return ClusterFailure(error);
    }
    return CStatus::Success();
}

CStatus CUtil::GetLanmanResources(QLXHANDLE handle, unique_qlx_names& names) noexcept
{
    KV_LOG_FUNCTION();
    const char* const conditions[] = {kLanmanCondition};
    const QLXNamesFilter filter = {QLX_FILTER_CONDITIONS, 1, conditions};
    if (KvEntry().QLXObjGetNames(handle, QLX_OBJ_RESOURCE, 0, &names, &filter) == 0)
        return CStatus::Success();
    const QLXError error = KvEntry().QLXApiGetLastError();
    names.reset();
    if (error.errorClass == QLX_ERROR_CLASS_ENGINE && error.errorNumber == QLX_ERROR_NO_OBJECTS)
    {
        // The engine's way of saying there is none.
        const std::string_view text(error.text, strnlen(error.text, sizeof(error.text)));
        KV_LOG_MESSAGE(LOG_WARNING, IDS_LOG_INFORMATION, FromAnsi(text).c_str());
        return CStatus::Success();
    }
    KV_LOG_CLUSTER(L"QLXObjGetNames()", error);
    return ClusterFailure(error);
}

CStatus CUtil::GetVirtualName(QLXHANDLE handle, const std::string& resourceName, std::string& virtualName) noexcept
{
    KV_LOG_FUNCTION();
    unique_qlx_attr attribute;
    if (KvEntry().QLXObjGetAttribute(handle, QLX_OBJ_RESOURCE, resourceName.c_str(), kVirtualName, 0, &attribute,
                                     0) != 0)
    {
        const QLXError error = KvEntry().QLXApiGetLastError();
        KV_LOG_CLUSTER(L"QLXObjGetAttribute()", error);
        return ClusterFailure(error);
    }
    const QLXAttr* value = attribute.get();
    try
    {
        if (value && value->count > 0 && value->values[0].text)
            virtualName = value->values[0].text;
        else
        {
            virtualName.clear();
            KV_LOG_TEXT(LOG_WARNING, IDS_LOG_INFORMATION, L"Resource %s has no VirtualName.",
                        FromAnsi(resourceName).c_str());
        }
    }
    catch (...)
    {
        return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    return CStatus::Success();
}

CStatus CUtil::IsExchSGOnlineInLocalCluster(QLXHANDLE handle, const std::wstring& evsName, bool& online,
                                            std::string& groupName, std::string& systemName) noexcept
{
    KV_LOG_FUNCTION();
    online = false;
    unique_qlx_names resources;
    CStatus status = GetLanmanResources(handle, resources);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"CUtil::GetLanmanResources()", status);
        return status;
    }
    if (!resources)
        return status;

    for (uint32_t r = 0; r < resources.get()->count; ++r)
    {
        const std::string resource = resources.get()->names[r] ? resources.get()->names[r] : "";
        std::string virtualName;
        if ((status = GetVirtualName(handle, resource, virtualName)).IsFailed())
        {
            KV_LOG_FAILED(L"CUtil::GetVirtualName()", status);
            return status;
        }
        if (::lstrcmpiW(FromAnsi(virtualName).c_str(), evsName.c_str()) != 0)
            continue;
        unique_qlx_states states;
        if ((status = GetState(handle, resource, QLX_OBJ_RESOURCE, nullptr, states)).IsFailed())
        {
            KV_LOG_FAILED(L"CUtil::GetState()", status);
            return status;
        }
        const uint32_t count = states ? states.get()->count : 0;
        if (count == 0)
            KV_LOG_TEXT(LOG_WARNING, IDS_LOG_INFORMATION, L"Resource %s has no state on any system.",
                        FromAnsi(resource).c_str());
        for (uint32_t s = 0; s < count; ++s)
        {
            const QLXStateEntry& entry = states.get()->entries[s];
            if (entry.state != QLX_STATE_ONLINE)
            {
                if (entry.state != QLX_STATE_OFFLINE)
                    KV_LOG_TEXT(LOG_WARNING, IDS_LOG_INFORMATION, L"Resource %s has state %u on a system.",
                                FromAnsi(resource).c_str(), static_cast<unsigned>(entry.state));
                continue;
            }
            online = true;
            unique_qlx_str group;
            try
            {
                systemName = entry.system ? entry.system : "";
                if (KvEntry().QLXResGetGrpName(handle, resource.c_str(), &group, 0) != 0)
                {
                    const QLXError error = KvEntry().QLXApiGetLastError();
                    KV_LOG_CLUSTER(L"QLXResGetGrpName()", error);
                    return ClusterFailure(error);
                }
                groupName = group ? group.get() : "";
            }
            catch (...)
            {
                return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
            }
            return status;
        }
    }
    return status;
}

CStatus CUtil::OfflineServiceGrp(QLXHANDLE handle, const std::string& groupName, const std::string& systemName) noexcept
{
    KV_LOG_FUNCTION();
    const char* const systems[] = {systemName.c_str()};
    const QLXStateFilter filter = {QLX_FILTER_STATE_SYSTEMS, 1, systems};
    if (KvEntry().QLXGrpOffline(handle, groupName.c_str(), nullptr, 0, 0) != 0)
    {
        const QLXError error = KvEntry().QLXApiGetLastError();
        KV_LOG_CLUSTER(L"QLXGrpOffline()", error);
        return ClusterFailure(error);
    }
    bool oddStateLogged = false;
    for (uint32_t waits = 0;;)
    {
        unique_qlx_states states;
        const CStatus status = GetState(handle, groupName, QLX_OBJ_GROUP, &filter, states);
        if (status.IsFailed())
        {
            KV_LOG_FAILED(L"CUtil::GetState()", status);
            return status;
        }
        const bool hasEntry = states && states.get()->count > 0;
        if (hasEntry && states.get()->entries[0].state == QLX_STATE_OFFLINE)
            return status;
        if (!oddStateLogged && (!hasEntry || states.get()->entries[0].state != QLX_STATE_ONLINE))
        {
            // Logged once: the polls go on, and 301 lines would bury the rest.
            oddStateLogged = true;
            KV_LOG_TEXT(LOG_WARNING, IDS_LOG_INFORMATION, L"Group %s reports %s on %s; still waiting.",
                        FromAnsi(groupName).c_str(), hasEntry ? L"a state other than online or offline" : L"no state",
                        FromAnsi(systemName).c_str());
        }
        VLibClock::Current().Sleep(kOfflinePollMs);
        if (++waits > kOfflineWaits)
            return CStatus::Failure(CStatus::kApplication, kGroupStillOnline);
    }
}
