// The lab's cluster engine: the cluster client library's functions, answered
// from the lab registry (layout to come).
#pragma once

#include "EntryPoints.h"

namespace KvLab
{
#define KV_LAB_CLUSTER_DECLARE(name, result, params, failsBy) result WINAPI name params;
KV_CLUSTER_ENTRY_POINTS(KV_LAB_CLUSTER_DECLARE)
#undef KV_LAB_CLUSTER_DECLARE

// Results handed out and not yet freed.
long ClusterLiveResults() noexcept;
} // namespace KvLab
