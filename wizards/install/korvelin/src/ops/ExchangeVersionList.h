// The catalogue of Exchange versions: which directory versions are upgraded,
// and the one the upgrade produces, each with its version code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CExchVersionEntry
{
    std::wstring adVersion; // the directory's "versionNumber", as text
    int32_t code = 0;       // the version code (6 to 12)
};

struct CExchVersionList
{
    std::vector<CExchVersionEntry> toUpgrade;
    CExchVersionEntry upgradeVersion;
};
