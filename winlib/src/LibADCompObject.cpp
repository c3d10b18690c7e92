// VLibADCompObject: see LibADCompObject.h.
#include "LibADCompObject.h"

#include "LibSingleLock.h"
#include "ProcResolver.h"

#include <dsgetdc.h>
#include <winternl.h>

#include <new>

namespace
{
constexpr wchar_t kGlobalMembersLock[] = L"LibAD_GlobalMembers";

// Process-wide, resolved on first need; guarded by the global-members lock.
struct KerberosEntryPoints
{
    DWORD(WINAPI* dsGetDcNameWithAccount)(LPCWSTR, LPCWSTR, ULONG, LPCWSTR, GUID*, LPCWSTR, ULONG,
                                          PDOMAIN_CONTROLLER_INFOW*) = nullptr;
    VOID(NTAPI* rtlInitString)(PSTRING, PCSZ) = nullptr;
    VOID(NTAPI* rtlInitUnicodeString)(PUNICODE_STRING, PCWSTR) = nullptr;
};
KerberosEntryPoints g_entryPoints;

bool SystemIsWindows2000() noexcept
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    if (!::GetVersionExW(&version))
        return false;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    return version.dwMajorVersion == 5 && version.dwMinorVersion == 0;
}
} // namespace

VLibADCompObject::VLibADCompObject() noexcept : _isWindows2000(SystemIsWindows2000())
{
}

VLibADCompObject::~VLibADCompObject()
{
    (void)VLibADCompObject::Close();
}

bool VLibADCompObject::IsInitialized() const noexcept
{
    return _initialized != 0;
}

CStatus VLibADCompObject::Close() noexcept
{
    (void)VLibADObject::Close();
    _initialized = 0;
    _manageCredentials = 0;
    _exists = 0;
    _accountPassword.clear();
    if (_globalMembersLock.IsOpen())
        (void)_globalMembersLock.Close();
    return CStatus::Success();
}

CStatus VLibADCompObject::Initialize(const wchar_t* computerName, uint32_t manageCredentials,
                                     const wchar_t* accountPassword, const wchar_t* server, const wchar_t* userName,
                                     const wchar_t* password) noexcept
{
    CStatus status;
    if (!computerName || (manageCredentials && !accountPassword))
    {
        VLIB_TRACE(L"Invalid parameters.");
        status.Set(CStatus::kDirectory, 1);
        return status;
    }
    (void)Close();

    status = _globalMembersLock.Create(false, kGlobalMembersLock);
    if (status.IsFailed())
    {
        VLIB_TRACE(L"%s returned %d, 0x%.08X", L"MutextObj.Create(LibAD_GlobalMembers)",
                   static_cast<int>(status.GetCategory()), static_cast<unsigned>(status.GetCode()));
        return status;
    }
    if (manageCredentials)
    {
        status = _InitializeKerberosParams();
        if (status.IsFailed())
        {
            VLIB_TRACE(L"%s returned %d, 0x%.08X", L"_InitializeKerberosParams()",
                       static_cast<int>(status.GetCategory()), static_cast<unsigned>(status.GetCode()));
            (void)_globalMembersLock.Close();
            return status;
        }
    }

    // The base begins with Close through the virtual slot: that also closes
    // the lock and clears this class's fields, which are set again below.
    status = VLibADObject::Initialize(computerName, L"computer", VLibADHelper::kDefaultNamingContext, server, userName,
                                      password);
    uint32_t exists = 1;
    if (status.IsFailed())
    {
        VLIB_TRACE(L"VLibADObject::Initialize(%s) returned (%d,0x%.08X)", computerName,
                   static_cast<int>(status.GetCategory()), static_cast<unsigned>(status.GetCode()));
        if (status.GetCategory() != CStatus::kDirectory || status.GetCode() != 3)
            return status;
        exists = 0;
    }
    try
    {
        _accountPassword = manageCredentials ? accountPassword : L"";
    }
    catch (const std::bad_alloc&)
    {
        (void)Close();
        status.Set(CStatus::kCom, static_cast<uint32_t>(E_OUTOFMEMORY));
        return status;
    }
    _exists = exists;
    _manageCredentials = manageCredentials;
    _initialized = 1;
    return CStatus::Success();
}

CStatus VLibADCompObject::_InitializeKerberosParams() noexcept
{
    VLibSingleLock lock(&_globalMembersLock, false);
    CStatus status = lock.Wait(INFINITE);
    if (status.IsFailed())
    {
        VLIB_TRACE(L"%s returned %d, 0x%.08X", L"m_MutextObj.Wait()", static_cast<int>(status.GetCategory()),
                   static_cast<unsigned>(status.GetCode()));
        return status;
    }
    if (g_entryPoints.dsGetDcNameWithAccount && g_entryPoints.rtlInitString && g_entryPoints.rtlInitUnicodeString)
        return status;

    // Only modules the process already has: this class never loads one.
    const wchar_t* step = nullptr;
    HMODULE netapi = ::GetModuleHandleW(L"netapi32.dll");
    HMODULE ntdll = netapi ? ::GetModuleHandleW(L"ntdll.dll") : nullptr;
    if (!netapi)
        step = L"GetModuleHandleW(netapi32.dll)";
    else if (!ntdll)
        step = L"GetModuleHandleW(ntdll.dll)";
    else if (!(g_entryPoints.dsGetDcNameWithAccount =
                   KvResolve<decltype(g_entryPoints.dsGetDcNameWithAccount)>(netapi, "DsGetDcNameWithAccountW")))
        step = L"GetProcAddress(DsGetDcNameWithAccountW)";
    else if (!(g_entryPoints.rtlInitString = KvResolve<decltype(g_entryPoints.rtlInitString)>(ntdll, "RtlInitString")))
        step = L"GetProcAddress(RtlInitString)";
    else if (!(g_entryPoints.rtlInitUnicodeString =
                   KvResolve<decltype(g_entryPoints.rtlInitUnicodeString)>(ntdll, "RtlInitUnicodeString")))
        step = L"GetProcAddress(RtlInitUnicodeString)";
    if (step)
    {
        const DWORD error = ::GetLastError();
        g_entryPoints = KerberosEntryPoints{};
        status.Set(CStatus::kWin32, error);
        VLIB_TRACE(L"%s returned %d, 0x%.08X", step, static_cast<int>(status.GetCategory()),
                   static_cast<unsigned>(status.GetCode()));
    }
    return status;
}
