// KvLab cluster results: see LabClusterResults.h.
#include "LabClusterResults.h"

#include "LabCluster.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace KvLab
{
namespace
{
enum class Kind
{
    CntlInfo,
    Names,
    Attr,
    Text,
    States
};

// One result and the memory its pointers lead to; nothing moves once built.
struct Held
{
    explicit Held(Kind heldKind) : kind(heldKind) {}
    virtual ~Held() = default;
    const Kind kind;
};

struct HeldCntlInfo final : Held
{
    HeldCntlInfo() : Held(Kind::CntlInfo) {}
};

struct HeldNames final : Held
{
    explicit HeldNames(std::vector<std::string> texts) : Held(Kind::Names), names(std::move(texts))
    {
        for (std::string& name : names)
            pointers.push_back(name.data());
        result = {static_cast<uint32_t>(names.size()), pointers.data()};
    }
    std::vector<std::string> names;
    std::vector<char*> pointers;
    QLXNames result{};
};

struct HeldAttr final : Held
{
    HeldAttr(std::string attributeName, std::vector<ClusterAttrValue> attributeValues)
        : Held(Kind::Attr), name(std::move(attributeName)), source(std::move(attributeValues))
    {
        for (auto& [key, text] : source)
            values.push_back({key ? key->data() : nullptr, text.data()});
        result = {name.data(), static_cast<uint32_t>(values.size()), values.data()};
    }
    std::string name;
    std::vector<ClusterAttrValue> source;
    std::vector<QLXAttrValue> values;
    QLXAttr result{};
};

struct HeldText final : Held
{
    explicit HeldText(std::string value) : Held(Kind::Text), text(std::move(value)) {}
    std::string text;
};

struct HeldStates final : Held
{
    explicit HeldStates(std::vector<ClusterStateEntry> states) : Held(Kind::States), source(std::move(states))
    {
        for (auto& [system, state] : source)
            entries.push_back({system.data(), state});
        result = {static_cast<uint32_t>(entries.size()), entries.data()};
    }
    std::vector<ClusterStateEntry> source;
    std::vector<QLXStateEntry> entries;
    QLXStates result{};
};

// Live results by the address the caller was given.
struct Live
{
    std::mutex lock;
    std::unordered_map<const void*, std::unique_ptr<Held>> results;
};

Live& Results()
{
    static Live live;
    return live;
}

template <typename Result> Result* Keep(std::unique_ptr<Held> held, Result* address)
{
    Live& live = Results();
    std::lock_guard<std::mutex> guard(live.lock);
    live.results.emplace(address, std::move(held));
    return address;
}

bool IsLive(const void* address, Kind kind) noexcept
{
    Live& live = Results();
    std::lock_guard<std::mutex> guard(live.lock);
    const auto found = live.results.find(address);
    return found != live.results.end() && found->second->kind == kind;
}

template <typename Result> void Free(Result** result, Kind kind) noexcept
{
    if (!result)
        return;
    std::unique_ptr<Held> freed;
    {
        Live& live = Results();
        std::lock_guard<std::mutex> guard(live.lock);
        const auto found = live.results.find(*result);
        if (found != live.results.end() && found->second->kind == kind)
        {
            freed = std::move(found->second);
            live.results.erase(found);
        }
    }
    *result = nullptr;
}
} // namespace

QLXCntlInfo* NewCntlInfo()
{
    auto held = std::make_unique<HeldCntlInfo>();
    // The control information is opaque: the caller only hands it back.
    auto* address = reinterpret_cast<QLXCntlInfo*>(held.get());
    return Keep(std::move(held), address);
}

QLXNames* NewNames(std::vector<std::string> names)
{
    auto held = std::make_unique<HeldNames>(std::move(names));
    QLXNames* address = &held->result;
    return Keep(std::move(held), address);
}

QLXAttr* NewAttr(std::string name, std::vector<ClusterAttrValue> values)
{
    auto held = std::make_unique<HeldAttr>(std::move(name), std::move(values));
    QLXAttr* address = &held->result;
    return Keep(std::move(held), address);
}

char* NewText(std::string text)
{
    auto held = std::make_unique<HeldText>(std::move(text));
    char* address = held->text.data();
    return Keep(std::move(held), address);
}

QLXStates* NewStates(std::vector<ClusterStateEntry> entries)
{
    auto held = std::make_unique<HeldStates>(std::move(entries));
    QLXStates* address = &held->result;
    return Keep(std::move(held), address);
}

bool IsLiveCntlInfo(const QLXCntlInfo* cntlInfo) noexcept
{
    return IsLive(cntlInfo, Kind::CntlInfo);
}

bool IsLiveAttr(const QLXAttr* attribute) noexcept
{
    return IsLive(attribute, Kind::Attr);
}

void FreeCntlInfo(QLXCntlInfo** cntlInfo) noexcept
{
    Free(cntlInfo, Kind::CntlInfo);
}

void FreeNames(QLXNames** names) noexcept
{
    Free(names, Kind::Names);
}

void FreeAttr(QLXAttr** attribute) noexcept
{
    Free(attribute, Kind::Attr);
}

void FreeText(char** text) noexcept
{
    Free(text, Kind::Text);
}

void FreeStates(QLXStates** states) noexcept
{
    Free(states, Kind::States);
}

long ClusterLiveResults() noexcept
{
    Live& live = Results();
    std::lock_guard<std::mutex> guard(live.lock);
    return static_cast<long>(live.results.size());
}
} // namespace KvLab
