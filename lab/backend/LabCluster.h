// The lab's cluster engine: the cluster client library's functions, answered
// from the lab registry, so a scenario file or a test sets the cluster up and
// a lab run keeps the engine's progress across the wizard's processes.
//
// Key layout below HKLM\SOFTWARE\KorvelinLab\Cluster. Without this key the
// node is in no cluster: QLXApiInit, QLXClusterOpenLocal and every call on a
// cluster handle fail with 20/kLabNotInCluster.
//
//   "Systems"               REG_MULTI_SZ, the systems in the order the engine lists
//                           them, kept as they are: a name may come twice or be
//                           empty, as a broken engine answers
//   "EngineHung"            REG_DWORD, 1: QLXClusterOpenLocal fails with 20/53007
//                           until the lab service "Qen" has started again: when
//                           the engine first sees the hang it notes Qen's start
//                           count in "HungAtStarts", and it answers (clearing
//                           both values) once the count has grown
//   Systems\<system>
//       "SysInfo"           text: the attribute "SysInfo" (as any text value here),
//                           one value keyed by the system name as the caller gave it
//       "SysInfoFailures"   REG_DWORD, that many reads of "SysInfo" fail with
//                           20/kLabSysInfoUnavailable before it is readable;
//                           counted per system in the process, from the last
//                           KvLab::ResetFaults
//   Groups\<group>
//       States              one REG_DWORD per system name: the group's state there
//                           (any value); a system without one has no entry
//       "OfflineAfterPolls" REG_DWORD N: after QLXGrpOffline the first N state polls
//                           of the group still answer the old states, the next ones
//                           1 on every system (N = 0 or no value: the first poll)
//       "NeverOffline"      REG_DWORD 1: QLXGrpOffline succeeds, nothing changes
//       "RefuseClass", "RefuseNumber" REG_DWORD, "RefuseText" text: QLXGrpOffline
//                           fails with that error (refused whenever "RefuseClass" is there)
//       "OfflinePollsLeft"  REG_DWORD, the engine's own: written by QLXGrpOffline,
//                           counted down by the group's polls; at 0 the group and
//                           every resource naming it answer 1 on every system
//   Resources\<resource>
//       "Type", "VirtualName", "Group"   REG_SZ; any text value is an attribute of
//                           that name with one value without a key
//       States              as a group's
//   Failures\<function>     while the key exists every call of that entry fails with
//       "Class", "Number"   REG_DWORD
//       "Text"              text
//
// Text values are REG_SZ, given out in the ANSI code page, or REG_BINARY, given
// out byte for byte (any bytes a test needs). Groups and resources are listed
// in the order the registry enumerates their keys (by name). Names filters
// (kind 22) take conditions "<value name>=<text>", matched without regard to
// case against the object's text values. State results follow the "Systems"
// list; a state filter (kind 17), and a system named in the call, narrow it,
// without regard to case. QLXGrpOffline takes the whole group offline; a
// system it names must be one of the cluster's. Every result is counted
// until its QLXFree* call, which frees only a result of its own kind.
//
// Each call first meets its lab fault (LabFaults.h), then its stored failure,
// then does its work. A fault fails the entry with class 20, the fault's
// error as the number and a text naming the entry; it only counts the calls
// of the free functions, which cannot fail, and makes QLXApiGetLastError
// answer the fault's error instead of the thread's.
#pragma once

#include "EntryPoints.h"

namespace KvLab
{
// Error numbers of the lab's engine, all of class QLX_ERROR_CLASS_ENGINE,
// besides QLX_ERROR_ENGINE_NOT_RESPONDING and QLX_ERROR_NO_OBJECTS (no object
// matches, or there is none of the kind).
constexpr uint32_t kLabNotInCluster = 50010;       // no Cluster key
constexpr uint32_t kLabBadHandle = 50011;          // not a handle, control information or attribute of ours
constexpr uint32_t kLabBadArgument = 50012;        // a null pointer, an unknown kind, version or filter
constexpr uint32_t kLabNoSuchObject = 50020;       // no system, group or resource of that name
constexpr uint32_t kLabNoSuchAttribute = 50021;    // the object has no such value
constexpr uint32_t kLabNoSuchKey = 50022;          // QLXAttrGetStr: no value with that key
constexpr uint32_t kLabSysInfoUnavailable = 50040; // "SysInfoFailures" not used up yet
constexpr uint32_t kLabOutOfMemory = 50099;

// The lab service whose restart ends a hung engine.
constexpr wchar_t kEngineServiceName[] = L"Qen";

#define KV_LAB_CLUSTER_DECLARE(name, result, params, failsBy) result WINAPI name params;
KV_CLUSTER_ENTRY_POINTS(KV_LAB_CLUSTER_DECLARE)
#undef KV_LAB_CLUSTER_DECLARE

// Results handed out and not yet freed.
long ClusterLiveResults() noexcept;
// Forgets how many "SysInfo" reads each system has failed; ResetFaults calls it.
void ResetClusterAttempts() noexcept;
} // namespace KvLab
