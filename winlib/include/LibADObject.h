// One Active Directory object, found by class and common name and held as its
// IADs interface: read a property as text, delete the object.
#pragma once

#include "LibADHelper.h"

#include <memory>
#include <string>
#include <vector>

class VLibADObject : public VLibObject
{
public:
    VLibADObject() noexcept = default;
    ~VLibADObject() override;
    VLibADObject(const VLibADObject&) = delete;
    VLibADObject& operator=(const VLibADObject&) = delete;

    virtual bool IsInitialized() const noexcept;
    // Releases the object and resets every field; always success.
    [[nodiscard]] virtual CStatus Close() noexcept;
    // The only object of className; namingContext must not be 0. The name
    // field becomes the object's relative name ("CN=...").
    [[nodiscard]] virtual CStatus Initialize(const wchar_t* className, uint32_t namingContext, const wchar_t* server,
                                             const wchar_t* userName, const wchar_t* password) noexcept;
    // The object of className whose cn is name: none is 27/3, two are 27/2.
    [[nodiscard]] virtual CStatus Initialize(const wchar_t* name, const wchar_t* className, uint32_t namingContext,
                                             const wchar_t* server, const wchar_t* userName,
                                             const wchar_t* password) noexcept;
    // All values as text joined by ";" (integers in decimal, booleans "1"/"0").
    // bufferChars counts the terminator; a text that does not fit is 27/5 with
    // *requiredChars set and the buffer untouched.
    [[nodiscard]] virtual CStatus GetPropertyValue(const wchar_t* propertyName, wchar_t* buffer,
                                                   uint32_t bufferChars, uint32_t* requiredChars) noexcept;

    // No part of the program calls these; each reports 4/E_NOTIMPL.
    [[nodiscard]] virtual CStatus GetPropertyValueType(const wchar_t* propertyName, ADSTYPE* type) noexcept;
    [[nodiscard]] virtual CStatus SetPropertyValue(const wchar_t* propertyName, const wchar_t* const* values,
                                                   uint32_t valueCount) noexcept;
    [[nodiscard]] virtual CStatus GetChildObjects(std::vector<std::unique_ptr<VLibADObject>>& children) noexcept;

    // The held interface, without a reference of its own.
    [[nodiscard]] virtual CStatus GetIADs(IADs** object) noexcept;

    [[nodiscard]] virtual CStatus GetObjectCategory(wchar_t* buffer, uint32_t bufferChars,
                                                    uint32_t* requiredChars) noexcept;
    [[nodiscard]] virtual CStatus GetGUID(wchar_t* buffer, uint32_t bufferChars, uint32_t* requiredChars) noexcept;

    virtual const wchar_t* GetName() const noexcept;
    // A container goes with everything below it; then the object is closed.
    [[nodiscard]] virtual CStatus Delete() noexcept;

    [[nodiscard]] virtual CStatus AddRightsToADObject(const wchar_t* userName, uint32_t accessMask) noexcept;

private:
    // Binds, searches and keeps the single object found.
    [[nodiscard]] CStatus _Locate(const wchar_t* name, const wchar_t* className, uint32_t namingContext,
                                  const wchar_t* server, const wchar_t* userName, const wchar_t* password) noexcept;

    std::wstring _name;
    std::wstring _className;
    uint32_t _namingContext = VLibADHelper::kDefaultNamingContext;
    Microsoft::WRL::ComPtr<IADs> _directoryObject;
    uint32_t _initialized = 0;
    VLibADHelper _search;
};
