// Cluster discovery as the welcome and the message page run it: the library
// readied once per page, the cluster read into the application's record, and
// a question to the administrator whether to read it again after a failure.
// Each page asks in its own words.
#pragma once

#include "FunctionLog.h"
#include "Status.h"

#include <windows.h>

class CCluster;

class CClusterDiscovery
{
public:
    struct Retry
    {
        int severity;
        UINT style;
        UINT messageId;
        int again; // the answer that reads the cluster again
    };

    // The welcome page: Retry or Cancel.
    static const Retry kRetryOrCancel;
    // The message page: Yes reads again, No goes on without the summary.
    static const Retry kYesOrNo;

    // apiPending is the page's own: the library is readied while it is set,
    // and it is cleared first, so a page readies the library at most once.
    // Failures are logged to log, the caller's.
    [[nodiscard]] static CStatus Discover(CCluster& cluster, bool& apiPending, const Retry& retry,
                                          const CFunctionLog& log) noexcept;

    // The configuration key's "SkipClusterDiscovery" flag: present as a DWORD.
    static bool IsSkipSet() noexcept;
};
