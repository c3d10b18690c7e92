// CCluster, CSystem and their lists: see Cluster.h.
#include "Cluster.h"

#include "FunctionLog.h"

#include <windows.h>

namespace
{
constexpr uint32_t kBadMatchKind = 209;
constexpr uint32_t kNoSystem = 210;
constexpr uint32_t kNoEVS = 220;

bool SameName(const std::wstring& a, const std::wstring& b) noexcept
{
    return ::lstrcmpiW(a.c_str(), b.c_str()) == 0;
}
} // namespace

template <typename Record> bool CNamedList<Record>::Add(const Pointer& record) noexcept
{
    if (!record || Find(NamedListKey(*record)))
        return false;
    try
    {
        _items.push_back(record);
        return true;
    }
    catch (...)
    {
        return false;
    }
}

template <typename Record> Record* CNamedList<Record>::Find(const std::wstring& key) const noexcept
{
    for (const Pointer& item : _items)
        if (SameName(NamedListKey(*item), key))
            return item.get();
    return nullptr;
}

template class CNamedList<CEVS>;
template class CNamedList<CSystem>;

CStatus CSystem::LookupEVS(const std::wstring& name, CEVS*& evs) const noexcept
{
    KV_LOG_FUNCTION();
    if (CEVS* found = evsList.Find(name))
    {
        evs = found;
        return CStatus::Success();
    }
    KV_LOG_TEXT(LOG_ERROR, IDS_LOG_INFORMATION, L"No configured EVS found with name=%s on system %s", name.c_str(),
                computerName.c_str());
    return CStatus::Failure(CStatus::kApplication, kNoEVS);
}

CStatus CCluster::LookupSystem(const std::wstring& name, CSystem*& system, uint32_t matchKind) const noexcept
{
    KV_LOG_FUNCTION();
    for (const auto& candidate : systems.Items())
    {
        if (matchKind != kByComputerName && matchKind != kBySystemName)
            return CStatus::Failure(CStatus::kApplication, kBadMatchKind);
        const std::wstring& key = matchKind == kByComputerName ? candidate->computerName : candidate->systemName;
        if (SameName(key, name))
        {
            system = candidate.get();
            return CStatus::Success();
        }
    }
    KV_LOG_TEXT(LOG_ERROR, IDS_LOG_INFORMATION, L"No System in the cluster with name =%s", name.c_str());
    return CStatus::Failure(CStatus::kApplication, kNoSystem);
}

CStatus CCluster::LookupEVS(const std::wstring& name, CEVS*& evs) const noexcept
{
    KV_LOG_FUNCTION();
    if (CEVS* found = evsList.Find(name))
    {
        evs = found;
        return CStatus::Success();
    }
    KV_LOG_TEXT(LOG_ERROR, IDS_LOG_INFORMATION, L"No EVS found with name=%s", name.c_str());
    return CStatus::Failure(CStatus::kApplication, kNoEVS);
}
