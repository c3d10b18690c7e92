// The one gateway to the Windows registry, local or on another computer of
// the network. Every operation connects to the named computer's registry
// (null: this computer), does one thing, closes what it opened and returns a
// status record: category 2 with the Windows error when a registry call fails.
#pragma once

#include "Status.h"

#include <windows.h>

#include <string>
#include <vector>

class CLibRegistry
{
public:
    // Lists of names the caller owns; operations only append to them.
    using NameList = std::vector<std::wstring>;

    // Creates the key and every missing key on its path; an existing key is left as it is.
    [[nodiscard]] static CStatus CreateRegistryKey(const wchar_t* computer, HKEY root,
                                                   const std::wstring& subkey) noexcept;

    // The writers create the key first when it cannot be opened.
    [[nodiscard]] static CStatus SetRegistryStringValue(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                                        const std::wstring& valueName,
                                                        const std::wstring& text) noexcept;
    [[nodiscard]] static CStatus SetRegistryDWORDValue(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                                       const std::wstring& valueName, DWORD value) noexcept;

    // Deletes the key with all its values and subkeys. An empty path is refused
    // (87): it would wipe the whole root.
    [[nodiscard]] static CStatus DeleteRegistryKey(const wchar_t* computer, HKEY root,
                                                   const std::wstring& subkey) noexcept;
    // A missing key is created (empty) before the value is deleted.
    [[nodiscard]] static CStatus DeleteRegistryValue(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                                     const std::wstring& valueName) noexcept;

    // The readers leave their out-parameter unchanged on failure; the stored
    // type is not tested. Text is limited to 259 characters (longer: 234).
    [[nodiscard]] static CStatus ReadRegistryStringValue(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                                         const std::wstring& valueName, std::wstring& text) noexcept;
    [[nodiscard]] static CStatus ReadRegistryDWORDValue(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                                        const std::wstring& valueName, DWORD& value) noexcept;
    [[nodiscard]] static CStatus ReadRegistryMultiStringValue(const wchar_t* computer, HKEY root,
                                                              const std::wstring& subkey, const std::wstring& valueName,
                                                              NameList& list) noexcept;

    // Appends the direct subkeys' names in the registry's order; names appended
    // before a failure stay.
    [[nodiscard]] static CStatus EnumerateKeys(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                               NameList& names) noexcept;

    // Fails only when the computer's registry cannot be reached; a key that
    // cannot be opened is just reported as absent.
    [[nodiscard]] static CStatus RegKeyExists(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                              bool& exists) noexcept;

    // Copies the key, its values and all its subkeys, depth-first, to the same
    // path on the destination; nothing is deleted there. Values whose name or
    // data does not fit 200 characters / 200 bytes end a key's value pass.
    [[nodiscard]] static CStatus ReplicateKeyAToA(const wchar_t* sourceComputer, const wchar_t* destinationComputer,
                                                  HKEY root, const std::wstring& subkey) noexcept;

private:
    [[nodiscard]] static CStatus _ReplicateKey(HKEY source, HKEY destination, const std::wstring& path) noexcept;
};
