// CUtil: the upgrade operations that the pages call, as static functions
// grouped by what they work on. Each returns a status record.
#pragma once

#include "ExchangeVersionList.h"
#include "Status.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

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
};
