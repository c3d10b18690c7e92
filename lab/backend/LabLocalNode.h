// The local node's identity and power: its rename in the lab's domain and
// its shutdown requests. Key layout below HKLM\SOFTWARE\KorvelinLab\LocalNode:
//
//   "ComputerName"          REG_SZ, the name the node has now: what GetComputerNameW
//                           answers and what the lab takes for this computer (the
//                           real name when missing)
//   "PendingComputerName"   REG_SZ, the name a rename gave the node; it takes effect
//                           at the next simulated start. Missing: no rename pending
//   Shutdowns\<nnnn>        each shutdown request that was accepted, numbered in
//                           order from 0001
//       "Target"            REG_SZ, the computer as the caller named it; empty for null
//       "Timeout"           REG_DWORD, seconds
//       "Force", "Reboot"   REG_DWORD, 0 or 1
//       "Time"              REG_SZ, when it was asked, UTC ("2026-12-06T08:12:20.123Z")
//   Processes\<nnnn>        each process the node started, numbered in order from 0001
//       "CommandLine"       REG_SZ, as the caller gave it
//       "ProcessId"         REG_DWORD, so that a test can end the process it caused
#pragma once

#include <windows.h>
#include <lmcons.h>

#include <string>
#include <vector>

struct LabShutdownRequest
{
    std::wstring target;
    DWORD timeout = 0;
    bool force = false;
    bool reboot = false;
};

struct LabStartedProcess
{
    std::wstring commandLine;
    DWORD processId = 0;
};

namespace KvLab
{
// NetRenameMachineInDomain for this computer, as the lab's domain answers it.
NET_API_STATUS RenameLocalNode(LPCWSTR newName, DWORD options);
// "" when no rename is pending.
std::wstring PendingComputerName();

bool RecordShutdownRequest(const LabShutdownRequest& request);
// In the order they were made.
std::vector<LabShutdownRequest> ShutdownRequests();

bool RecordStartedProcess(const LabStartedProcess& process);
// In the order they were started.
std::vector<LabStartedProcess> StartedProcesses();
} // namespace KvLab
