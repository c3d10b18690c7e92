// KvLab registry generation: see LabRegistryWatch.h.
#include "LabRegistryWatch.h"

#include "UniqueResource.h"

#include <mutex>

namespace KvLab
{
namespace
{
// The lab's own key comes and goes with each scenario, so it cannot be the
// one watched; SOFTWARE never goes.
class CRegistryWatch
{
public:
    uint64_t Generation() noexcept
    {
        std::lock_guard<std::mutex> guard(_lock);
        if (!_event || ::WaitForSingleObject(_event.get(), 0) == WAIT_OBJECT_0)
            Rearm();
        return _generation;
    }

private:
    void Rearm() noexcept
    {
        ++_generation;
        if (!_event)
        {
            _event.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
            if (!_event || ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_NOTIFY, &_watched) != ERROR_SUCCESS)
                return Unwatch();
        }
        ::ResetEvent(_event.get());
        // Armed again before the caller reads: a change during the read shows next time.
        if (::RegNotifyChangeKeyValue(_watched.get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                      _event.get(), TRUE) != ERROR_SUCCESS)
            Unwatch();
    }
    // Without a watch every call is a new generation: slow, never stale.
    void Unwatch() noexcept
    {
        _event.reset();
        _watched.reset();
    }

    std::mutex _lock;
    unique_hkey _watched;
    unique_handle _event;
    uint64_t _generation = 0;
};
} // namespace

uint64_t RegistryGeneration() noexcept
{
    static CRegistryWatch watch;
    return watch.Generation();
}
} // namespace KvLab
