// KvLab network handles: see LabNetworkHandles.h.
#include "LabNetworkHandles.h"

#include "UniqueResource.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace KvLab
{
namespace
{
struct Held
{
    unique_handle event;
    LabHandle handle;
};

struct Open
{
    std::mutex lock;
    std::map<HANDLE, Held> handles;
};

Open& Handles()
{
    static Open open;
    return open;
}
} // namespace

HANDLE OpenLabHandle(const LabHandle& handle) noexcept
{
    try
    {
        unique_handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event)
            return nullptr;
        const HANDLE value = event.get();
        Open& open = Handles();
        std::lock_guard<std::mutex> guard(open.lock);
        open.handles.emplace(value, Held{std::move(event), handle});
        return value;
    }
    catch (...)
    {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

std::optional<LabHandle> FindLabHandle(HANDLE handle)
{
    Open& open = Handles();
    std::lock_guard<std::mutex> guard(open.lock);
    const auto found = open.handles.find(handle);
    if (found == open.handles.end())
        return std::nullopt;
    return found->second.handle;
}

bool CloseLabHandle(HANDLE handle, std::initializer_list<LabHandleKind> kinds) noexcept
{
    unique_handle closed;
    Open& open = Handles();
    std::lock_guard<std::mutex> guard(open.lock);
    const auto found = open.handles.find(handle);
    if (found == open.handles.end() ||
        std::find(kinds.begin(), kinds.end(), found->second.handle.kind) == kinds.end())
        return false;
    closed = std::move(found->second.event);
    open.handles.erase(found);
    return true;
}
} // namespace KvLab
