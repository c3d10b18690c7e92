// CUtil's node identity operations: the node's name, the system-name file
// that keeps the cluster knowing the node under its own name, and the rename.
#include "Util.h"

#include "AnsiText.h"
#include "FunctionLog.h"
#include "StringIds.h"

#include <lmjoin.h>

#include <cstdio>
#include <memory>

namespace
{
constexpr DWORD kHomeBuffer = 4096;
constexpr wchar_t kSysnameFile[] = L"\\conf\\sysname";

struct CFileCloser
{
    void operator()(FILE* file) const noexcept { std::fclose(file); }
};
} // namespace

CStatus CUtil::GetThisNodeName(std::wstring& name) noexcept
{
    KV_LOG_FUNCTION();
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = ARRAYSIZE(buffer);
    if (!KvEntry().GetComputerNameW(buffer, &size))
    {
        const DWORD error = ::GetLastError();
        KV_LOG_WIN32(L"GetComputerName", error);
        return CStatus::Failure(CStatus::kWin32, error);
    }
    try
    {
        name = buffer;
    }
    catch (...)
    {
        return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    return CStatus::Success();
}

CStatus CUtil::CreateSysnameFile(const std::wstring& name) noexcept
{
    KV_LOG_FUNCTION();
    try
    {
        std::wstring home(kHomeBuffer, L'\0');
        const DWORD length = ::GetEnvironmentVariableW(L"QLX_HOME", home.data(), kHomeBuffer);
        if (length == 0 || length > kHomeBuffer)
        {
            KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_NO_HOME);
            return CStatus::Failure(CStatus::kApplication, kNoHomeDirectory);
        }
        home.resize(length);
        const std::wstring path = home + kSysnameFile;
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        {
            // The first pass may run again; the name it wrote first is the node's own.
            KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_SYSNAME_EXISTS);
            return CStatus::Success();
        }
        const std::string bytes = ToAnsi(name, CP_THREAD_ACP);
        const std::unique_ptr<FILE, CFileCloser> file(_wfopen(path.c_str(), L"wt"));
        if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
            std::fflush(file.get()) != 0)
        {
            KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_SYSNAME_FAILED);
            return CStatus::Failure(CStatus::kApplication, kSysnameNotWritten);
        }
    }
    catch (...)
    {
        return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    return CStatus::Success();
}

CStatus CUtil::RenameNode(const std::wstring& newName, std::wstring& previousName) noexcept
{
    KV_LOG_FUNCTION();
    // Neither failure stops the rename: the rename itself decides.
    const CStatus named = GetThisNodeName(previousName);
    if (named.IsFailed())
        KV_LOG_FAILED(L"CUtil::GetThisNodeName()", named);
    const CStatus removed = RemoveComputerAccount(newName);
    if (removed.IsFailed())
        KV_LOG_FAILED(L"CUtil::RemoveComputerAccount()", removed);

    const NET_API_STATUS renamed =
        KvEntry().NetRenameMachineInDomain(nullptr, newName.c_str(), nullptr, nullptr, NETSETUP_ACCT_CREATE);
    if (renamed != NO_ERROR)
    {
        KV_LOG_WIN32(L"NetRenameMachineInDomain", renamed);
        return CStatus::Failure(CStatus::kWin32, renamed);
    }
    return removed;
}
