// CUtil: see Util.h.
#include "Util.h"

#include "ExchRegistry.h"
#include "FunctionLog.h"
#include "LibRegistry.h"
#include "StringIds.h"

namespace
{
} // namespace

// --- Optional switches below the Exchange configuration key ---

CStatus CUtil::IsSkipValueSet(const std::wstring& valueName, bool& isSet) noexcept
{
    KV_LOG_FUNCTION();
    isSet = false;
    DWORD data = 0;
    const CStatus status =
        CLibRegistry::ReadRegistryDWORDValue(nullptr, HKEY_LOCAL_MACHINE, CExchRegistry::kConfigKey, valueName, data);
    if (status.IsSuccess())
    {
        isSet = true;
        KV_LOG_TEXT(LOG_INFO, IDS_LOG_INFORMATION, L"Skip Value for %s is true.", valueName.c_str());
    }
    return status;
}
