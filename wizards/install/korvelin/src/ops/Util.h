// CUtil: the upgrade operations that the pages call, as static functions
// grouped by what they work on. Each returns a status record.
#pragma once

#include "ClusterResults.h"
#include "ExchangeVersionList.h"
#include "Status.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CCluster;

class CUtil
{
public:
    // --- Optional switches below the Exchange configuration key ---

    // Sets the flag when a DWORD value of that name can be read below the
    // configuration key of this computer, whatever its data. The result is the
    // read's: a missing value fails (2/2), and callers test only the flag.
    [[nodiscard]] static CStatus IsSkipValueSet(const std::wstring& valueName, bool& isSet) noexcept;

    // --- Exchange versions ---

    // Exchange version codes; 0 means Exchange 2007 is not installed.
    static constexpr uint32_t kNotInstalled = 0;
    static constexpr uint32_t kFirstRelease = 6; // 8.0; 8.1 is 7 ... 8.5 is 11
    static constexpr uint32_t kOtherRelease = 12;

    // Server roles found below the Exchange key.
    enum Role : uint32_t
    {
        kMailboxRole = 1,
        kClientAccessRole = 2,
        kHubTransportRole = 4,
        kUnifiedMessagingRole = 8,
        kEdgeTransportRole = 16,
    };

    // The version code from the named computer's setup values (null: this
    // computer); 12 when they cannot be read.
    [[nodiscard]] static CStatus GetExchangeVersion(const wchar_t* computer, uint32_t& code) noexcept;
    // This node: 0 and success when one of the Exchange services is missing.
    [[nodiscard]] static CStatus IsE2K7Installed(uint32_t& code, std::wstring& serverName, uint32_t& roles) noexcept;
    // The directory's version text of one virtual server.
    [[nodiscard]] static CStatus GetEVSVersionFromAD(const std::wstring& evsName, std::wstring& version) noexcept;
    // The catalogue file below QLX_HOME; entries read before a failure stay.
    [[nodiscard]] static CStatus GetExchangeVersionListFromXML(CExchVersionList& list) noexcept;
    // The built-in catalogue, for when the file cannot be read.
    static void SetDefaultExchangeVersionList(CExchVersionList& list) noexcept;
    // Case-insensitive comparison of the directory version texts.
    static bool IsVersionInList(const std::vector<CExchVersionEntry>& list, const std::wstring& version) noexcept;
    static bool IsVersionCodeInList(const std::vector<CExchVersionEntry>& list, int32_t code) noexcept;

    // The code of an Exchange 2007 minor release (0 to 5), else otherMinor.
    static uint32_t CodeOfMinor(DWORD minor, uint32_t otherMinor) noexcept;

    // --- The cluster ---

    // Results of category 1.
    static constexpr uint32_t kApiNotReady = 204;
    static constexpr uint32_t kClusterNotOpened = 206;
    static constexpr uint32_t kSystemNamesNotRead = 207;
    static constexpr uint32_t kSysInfoNotRead = 216;
    static constexpr uint32_t kGroupStillOnline = 229;
    static constexpr uint32_t kSysInfoEmpty = 230;

    // What a virtual server that the directory cannot date is recorded at.
    static constexpr wchar_t kOtherVersion[] = L"OTHER";

    // Readies the cluster library; 1/204 when it is not ready.
    [[nodiscard]] static CStatus InitQLXApi() noexcept;
    // The same, then the local cluster's handle; 1/206 without one.
    [[nodiscard]] static CStatus InitQLXApiAndGetHandle(QLXHANDLE& handle) noexcept;
    // Fills the cluster record: the handle, every system with its computer
    // name and Exchange version, and the virtual servers configured on each.
    // Restarts the engine's service "Qen" once when the engine is hung. A
    // failure keeps the systems found so far.
    [[nodiscard]] static CStatus GetClusterInfo(CCluster& cluster) noexcept;
    // A system's computer name, from its "SysInfo" attribute (100 attempts).
    [[nodiscard]] static CStatus GetActualNodeName(const std::wstring& systemName, std::wstring& computerName,
                                                   QLXHANDLE handle) noexcept;

    // --- Group state and offline (names are the library's ANSI texts) ---

    // Category 33 with the library's error number on failure.
    [[nodiscard]] static CStatus GetState(QLXHANDLE handle, const std::string& objectName, uint32_t kind,
                                          const QLXStateFilter* filter, unique_qlx_states& states) noexcept;
    // No Lanman resource is no failure: success with no result.
    [[nodiscard]] static CStatus GetLanmanResources(QLXHANDLE handle, unique_qlx_names& names) noexcept;
    [[nodiscard]] static CStatus GetVirtualName(QLXHANDLE handle, const std::string& resourceName,
                                                std::string& virtualName) noexcept;
    // The first system (in the library's order of resources, then of states)
    // on which the virtual server's Lanman resource is online, and its group.
    [[nodiscard]] static CStatus IsExchSGOnlineInLocalCluster(QLXHANDLE handle, const std::wstring& evsName,
                                                              bool& online, std::string& groupName,
                                                              std::string& systemName) noexcept;
    // Asks for the group to go offline and polls its state on systemName once
    // a second, 301 times at most (then 1/229).
    [[nodiscard]] static CStatus OfflineServiceGrp(QLXHANDLE handle, const std::string& groupName,
                                                   const std::string& systemName) noexcept;

    // --- The node's identity ---

    // Results of category 1.
    static constexpr uint32_t kNoHomeDirectory = 205;
    static constexpr uint32_t kSysnameNotWritten = 214;
    static constexpr uint32_t kSidNotAllocated = 215;

    // This computer's name (GetComputerName); a Windows error on failure.
    [[nodiscard]] static CStatus GetThisNodeName(std::wstring& name) noexcept;
    // Writes "<QLX_HOME>\conf\sysname" with the name in the thread's code page,
    // unless the file exists (then success, untouched).
    [[nodiscard]] static CStatus CreateSysnameFile(const std::wstring& name) noexcept;
    // Removes the directory account of newName, then renames this computer in
    // the domain (effective at the next start). When the rename succeeds the
    // result is the removal's.
    [[nodiscard]] static CStatus RenameNode(const std::wstring& newName, std::wstring& previousName) noexcept;

    // --- Privileges, reboot, the user and the computer account ---

    // A user's SID in its machine form: a buffer of kSidBuffer bytes that the
    // owner frees.
    static constexpr DWORD kSidBuffer = 1024;
    using SidBuffer = std::unique_ptr<BYTE[]>;

    // No token: the process's own, opened once and kept. Any last error
    // after the adjustment fails (1300: the account lacks the privilege).
    [[nodiscard]] static CStatus SetPrivilege(const wchar_t* privilege, const wchar_t* computer, HANDLE token,
                                              bool enable) noexcept;
    // Null, or this computer's name in any case: this computer.
    [[nodiscard]] static CStatus RebootNode(const wchar_t* computer) noexcept;
    [[nodiscard]] static CStatus GetLoggedOnUsersSID(SidBuffer& sid) noexcept;
    // "S-1-5-..."
    [[nodiscard]] static CStatus GetLoggedOnUsersSIDString(std::wstring& text) noexcept;
    // No account of that name is no failure.
    [[nodiscard]] static CStatus RemoveComputerAccount(const std::wstring& computerName) noexcept;

    // --- Services and start-up ---

    // The eleven Exchange services to manual start without recovery actions;
    // optional ones that are missing are listed to the user in one warning.
    [[nodiscard]] static CStatus MakeServicesManual() noexcept;
    // kAddStartUp writes the user's Run entry "QLXExchInst" (this program's
    // path); any other mode deletes it.
    static constexpr uint32_t kAddStartUp = 0;
    static constexpr uint32_t kRemoveStartUp = 1;
    [[nodiscard]] static CStatus ModifyStartUp(uint32_t mode) noexcept;

private:
    [[nodiscard]] static CStatus _RestartClusterEngine() noexcept;
};
