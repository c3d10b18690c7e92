// The real network that scripts/lib/real-network.sh makes in the test's
// namespace, the names on it with what the virtual-name check must answer for
// each, and one check seen from outside: its answer, the addresses it pinged
// and its time.
#pragma once

#include "LibVirtualName.h"
#include "RecordingLogOutput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

// The physical address of this computer's adapter on the real network.
constexpr wchar_t kRealNetworkMac[] = L"02:4b:56:4c:00:01";

struct RealNetworkName
{
    const wchar_t* name;
    const char* what;
    bool exists;          // under Wine
    bool existsOnWindows; // where Wine lacks what Windows has, the lab's answer
    bool byNetbios;       // found in the NetBIOS stage
    std::vector<std::wstring> pinged;
};

inline const std::vector<RealNetworkName>& RealNetworkNames()
{
    static const std::vector<RealNetworkName> names = {
        {L"EVS1", "held by nmbd", true, true, true, {}},
        {L"EVSECHO", "known to DNS only, answers echo", true, true, false, {L"10.77.0.3"}},
        {L"EVSSILENT", "resolves to an address that never answers", false, false, false, {L"10.78.0.5"}},
        {L"EVSNONE", "nobody's", false, false, false, {}},
        {L"EVSSELF", "resolves to this computer's own address", false, false, false, {}},
        // Wine 8 has no ICMPv6: the IPv6 stage pings and reads "not alive".
        {L"EVSSIX", "known by its IPv6 address only", false, true, false, {L"fd77::2"}},
    };
    return names;
}

struct NameCheck
{
    CStatus status;
    bool exists = false;
    bool byNetbios = false;
    std::vector<std::wstring> pinged;
    std::vector<std::wstring> traces;
    long long ms = 0;
};

// One check as the selection page makes it (without a physical address: on
// every LANA of this computer's adapters); the output takes its traces.
inline NameCheck CheckName(const wchar_t* name, CRecordingOutput& output, const wchar_t* mac = nullptr)
{
    (void)output.TakeTraces();
    const auto start = std::chrono::steady_clock::now();
    NameCheck check;
    {
        VLibVirtualName virtualName;
        (void)virtualName.Init(name);
        check.status = virtualName.IsExistInNetwork(check.exists, mac);
    }
    check.ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    bool dnsStage = false;
    const std::wstring pinging = L"Pinging ";
    check.traces = output.TakeTraces();
    for (const std::wstring& trace : check.traces)
    {
        dnsStage = dnsStage || trace.rfind(L"Trying to resolve and ping", 0) == 0;
        if (trace.rfind(pinging, 0) == 0 && trace.find(L" to check if virtual name ") != std::wstring::npos)
            check.pinged.push_back(trace.substr(pinging.size(), trace.find(L' ', pinging.size()) - pinging.size()));
    }
    check.byNetbios = check.exists && !dnsStage;
    return check;
}

// "up", "skip: <why>" or "failed: <why>" (scripts/test sets it); empty outside.
inline std::string RealNetworkState()
{
    const char* state = std::getenv("KV_REAL_NETWORK");
    return state ? state : "";
}

// Skips a test where no real network could be made; fails it where one
// should have been and was not.
#define KV_REQUIRE_REAL_NETWORK()                                                                                      \
    do                                                                                                                 \
    {                                                                                                                  \
        const std::string state = RealNetworkState();                                                                  \
        if (state.empty() || state.rfind("skip", 0) == 0)                                                              \
            GTEST_SKIP() << (state.empty() ? "not inside the real test network (scripts/test makes one)" : state);    \
        ASSERT_EQ("up", state);                                                                                        \
    } while (0)
