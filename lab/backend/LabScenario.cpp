// CLabScenario: see LabScenario.h.
#include "LabScenario.h"

#include "LabFaults.h"
#include "LabState.h"
#include "UniqueResource.h"

namespace
{
bool SetValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    unique_hkey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}
} // namespace

CLabScenario::CLabScenario() noexcept
{
    Reset();
}

CLabScenario::~CLabScenario()
{
    Reset();
}

void CLabScenario::Reset() noexcept
{
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, KvLab::kRootKey);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, KvLab::kRootKey);
    KvLab::ResetFaults();
}

bool CLabScenario::AddNode(const std::wstring& name) noexcept
{
    try
    {
        unique_hkey key;
        return ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, KvLab::NodeRootPath(name, HKEY_LOCAL_MACHINE).c_str(), 0,
                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS;
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::SetUnreachable(const std::wstring& name, bool unreachable) noexcept
{
    try
    {
        const DWORD value = unreachable ? 1 : 0;
        return SetValue(std::wstring(KvLab::kNodesKey) + L"\\" + name, L"Unreachable", REG_DWORD, &value,
                        sizeof(value));
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::SetLocalComputerName(const std::wstring& name) noexcept
{
    return SetValue(KvLab::kLocalNodeKey, L"ComputerName", REG_SZ, name.c_str(),
                    static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
}

std::wstring CLabScenario::NodeKeyPath(const std::wstring& node, HKEY root, const std::wstring& subkey)
{
    std::wstring path = KvLab::NodeRootPath(node, root);
    if (!subkey.empty())
        path += L"\\" + subkey;
    return path;
}
