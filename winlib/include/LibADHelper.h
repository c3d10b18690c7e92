// Binds to Active Directory through ADSI's LDAP provider, learns the three
// naming contexts from the root DSE and finds objects by class and common name.
#pragma once

#include "LibLogger.h"
#include "LibWin32Object.h"

// ADSI's headers need COM's types, which WIN32_LEAN_AND_MEAN leaves out.
#include <ole2.h>

#include <activeds.h>
#include <wrl/client.h>

#include <string>
#include <vector>

// Traces a failed COM call in the calling function's name and returns it as
// category 4 with the HRESULT.
#define VLIB_AD_RETURN_COM_FAILURE(call, hr)                                                         \
    do                                                                                               \
    {                                                                                                \
        const HRESULT vlibFailedHr_ = (hr);                                                          \
        VLIB_TRACE(L"%s returned 0x%.08X", call, static_cast<unsigned>(vlibFailedHr_));              \
        return CStatus::Failure(CStatus::kCom, static_cast<uint32_t>(vlibFailedHr_));           \
    } while (0)

// The directory classes report a call that is a programming error (an object
// used before it is initialised) on the standard error, then refuse it.
void VLibADAssertionFailed(const char* file, int line) noexcept;

class VLibADHelper : public VLibObject
{
public:
    // Naming-context selectors of Search.
    static constexpr int32_t kDefaultNamingContext = 1;
    static constexpr int32_t kConfigurationNamingContext = 2;
    static constexpr int32_t kSchemaNamingContext = 3;

    VLibADHelper() noexcept = default;
    ~VLibADHelper() override;
    VLibADHelper(const VLibADHelper&) = delete;
    VLibADHelper& operator=(const VLibADHelper&) = delete;

    virtual bool IsInitialized() const noexcept;
    // Empties every field; always success.
    [[nodiscard]] virtual CStatus Reset() noexcept;
    // Null (or empty) arguments are not given: serverless binding, the
    // caller's own credentials.
    [[nodiscard]] virtual CStatus Initialize(const wchar_t* server, const wchar_t* userName,
                                             const wchar_t* password) noexcept;
    [[nodiscard]] virtual CStatus SetExtraText(const wchar_t* text) noexcept;

    // Appends every object of class className whose cn matches name ("*" for
    // any) below the chosen naming context, or below source when given. The
    // caller owns what is appended; objects appended before a failure stay.
    // Nothing found is 27/3.
    [[nodiscard]] CStatus Search(const wchar_t* name, const wchar_t* className,
                                 std::vector<Microsoft::WRL::ComPtr<IADs>>& objects, int32_t namingContext,
                                 IUnknown* source) noexcept;

    // The distinguished name read from the root DSE; null for another selector.
    const wchar_t* GetNamingContext(int32_t selector) const noexcept;

private:
    std::wstring _server;
    std::wstring _userName;
    std::wstring _password;
    uint32_t _initialized = 0;
    std::wstring _defaultNamingContext;
    std::wstring _configurationNamingContext;
    std::wstring _schemaNamingContext;
    std::wstring _extraText;
};
