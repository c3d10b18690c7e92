// The discovered cluster: its systems (nodes) and the Exchange virtual
// servers configured on them. The application owns one CCluster; the records
// live until the process ends.
#pragma once

#include "EVS.h"
#include "Status.h"

#include "qlxapi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A list that keeps one entry per key, compared without letter case: an entry
// whose key is already there is not added, and the one found first stays.
template <typename Record> class CNamedList
{
public:
    using Pointer = std::shared_ptr<Record>;

    // True when added; false when the key was there (or memory ran out).
    bool Add(const Pointer& record) noexcept;
    // The first entry with that key, or null.
    Record* Find(const std::wstring& key) const noexcept;

    const std::vector<Pointer>& Items() const noexcept { return _items; }
    size_t Size() const noexcept { return _items.size(); }
    bool IsEmpty() const noexcept { return _items.empty(); }

private:
    std::vector<Pointer> _items;
};

class CSystem
{
public:
    CSystem(std::wstring computer, std::wstring system) noexcept
        : computerName(std::move(computer)), systemName(std::move(system))
    {
    }

    // Not found: logs and gives 1/220; evs is left as it was.
    [[nodiscard]] CStatus LookupEVS(const std::wstring& name, CEVS*& evs) const noexcept;

    CNamedList<CEVS> evsList;
    // From the cluster's "SysInfo" attribute.
    std::wstring computerName;
    // As the cluster lists the node.
    std::wstring systemName;
    // 6 to 12 once read; 0 for a node without the configuration key, whose
    // version the discovery never reads.
    uint32_t exchVersion = 0;
};

class CCluster
{
public:
    enum MatchKind : uint32_t
    {
        kByComputerName = 1,
        kBySystemName = 2,
    };

    // Case-insensitive, first match in list order. 1/209 for another match
    // kind (unless the list is empty), 1/210 when not found; system is left
    // as it was on failure.
    [[nodiscard]] CStatus LookupSystem(const std::wstring& name, CSystem*& system, uint32_t matchKind) const noexcept;
    // Not found: logs and gives 1/220; evs is left as it was.
    [[nodiscard]] CStatus LookupEVS(const std::wstring& name, CEVS*& evs) const noexcept;

    CNamedList<CEVS> evsList;
    CNamedList<CSystem> systems;
    // From QLXClusterOpenLocal; kept, and never closed, for the whole run.
    QLXHANDLE handle = nullptr;
};

// The key a list compares.
inline const std::wstring& NamedListKey(const CEVS& evs) noexcept
{
    return evs.name;
}
inline const std::wstring& NamedListKey(const CSystem& system) noexcept
{
    return system.computerName;
}
