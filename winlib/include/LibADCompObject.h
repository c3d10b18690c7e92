// A directory computer account. Unlike its base it can stand for an account
// that does not exist: Initialize then succeeds and Exists says so.
#pragma once

#include "LibADObject.h"
#include "LibMutex.h"

class VLibADCompObject : public VLibADObject
{
public:
    VLibADCompObject() noexcept;
    ~VLibADCompObject() override;

    // True after a successful Initialize, whether or not the account exists.
    bool IsInitialized() const noexcept override;
    // The system reported version 5.0 when the object was made; no operation
    // here depends on it (kept for the library's other users).
    bool IsWindows2000() const noexcept { return _isWindows2000 != 0; }
    [[nodiscard]] CStatus Close() noexcept override;

    // accountPassword is required when manageCredentials is set; server,
    // userName and password as for the base (null: not given). An account
    // that is not there is no failure. The object calls of the base (Delete,
    // GetIADs, GetPropertyValue) are refused with 27/6 for a missing account.
    [[nodiscard]] virtual CStatus Initialize(const wchar_t* computerName, uint32_t manageCredentials,
                                             const wchar_t* accountPassword, const wchar_t* server,
                                             const wchar_t* userName, const wchar_t* password) noexcept;

    bool Exists() const noexcept { return _exists != 0; }

private:
    // Resolves the process-wide entry points once, under the global-members lock.
    [[nodiscard]] CStatus _InitializeKerberosParams() noexcept;

    uint32_t _initialized = 0;
    uint32_t _manageCredentials = 0;
    std::wstring _accountPassword;
    uint32_t _exists = 0;
    VLibMutex _globalMembersLock;
    uint32_t _isWindows2000 = 0;
};
