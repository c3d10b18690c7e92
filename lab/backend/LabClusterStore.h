// The lab engine's registry store (key layout in LabCluster.h): objects found
// by their own keys, the "Systems" list as it is stored, the engine's progress
// kept where the next process finds it.
#pragma once

#include "qlxapi.h"
#include "UniqueResource.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace KvLab
{
// What QLXApiGetLastError answers after a failed call.
struct ClusterFailure
{
    uint32_t errorClass = QLX_ERROR_CLASS_ENGINE;
    uint32_t number = 0;
    std::string text;
};
// nullopt: the call goes on (or succeeds).
using ClusterOutcome = std::optional<ClusterFailure>;

ClusterFailure EngineFailure(uint32_t number, std::string text);

// Text in the ANSI code page, as the library's callers pass and get it.
std::string ToAnsi(const std::wstring& text);
std::wstring FromAnsi(const std::string& text);
// A text value: REG_SZ in the ANSI code page, REG_BINARY byte for byte.
std::optional<std::string> ReadAnsiText(HKEY key, const wchar_t* name);

// A condition of a names filter: a value name and the text it must have.
using ClusterCondition = std::pair<std::wstring, std::wstring>;
// A system's state, by the system's name in the "Systems" list.
using ClusterStates = std::vector<std::pair<std::wstring, DWORD>>;

bool ClusterPresent();
std::vector<std::wstring> ClusterSystems();
// The failure a scenario stored for the entry, if any.
ClusterOutcome StoredFailure(const wchar_t* entryName);
// 53007 while the engine is hung; notes or ends the hang.
ClusterOutcome CheckEngineAnswers();

// The object's own key, for reading and for the engine's progress.
ClusterOutcome OpenClusterObject(uint32_t kind, const std::wstring& name, unique_hkey& key);
// The objects of a kind that meet every condition, in the engine's order.
ClusterOutcome ListClusterObjects(uint32_t kind, const std::vector<ClusterCondition>& conditions,
                                  std::vector<std::wstring>& names);
// Counts one read of a system's "SysInfo"; its failure while some are left.
ClusterOutcome TakeSysInfoAttempt(HKEY system, const std::wstring& name);

// What the group does on QLXGrpOffline; its refusal if it refuses.
ClusterOutcome RequestGroupOffline(HKEY group);
// One state poll of the group: true once it answers offline.
bool PollGroupOffline(HKEY group);
// True when the resource's group answers offline.
bool ResourceGroupOffline(HKEY resource);
// The object's states, in the order of systems, for those that have one.
ClusterStates ReadStates(HKEY object, const std::vector<std::wstring>& systems);
} // namespace KvLab
