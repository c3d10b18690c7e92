// CClusterDiscovery: see ClusterDiscovery.h.
#include "ClusterDiscovery.h"

#include "Cluster.h"
#include "ExchRegistry.h"
#include "MessageCatalogue.h"
#include "Util.h"

const CClusterDiscovery::Retry CClusterDiscovery::kRetryOrCancel = {MSG_ERROR, MB_RETRYCANCEL | MB_ICONERROR,
                                                                    IDS_CLUSTER_READ_RETRY, IDRETRY};
const CClusterDiscovery::Retry CClusterDiscovery::kYesOrNo = {
    MSG_INFO, MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2, IDS_DISCOVERY_RETRY, IDYES};

CStatus CClusterDiscovery::Discover(CCluster& cluster, bool& apiPending, const Retry& retry,
                                    const CFunctionLog& log) noexcept
{
    if (apiPending)
    {
        apiPending = false;
        if (const CStatus init = CUtil::InitQLXApi(); init.IsFailed())
        {
            log.Failed(__LINE__, L"CUtil::InitQLXApi()", init);
            (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_CLUSTER_API_FAILED);
            return init;
        }
    }
    for (;;)
    {
        // A read again starts from nothing: no node is listed twice.
        cluster.systems = {};
        cluster.evsList = {};
        const CStatus read = CUtil::GetClusterInfo(cluster);
        if (read.IsSuccess())
            return read;
        log.Failed(__LINE__, L"CUtil::GetClusterInfo()", read);
        if (CMessageCatalogue::Show(retry.severity, retry.style, retry.messageId) != retry.again)
            return read;
    }
}

bool CClusterDiscovery::IsSkipSet() noexcept
{
    bool isSet = false;
    // A missing value is the usual case, not a failure worth a line.
    (void)CUtil::IsSkipValueSet(CExchRegistry::kSkipClusterDiscovery, isSet);
    return isSet;
}
