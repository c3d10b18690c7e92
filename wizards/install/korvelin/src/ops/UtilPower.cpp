// CUtil's operations around the rename: privileges, the reboot, the user's
// SID and the directory computer account.
#include "Util.h"

#include "FunctionLog.h"
#include "LibADCompObject.h"
#include "LibLogger.h"
#include "StringIds.h"
#include "UniqueResource.h"

#define SECURITY_WIN32
#include <security.h>
#include <sddl.h>

#include <mutex>
#include <new>

namespace
{
constexpr DWORD kTokenAccess = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
constexpr DWORD kUserNameBuffer = 256;
constexpr DWORD kDomainBuffer = 1024;

using unique_hlocal_text = CUniqueResource<CHandleTraits<wchar_t*, &::LocalFree>>;
} // namespace

CStatus CUtil::SetPrivilege(const wchar_t* privilege, const wchar_t* computer, HANDLE token, bool enable) noexcept
{
    KV_LOG_FUNCTION();
    LUID luid{};
    if (!KvEntry().LookupPrivilegeValueW(computer, privilege, &luid))
    {
        const DWORD error = ::GetLastError();
        KV_LOG_WIN32(L"LookupPrivilegeValue", error);
        return CStatus::Failure(CStatus::kWin32, error);
    }
    // The process's own token is opened once and kept for the rest of the run.
    static std::mutex lock;
    static unique_handle processToken;
    std::lock_guard<std::mutex> guard(lock);
    if (!token)
    {
        if (!processToken &&
            !KvEntry().OpenProcessToken(::GetCurrentProcess(), kTokenAccess, &processToken))
        {
            const DWORD error = ::GetLastError();
            KV_LOG_WIN32(L"OpenProcessToken", error);
            return CStatus::Failure(CStatus::kWin32, error);
        }
        token = processToken.get();
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = luid;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    // Success says nothing: a privilege the account lacks is 1300 with TRUE.
    ::SetLastError(ERROR_SUCCESS);
    KvEntry().AdjustTokenPrivileges(token, FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
    const DWORD error = ::GetLastError();
    if (error != ERROR_SUCCESS)
    {
        KV_LOG_WIN32(L"AdjustTokenPrivileges", error);
        return CStatus::Failure(CStatus::kWin32, error);
    }
    return CStatus::Success();
}

CStatus CUtil::RebootNode(const wchar_t* computer) noexcept
{
    KV_LOG_FUNCTION();
    bool thisComputer = computer == nullptr;
    if (!thisComputer)
    {
        std::wstring own;
        const CStatus named = GetThisNodeName(own);
        if (named.IsFailed())
        {
            KV_LOG_FAILED(L"GetThisNodeName", named);
            return named;
        }
        thisComputer = ::lstrcmpiW(own.c_str(), computer) == 0;
    }
    const CStatus enabled =
        SetPrivilege(thisComputer ? SE_SHUTDOWN_NAME : SE_REMOTE_SHUTDOWN_NAME, computer, nullptr, true);
    if (enabled.IsFailed())
    {
        KV_LOG_FAILED(L"SetPrivilege", enabled);
        return enabled;
    }
    if (!KvEntry().InitiateSystemShutdownW(const_cast<LPWSTR>(computer), nullptr, 0, TRUE, TRUE))
    {
        const DWORD error = ::GetLastError();
        KV_LOG_WIN32(L"InitiateSystemShutdown", error);
        return CStatus::Failure(CStatus::kWin32, error);
    }
    return CStatus::Success();
}

CStatus CUtil::GetLoggedOnUsersSID(SidBuffer& sid) noexcept
{
    KV_LOG_FUNCTION();
    wchar_t user[kUserNameBuffer] = {};
    ULONG userSize = kUserNameBuffer;
    if (!::GetUserNameExW(NameSamCompatible, user, &userSize))
    {
        const DWORD error = ::GetLastError();
        KV_LOG_WIN32(L"GetUserNameEx", error);
        return CStatus::Failure(CStatus::kWin32, error);
    }
    SidBuffer buffer(new (std::nothrow) BYTE[kSidBuffer]());
    if (!buffer)
        return CStatus::Failure(CStatus::kApplication, kSidNotAllocated);
    DWORD sidSize = kSidBuffer;
    wchar_t domain[kDomainBuffer] = {};
    DWORD domainSize = kDomainBuffer;
    SID_NAME_USE use{};
    if (!::LookupAccountNameW(nullptr, user, buffer.get(), &sidSize, domain, &domainSize, &use))
    {
        const DWORD error = ::GetLastError();
        KV_LOG_WIN32(L"LookupAccountName", error);
        return CStatus::Failure(CStatus::kWin32, error);
    }
    sid = std::move(buffer);
    return CStatus::Success();
}

CStatus CUtil::GetLoggedOnUsersSIDString(std::wstring& text) noexcept
{
    KV_LOG_FUNCTION();
    SidBuffer sid;
    const CStatus status = GetLoggedOnUsersSID(sid);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"GetLoggedOnUsersSID()", status);
        return status;
    }
    unique_hlocal_text converted;
    if (!::ConvertSidToStringSidW(sid.get(), &converted))
    {
        const DWORD error = ::GetLastError();
        KV_LOG_WIN32(L"ConvertSidToStringSid", error);
        return CStatus::Failure(CStatus::kWin32, error);
    }
    try
    {
        text = converted.get();
    }
    catch (...)
    {
        return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    return status;
}

CStatus CUtil::RemoveComputerAccount(const std::wstring& computerName) noexcept
{
    KV_LOG_FUNCTION();
    VLibADCompObject account;
    CStatus status = account.Initialize(computerName.c_str(), 0, nullptr, nullptr, nullptr, nullptr);
    if (status.IsFailed())
    {
        KV_LOG_FAILED(L"VLibADCompObject::Initialize()", status);
        VLibThreadLogQueue::Global().Dump();
        return status;
    }
    if (!account.Exists())
        return status;
    if ((status = account.Delete()).IsFailed())
    {
        KV_LOG_FAILED(L"VLibADCompObject::Delete", status);
        VLibThreadLogQueue::Global().Dump();
        return status;
    }
    KV_LOG_TEXT(LOG_INFO, IDS_LOG_INFORMATION, L"Deleted the computer account %s.", computerName.c_str());
    return status;
}
