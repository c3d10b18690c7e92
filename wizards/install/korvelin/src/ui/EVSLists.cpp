// CEVSLists: see EVSLists.h.
#include "EVSLists.h"

#include "Util.h"

bool CEVSLists::Add(const std::wstring& name, const std::wstring& version, uint32_t systemCount,
                    const CExchVersionList& versions)
{
    const bool upgradable = CUtil::IsVersionInList(versions.toUpgrade, version);
    if (upgradable)
        _upgradable.push_back(name);
    else if (::lstrcmpiW(version.c_str(), versions.upgradeVersion.adVersion.c_str()) == 0)
        _atTarget.push_back(name);
    else
        _other.push_back(name);
    if (systemCount != 1)
        return false;
    _singleNode = name;
    if (upgradable)
        _singleNodeUpgradable = true;
    return upgradable;
}

std::vector<std::wstring> CEVSLists::Offered(bool ignoreVersion) const
{
    if (ignoreVersion)
    {
        std::vector<std::wstring> all = _upgradable;
        all.insert(all.end(), _atTarget.begin(), _atTarget.end());
        all.insert(all.end(), _other.begin(), _other.end());
        return all;
    }
    if (_singleNodeUpgradable)
        return {_singleNode};
    return _upgradable.empty() ? _atTarget : _upgradable;
}
