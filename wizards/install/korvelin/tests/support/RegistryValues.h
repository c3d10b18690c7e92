// Set-up and checks for the registry tests: values written and read straight
// in the registry, past the code under test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One value as stored: its type and its bytes.
struct CRegValue
{
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Text as registry data, with its terminating null unless told otherwise.
inline std::vector<BYTE> RegText(const std::wstring& text, bool terminated = true)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

// Writes the value below HKLM, creating its key.
inline LSTATUS PutRegValue(const std::wstring& key, const wchar_t* name, const CRegValue& value)
{
    return ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, value.type, value.data.data(),
                             static_cast<DWORD>(value.data.size()));
}

// The value's type and data below HKLM; REG_NONE and no data when it cannot
// be read as one of the types allowed.
inline CRegValue GetRegValue(const std::wstring& key, const wchar_t* name, DWORD types = RRF_RT_ANY)
{
    CRegValue value{REG_NONE, std::vector<BYTE>(1024)};
    DWORD size = 1024;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, types, &value.type, value.data.data(), &size))
        return {};
    value.data.resize(size);
    return value;
}
