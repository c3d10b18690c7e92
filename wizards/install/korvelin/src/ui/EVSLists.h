// Which virtual servers the selection page offers: each configured server
// sorted by its directory version into upgradable, at the target and other,
// and the rule that a single-node upgradable server is the only choice.
#pragma once

#include "ExchangeVersionList.h"

#include <cstdint>
#include <string>
#include <vector>

class CEVSLists
{
public:
    // In the configuration's order. True when name is an upgradable server
    // with a single node: the caller says so in the log.
    bool Add(const std::wstring& name, const std::wstring& version, uint32_t systemCount,
             const CExchVersionList& versions);

    // The drop-down's names, in order. ignoreVersion offers every server.
    std::vector<std::wstring> Offered(bool ignoreVersion) const;

private:
    std::vector<std::wstring> _upgradable, _atTarget, _other;
    // The last single-node server of the configuration, whatever its list.
    std::wstring _singleNode;
    bool _singleNodeUpgradable = false;
};
