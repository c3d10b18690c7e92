// The local node's identity and power: see LabLocalNode.h.
#include "LabLocalNode.h"

#include "LabDirectory.h"
#include "LabState.h"
#include "UniqueResource.h"

#include <lmerr.h>
#include <lmjoin.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace KvLab
{
namespace
{
constexpr wchar_t kPendingName[] = L"PendingComputerName";

std::wstring ShutdownsPath()
{
    return std::wstring(kLocalNodeKey) + L"\\Shutdowns";
}

std::wstring ProcessesPath()
{
    return std::wstring(kLocalNodeKey) + L"\\Processes";
}

// A NetBIOS computer name: 1 to 15 characters; none of \ / : * ? " < > |
// (Microsoft's naming conventions for computers, KB 909264), nor [ ] + = ; ,
// or a control character (what NetprNameValidate refuses in a computer
// name); no period first, no blank at either end, not digits only (a domain
// member's name cannot be, KB 909264).
bool IsValidComputerName(const std::wstring& name)
{
    if (name.empty() || name.size() > MAX_COMPUTERNAME_LENGTH || name.front() == L'.' || name.front() == L' ' ||
        name.back() == L' ' || std::all_of(name.begin(), name.end(), ::iswdigit))
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](wchar_t c) { return c < 0x20 || wcschr(L"\\/:*?\"<>|[]+=;,", c); });
}

// The domain's computer accounts of that name, in key order.
std::vector<const DirectoryObject*> ComputerAccounts(const DirectorySnapshot& directory, const std::wstring& name)
{
    std::vector<const DirectoryObject*> accounts;
    for (size_t i : directory.WithCn(name))
        if (SameText(directory.objects[i].className, L"computer"))
            accounts.push_back(&directory.objects[i]);
    return accounts;
}
} // namespace

NET_API_STATUS RenameLocalNode(LPCWSTR newName, DWORD options)
{
    // The documented answers of NetRenameMachineInDomain and NetValidateName:
    // a computer name that is not valid gives NERR_InvalidComputer (2351), a
    // computer in no domain NERR_SetupNotJoined (2692).
    if (!newName)
        return ERROR_INVALID_PARAMETER;
    if (!IsValidComputerName(newName))
        return NERR_InvalidComputer;
    const auto directory = Directory();
    if (!directory->hasDomain)
        return NERR_SetupNotJoined;
    if (options & NETSETUP_ACCT_CREATE)
    {
        const auto own = ComputerAccounts(*directory, LocalComputerName());
        // The domain's account manager refuses an account name in use with
        // NERR_UserExists (2224, "the user account already exists", as
        // NetUserAdd documents it); a computer account is one such account.
        for (const DirectoryObject* account : ComputerAccounts(*directory, newName))
            if (own.empty() || account != own.front())
                return NERR_UserExists;
        // Without an account of its own the node has nothing to rename.
        if (!own.empty() && own.front()->cn != newName && !RenameDirectoryObject(own.front()->dn, newName))
            return NERR_UserExists; // another object holds that name in the account's container
    }
    return SetText(kLocalNodeKey, kPendingName, newName) ? NERR_Success : ERROR_CANTWRITE;
}

std::wstring PendingComputerName()
{
    unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLocalNodeKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    return ReadText(key.get(), kPendingName).value_or(L"");
}

bool RecordShutdownRequest(const LabShutdownRequest& request)
{
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    wchar_t time[32];
    swprintf(time, ARRAYSIZE(time), L"%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond, now.wMilliseconds);
    const std::wstring path = FreeKey(ShutdownsPath());
    return SetText(path, L"Target", request.target) && SetNumber(path, L"Timeout", request.timeout) &&
           SetNumber(path, L"Force", request.force ? 1 : 0) && SetNumber(path, L"Reboot", request.reboot ? 1 : 0) &&
           SetText(path, L"Time", time);
}

std::vector<LabShutdownRequest> ShutdownRequests()
{
    std::vector<LabShutdownRequest> requests;
    ForEachKey(ShutdownsPath(), [&requests](HKEY key) {
        requests.push_back({ReadText(key, L"Target").value_or(L""), ReadDword(key, L"Timeout").value_or(0),
                            ReadDword(key, L"Force").value_or(0) != 0, ReadDword(key, L"Reboot").value_or(0) != 0});
    });
    return requests;
}

bool RecordStartedProcess(const LabStartedProcess& process)
{
    const std::wstring path = FreeKey(ProcessesPath());
    return SetText(path, L"CommandLine", process.commandLine) && SetNumber(path, L"ProcessId", process.processId);
}

std::vector<LabStartedProcess> StartedProcesses()
{
    std::vector<LabStartedProcess> processes;
    ForEachKey(ProcessesPath(), [&processes](HKEY key) {
        processes.push_back({ReadText(key, L"CommandLine").value_or(L""), ReadDword(key, L"ProcessId").value_or(0)});
    });
    return processes;
}
} // namespace KvLab
