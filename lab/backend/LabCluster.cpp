// KvLab cluster engine: the entries of the cluster library (see LabCluster.h);
// the registry store and the results live beside it.
#include "LabCluster.h"

#include "LabClusterResults.h"
#include "LabClusterStore.h"
#include "LabFaults.h"
#include "LabState.h"

#include <algorithm>
#include <initializer_list>
#include <cstring>

namespace KvLab
{
namespace
{
thread_local QLXError t_lastError{};

// Only the handle's address matters: the engine serves one cluster.
const char kClusterToken = 0;

QLXHANDLE ClusterHandle()
{
    return reinterpret_cast<QLXHANDLE>(const_cast<char*>(&kClusterToken));
}

void Store(QLXError& error, uint32_t errorClass, uint32_t number, const char* text, size_t length) noexcept
{
    error.errorClass = errorClass;
    error.errorNumber = number;
    length = std::min(length, sizeof(error.text) - 1);
    std::memcpy(error.text, text, length);
    error.text[length] = '\0';
}

ClusterFailure BadArgument(const char* text)
{
    return EngineFailure(kLabBadArgument, text);
}

ClusterFailure NotInCluster()
{
    return EngineFailure(kLabNotInCluster, "This node is in no cluster.");
}

ClusterFailure FaultFailure(Entry entry, DWORD error)
{
    return EngineFailure(error, ToAnsi(EntryName(entry)) + " failed: a lab fault.");
}

// A lab fault first, then a failure the scenario stored for the entry.
ClusterOutcome Refusal(Entry entry)
{
    if (const auto fault = TakeFault(entry))
        return FaultFailure(entry, *fault);
    return StoredFailure(EntryName(entry));
}

// One call of an entry that can fail: its refusal, else its work. A failure
// becomes the thread's last error; 0 is success, as the library answers.
template <typename Work> int Answer(Entry entry, Work work) noexcept
{
    try
    {
        ClusterOutcome failure = Refusal(entry);
        if (!failure)
            failure = work();
        if (!failure)
            return 0;
        Store(t_lastError, failure->errorClass, failure->number, failure->text.data(), failure->text.size());
    }
    catch (...)
    {
        static const char kText[] = "The lab's cluster engine ran out of memory.";
        Store(t_lastError, QLX_ERROR_CLASS_ENGINE, kLabOutOfMemory, kText, sizeof(kText) - 1);
    }
    return -1;
}

ClusterOutcome CheckCluster(QLXHANDLE cluster)
{
    if (cluster != ClusterHandle())
        return EngineFailure(kLabBadHandle, "This is no cluster handle.");
    if (!ClusterPresent())
        return NotInCluster();
    return std::nullopt;
}

ClusterOutcome ReadConditions(const QLXNamesFilter* filter, std::vector<ClusterCondition>& conditions)
{
    if (!filter)
        return std::nullopt;
    if (filter->kind != QLX_FILTER_CONDITIONS || (filter->count && !filter->conditions))
        return BadArgument("A names filter is of kind 22 and has its conditions.");
    for (uint32_t i = 0; i < filter->count; ++i)
    {
        const char* condition = filter->conditions[i];
        const char* equals = condition ? std::strchr(condition, '=') : nullptr;
        if (!equals)
            return BadArgument("A condition reads Name=Text.");
        conditions.emplace_back(FromAnsi(std::string(condition, equals)), FromAnsi(equals + 1));
    }
    return std::nullopt;
}

// The library knows no flags and no use for its reserved arguments: any
// other value than 0 is a caller's mistake it refuses.
ClusterOutcome CheckReserved(std::initializer_list<uint32_t> values)
{
    for (const uint32_t value : values)
        if (value != 0)
            return BadArgument("Flags and reserved arguments are 0.");
    return std::nullopt;
}

// The cluster's systems a state result covers: those of the filter, and the
// one asked for, if any.
ClusterOutcome WantedSystems(const char* system, const QLXStateFilter* filter, std::vector<std::wstring>& systems)
{
    if (filter && (filter->kind != QLX_FILTER_STATE_SYSTEMS || (filter->count && !filter->systems)))
        return BadArgument("A state filter is of kind 17 and has its systems.");
    std::vector<std::wstring> named;
    for (uint32_t i = 0; filter && i < filter->count; ++i)
        if (filter->systems[i])
            named.push_back(FromAnsi(filter->systems[i]));
    const std::wstring asked = system ? FromAnsi(system) : std::wstring();
    for (std::wstring& name : ClusterSystems())
    {
        const auto same = [&name](const std::wstring& other) { return SameText(name, other); };
        if ((asked.empty() || same(asked)) && (!filter || std::any_of(named.begin(), named.end(), same)))
            systems.push_back(std::move(name));
    }
    return std::nullopt;
}
} // namespace

int WINAPI QLXFillCntlInfo(uint32_t version, uint32_t flags, uint32_t reserved, QLXCntlInfo** cntlInfo)
{
    return Answer(Entry::QLXFillCntlInfo, [&]() -> ClusterOutcome {
        if (auto failure = CheckReserved({flags, reserved}))
            return failure;
        if (version != QLX_CNTL_INFO_VERSION || !cntlInfo)
            return BadArgument("The control information is of version 45 and needs a place.");
        *cntlInfo = NewCntlInfo();
        return std::nullopt;
    });
}

int WINAPI QLXApiInit(uint32_t flags, QLXCntlInfo* cntlInfo)
{
    return Answer(Entry::QLXApiInit, [&]() -> ClusterOutcome {
        if (auto failure = CheckReserved({flags}))
            return failure;
        if (!IsLiveCntlInfo(cntlInfo))
            return EngineFailure(kLabBadHandle, "This is no control information of the library.");
        if (!ClusterPresent())
            return NotInCluster();
        return std::nullopt;
    });
}

QLXHANDLE WINAPI QLXClusterOpenLocal(uint32_t systems, uint32_t flags)
{
    const int result = Answer(Entry::QLXClusterOpenLocal, [&]() -> ClusterOutcome {
        if (auto failure = CheckReserved({flags}))
            return failure;
        if (systems != QLX_ALL_SYSTEMS)
            return BadArgument("The cluster opens for all systems.");
        if (!ClusterPresent())
            return NotInCluster();
        return CheckEngineAnswers();
    });
    return result == 0 ? ClusterHandle() : nullptr;
}

int WINAPI QLXObjGetNames(QLXHANDLE cluster, uint32_t kind, uint32_t flags, QLXNames** names,
                          const QLXNamesFilter* filter)
{
    return Answer(Entry::QLXObjGetNames, [&]() -> ClusterOutcome {
        if (auto failure = CheckReserved({flags}))
            return failure;
        if (auto failure = CheckCluster(cluster))
            return failure;
        if (!names)
            return BadArgument("The names need a place.");
        std::vector<ClusterCondition> conditions;
        if (auto failure = ReadConditions(filter, conditions))
            return failure;
        std::vector<std::wstring> found;
        if (auto failure = ListClusterObjects(kind, conditions, found))
            return failure;
        std::vector<std::string> ansi;
        for (const std::wstring& name : found)
            ansi.push_back(ToAnsi(name));
        *names = NewNames(std::move(ansi));
        return std::nullopt;
    });
}

int WINAPI QLXObjGetAttribute(QLXHANDLE cluster, uint32_t kind, const char* objectName, const char* attributeName,
                              uint32_t flags, QLXAttr** attribute, uint32_t reserved)
{
    return Answer(Entry::QLXObjGetAttribute, [&]() -> ClusterOutcome {
        if (auto failure = CheckReserved({flags, reserved}))
            return failure;
        if (auto failure = CheckCluster(cluster))
            return failure;
        if (!objectName || !attributeName || !attribute)
            return BadArgument("The attribute needs an object, a name and a place.");
        const std::wstring name = FromAnsi(objectName);
        const std::wstring attributeWide = FromAnsi(attributeName);
        unique_hkey object;
        if (auto failure = OpenClusterObject(kind, name, object))
            return failure;
        if (kind == QLX_OBJ_SYSTEM && SameText(attributeWide, L"SysInfo"))
            if (auto failure = TakeSysInfoAttempt(object.get(), name))
                return failure;
        auto text = ReadAnsiText(object.get(), attributeWide.c_str());
        if (!text)
            return EngineFailure(kLabNoSuchAttribute,
                                 std::string(objectName) + " has no attribute " + attributeName + ".");
        // A system's attributes are per system: keyed by its name.
        std::optional<std::string> key;
        if (kind == QLX_OBJ_SYSTEM)
            key = objectName;
        *attribute = NewAttr(attributeName, {{std::move(key), std::move(*text)}});
        return std::nullopt;
    });
}

int WINAPI QLXAttrGetStr(const QLXAttr* attribute, const char* key, uint32_t flags, char** text, uint32_t reserved)
{
    return Answer(Entry::QLXAttrGetStr, [&]() -> ClusterOutcome {
        if (auto failure = CheckReserved({flags, reserved}))
            return failure;
        if (!text)
            return BadArgument("The text needs a place.");
        if (!IsLiveAttr(attribute))
            return EngineFailure(kLabBadHandle, "This is no attribute of the library.");
        for (uint32_t i = 0; i < attribute->count; ++i)
        {
            const QLXAttrValue& value = attribute->values[i];
            if (key ? value.key && std::strcmp(value.key, key) == 0 : !value.key)
            {
                *text = NewText(value.text);
                return std::nullopt;
            }
        }
        return EngineFailure(kLabNoSuchKey, "The attribute has no value for " + std::string(key ? key : "no key") +
                                                ".");
    });
}

int WINAPI QLXObjGetState(QLXHANDLE cluster, uint32_t kind, const char* objectName, const char* system,
                          QLXStates** states, const QLXStateFilter* filter)
{
    return Answer(Entry::QLXObjGetState, [&]() -> ClusterOutcome {
        if (auto failure = CheckCluster(cluster))
            return failure;
        if (!objectName || !states || (kind != QLX_OBJ_GROUP && kind != QLX_OBJ_RESOURCE))
            return BadArgument("States are those of a group or resource and need a place.");
        std::vector<std::wstring> systems;
        if (auto failure = WantedSystems(system, filter, systems))
            return failure;
        unique_hkey object;
        if (auto failure = OpenClusterObject(kind, FromAnsi(objectName), object))
            return failure;
        const bool offline =
            kind == QLX_OBJ_GROUP ? PollGroupOffline(object.get()) : ResourceGroupOffline(object.get());
        std::vector<ClusterStateEntry> entries;
        for (const auto& [name, state] : ReadStates(object.get(), systems))
            entries.emplace_back(ToAnsi(name), offline ? QLX_STATE_OFFLINE : state);
        *states = NewStates(std::move(entries));
        return std::nullopt;
    });
}

int WINAPI QLXResGetGrpName(QLXHANDLE cluster, const char* resourceName, char** groupName, uint32_t flags)
{
    return Answer(Entry::QLXResGetGrpName, [&]() -> ClusterOutcome {
        if (auto failure = CheckReserved({flags}))
            return failure;
        if (auto failure = CheckCluster(cluster))
            return failure;
        if (!resourceName || !groupName)
            return BadArgument("The group name needs a resource and a place.");
        unique_hkey resource;
        if (auto failure = OpenClusterObject(QLX_OBJ_RESOURCE, FromAnsi(resourceName), resource))
            return failure;
        auto group = ReadAnsiText(resource.get(), L"Group");
        if (!group)
            return EngineFailure(kLabNoSuchAttribute, std::string(resourceName) + " is in no group.");
        *groupName = NewText(std::move(*group));
        return std::nullopt;
    });
}

int WINAPI QLXGrpOffline(QLXHANDLE cluster, const char* groupName, const char* system, uint32_t options,
                         uint32_t reserved)
{
    return Answer(Entry::QLXGrpOffline, [&]() -> ClusterOutcome {
        if (auto failure = CheckReserved({options, reserved}))
            return failure;
        if (auto failure = CheckCluster(cluster))
            return failure;
        if (!groupName)
            return BadArgument("Taking a group offline needs its name.");
        unique_hkey key;
        if (system && *system)
            if (auto failure = OpenClusterObject(QLX_OBJ_SYSTEM, FromAnsi(system), key))
                return failure;
        if (auto failure = OpenClusterObject(QLX_OBJ_GROUP, FromAnsi(groupName), key))
            return failure;
        return RequestGroupOffline(key.get());
    });
}

QLXError WINAPI QLXApiGetLastError()
{
    QLXError error = t_lastError;
    if (const auto fault = TakeFault(Entry::QLXApiGetLastError))
    {
        static const char kText[] = "QLXApiGetLastError failed: a lab fault.";
        Store(error, QLX_ERROR_CLASS_ENGINE, *fault, kText, sizeof(kText) - 1);
    }
    return error;
}

// The free functions cannot fail: a fault only counts their calls.
void WINAPI QLXFreeCntlInfo(QLXCntlInfo** cntlInfo)
{
    TakeFault(Entry::QLXFreeCntlInfo);
    FreeCntlInfo(cntlInfo);
}

void WINAPI QLXFreeObjNames(QLXNames** names)
{
    TakeFault(Entry::QLXFreeObjNames);
    FreeNames(names);
}

void WINAPI QLXFreeAttr(QLXAttr** attribute)
{
    TakeFault(Entry::QLXFreeAttr);
    FreeAttr(attribute);
}

void WINAPI QLXFreeStr(char** text)
{
    TakeFault(Entry::QLXFreeStr);
    FreeText(text);
}

void WINAPI QLXFreeObjState(QLXStates** states)
{
    TakeFault(Entry::QLXFreeObjState);
    FreeStates(states);
}
} // namespace KvLab
