// A kernel mutex, named or unnamed.
#pragma once

#include "LibSyncObject.h"

#include <string>

class VLibMutex : public VLibSyncObject
{
public:
    VLibMutex() noexcept = default;
    // Creates at once; the result of Create is then only in IsOpen.
    VLibMutex(bool initialOwner, const wchar_t* name, bool* alreadyExists = nullptr,
              SECURITY_ATTRIBUTES* security = nullptr) noexcept;
    ~VLibMutex() override;

    [[nodiscard]] CStatus Close() noexcept override;
    HANDLE Detach() noexcept override;
    [[nodiscard]] CStatus Release() noexcept override;

    // Closes what is held first. An existing named mutex is opened without
    // ownership, whatever initialOwner says, and alreadyExists is set.
    [[nodiscard]] CStatus Create(bool initialOwner, const wchar_t* name, bool* alreadyExists = nullptr,
                                 SECURITY_ATTRIBUTES* security = nullptr) noexcept;

    const std::wstring& GetName() const noexcept { return _name; }

private:
    std::wstring _name;
};
