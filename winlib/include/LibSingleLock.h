// One acquisition of a sync object, released at the end of its scope.
#pragma once

#include "LibSyncObject.h"

class VLibSingleLock : public VLibObject
{
public:
    // With lockNow the lock waits without limit at once.
    VLibSingleLock(VLibSyncObject* object, bool lockNow) noexcept;
    ~VLibSingleLock() override;
    VLibSingleLock(const VLibSingleLock&) = delete;
    VLibSingleLock& operator=(const VLibSingleLock&) = delete;

    virtual bool HasObject() const noexcept { return _object != nullptr; }
    [[nodiscard]] virtual CStatus Close() noexcept;

    [[nodiscard]] CStatus Wait(DWORD timeoutMs) noexcept;
    [[nodiscard]] CStatus Release() noexcept;
    bool IsLocked() const noexcept { return _locked; }

private:
    VLibSyncObject* _object;
    bool _locked = false;
};
