// Times the cluster discovery on generated lab clusters: 2 to 64 nodes with 1
// to 16 virtual servers each, every wait on a clock that advances at once.
// Prints the wall and CPU time per node; the lab runs in this process, so its
// share is part of what is measured.
#include "Cluster.h"
#include "Util.h"

#include "LabScenario.h"
#include "LibClock.h"
#include "UniqueResource.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
const std::wstring kConfiguration = L"CN=Configuration,DC=lab,DC=test";
const std::wstring kServers = L"CN=Servers," + kConfiguration;

class CInstantClock final : public VLibClock
{
public:
    void Sleep(DWORD ms) noexcept override { _now += ms; }
    ULONGLONG TickCount() noexcept override { return _now; }

private:
    ULONGLONG _now = 0;
};

ULONGLONG ProcessCpu100ns()
{
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto value = [](const FILETIME& t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return value(kernel) + value(user);
}

double NowMs()
{
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

void SetDword(const std::wstring& key, const wchar_t* name, DWORD value)
{
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, REG_DWORD, &value, sizeof(value));
}

// Each node a lab computer with Exchange 2007 SP1 and its own virtual servers,
// each dated by the directory.
bool Generate(CLabScenario& lab, int nodes, int evsPerNode)
{
    bool ok = lab.SetLocalComputerName(L"BENCH") &&
              lab.SetDirectoryRoot(L"DC=lab,DC=test", kConfiguration, L"CN=Schema," + kConfiguration) &&
              lab.AddDirectoryObject(kServers, L"msExchServersContainer");
    std::vector<std::pair<std::wstring, std::wstring>> objects;
    for (int n = 1; ok && n <= nodes; ++n)
    {
        const std::wstring node = L"NODE" + std::to_wstring(n);
        ok = lab.AddNode(node) &&
             lab.AddClusterSystem(L"qlx-" + std::to_wstring(n), std::to_string(n) + ":NODE" + std::to_string(n) + ",RUNNING");
        const std::wstring setup =
            CLabScenario::NodeKeyPath(node, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Exchange\\v8.0\\Setup");
        SetDword(setup, L"MsiProductMajor", 8);
        SetDword(setup, L"MsiProductMinor", 1);
        const std::wstring config = CLabScenario::NodeKeyPath(node, HKEY_LOCAL_MACHINE, L"SOFTWARE\\HALVERN\\QLX\\ExchConfig");
        SetDword(config, L"ExchVersion", 7);
        for (int v = 1; v <= evsPerNode; ++v)
        {
            const std::wstring evs = L"EVS-" + std::to_wstring(n) + L"-" + std::to_wstring(v);
            unique_hkey key;
            ::RegCreateKeyW(HKEY_LOCAL_MACHINE, (config + L"\\EVS\\" + evs + L"\\Systems\\" + node).c_str(), &key);
            objects.emplace_back(L"CN=" + evs + L"," + kServers, L"msExchExchangeServer");
        }
    }
    if (!ok || !lab.AddDirectoryObjects(objects))
        return false;
    for (const auto& object : objects)
        if (!lab.SetDirectoryStrings(object.first, L"versionNumber", {L"1912701168"}))
            return false;
    return true;
}
} // namespace

int wmain()
{
    unique_com_init com;
    CInstantClock clock;
    VLibClock::Install(&clock);
    std::printf("%-6s %-5s %-5s %12s %12s\n", "nodes", "evs", "runs", "wall ms/node", "cpu ms/node");
    int failures = 0;
    for (const int nodes : {2, 8, 32, 64})
    {
        for (const int evs : {1, 4, 16})
        {
            CLabScenario lab;
            if (!Generate(lab, nodes, evs))
            {
                std::printf("%-6d %-5d could not generate the cluster\n", nodes, evs);
                ++failures;
                continue;
            }
            // Enough runs that the CPU clock's coarse tick stays small beside the total.
            const int runs = std::max(5, 1024 / (nodes * evs));
            // One run first, unmeasured, as the wizard's first discovery pays for loading.
            for (int warm = 0; warm < 2; ++warm)
            {
                const double wallStart = NowMs();
                const ULONGLONG cpuStart = ProcessCpu100ns();
                bool ok = true;
                for (int r = 0; r < (warm ? runs : 1); ++r)
                {
                    CCluster cluster;
                    ok = ok && CUtil::InitQLXApi().IsSuccess() && CUtil::GetClusterInfo(cluster).IsSuccess() &&
                         cluster.systems.Size() == size_t(nodes) && cluster.evsList.Size() == size_t(nodes * evs);
                }
                if (!ok)
                {
                    std::printf("%-6d %-5d discovery failed\n", nodes, evs);
                    ++failures;
                    break;
                }
                if (!warm)
                    continue;
                const double perNode = double(runs) * nodes;
                std::printf("%-6d %-5d %-5d %12.3f %12.3f\n", nodes, evs, runs, (NowMs() - wallStart) / perNode,
                            double(ProcessCpu100ns() - cpuStart) / 10000.0 / perNode);
            }
        }
    }
    VLibClock::Install(nullptr);
    return failures;
}
