// Builds lab surroundings for tests: the same keys a scenario file imports.
// Everything below HKLM\SOFTWARE\KorvelinLab is removed on construction and
// destruction, so each test starts from an empty lab.
#pragma once

#include "LabLocalNode.h"
#include "LabNetworkStore.h"
#include "LabServiceConfig.h"

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How a cluster group answers a request to go offline (see LabCluster.h).
struct LabGroupOffline
{
    enum Mode
    {
        AfterPolls, // offline from the state poll after the first `polls` ones
        Never,      // the request succeeds, the group stays as it is
        Refuse      // the request fails with this error
    } mode = AfterPolls;
    DWORD polls = 0;
    DWORD errorClass = 0;
    DWORD errorNumber = 0;
    std::string text{}; // braced: a partial initialiser then draws no warning
};
using LabStates = std::vector<std::pair<std::wstring, DWORD>>; // system name, state, in any order

class CLabScenario
{
public:
    using LabShutdownRequest = ::LabShutdownRequest;
    using LabFailureActions = ::LabFailureActions;
    using LabStartedProcess = ::LabStartedProcess;
    using LabAdapter = ::LabAdapter;
    using LabHost = ::LabHost;
    using LabEchoRequest = ::LabEchoRequest;
    using LabDeviceRequest = ::LabDeviceRequest;

    CLabScenario() noexcept;
    ~CLabScenario();
    CLabScenario(const CLabScenario&) = delete;
    CLabScenario& operator=(const CLabScenario&) = delete;

    // Removes every lab key and forgets faults and call counts.
    void Reset() noexcept;

    // A reachable computer of the network with an empty registry.
    bool AddNode(const std::wstring& name) noexcept;
    bool SetUnreachable(const std::wstring& name, bool unreachable) noexcept;
    bool SetLocalComputerName(const std::wstring& name) noexcept;

    // The domain (layout in LabDirectory.h). The root DSE's three naming
    // contexts become objects ("domainDNS", "configuration", "dMD").
    bool SetDirectoryRoot(const std::wstring& defaultNamingContext, const std::wstring& configurationNamingContext,
                          const std::wstring& schemaNamingContext) noexcept;
    // A domain controller that server-qualified paths may name.
    bool AddDirectoryServer(const std::wstring& name) noexcept;
    // The cn is the value of the name's first component. Refused below an
    // object that does not exist, unless dn is a naming context.
    bool AddDirectoryObject(const std::wstring& dn, const std::wstring& className) noexcept;
    // Many at once (dn, class), each checked as above; parents may come earlier in the batch.
    bool AddDirectoryObjects(const std::vector<std::pair<std::wstring, std::wstring>>& objects) noexcept;
    // An account binds may name; one without rights binds to nothing.
    bool AddDirectoryAccount(const std::wstring& userName, const std::wstring& password, bool rights = true) noexcept;
    // Each replaces the attribute's values.
    bool SetDirectoryStrings(const std::wstring& dn, const std::wstring& attribute,
                             const std::vector<std::wstring>& values) noexcept;
    bool SetDirectoryIntegers(const std::wstring& dn, const std::wstring& attribute,
                              const std::vector<LONG>& values) noexcept;
    bool SetDirectoryBooleans(const std::wstring& dn, const std::wstring& attribute,
                              const std::vector<bool>& values) noexcept;
    bool SetDirectoryOctets(const std::wstring& dn, const std::wstring& attribute,
                            const std::vector<std::vector<BYTE>>& values) noexcept;
    static bool DirectoryObjectExists(const std::wstring& dn) noexcept;
    // A "computer" object CN=<name>,CN=Computers,<default naming context>; the
    // domain must exist (its Computers container is added when missing).
    bool AddComputerAccount(const std::wstring& name) noexcept;

    // What the node was asked to do to itself (layout in LabLocalNode.h and
    // LabServiceConfig.h). Reset() clears them.
    static std::wstring PendingComputerName();                 // "" when no rename is pending
    static std::vector<LabShutdownRequest> ShutdownRequests(); // in order
    // nullopt: none recorded
    static std::optional<LabFailureActions> FailureActionsOf(const std::wstring& serviceKeyName);
    static std::vector<LabStartedProcess> StartedProcesses(); // in order

    // The cluster (layout in LabCluster.h). Each Add* creates the cluster and
    // replaces an object of the same name; sysInfo and texts are ANSI bytes,
    // kept as they are.
    bool AddClusterSystem(const std::wstring& systemName, const std::string& sysInfo,
                          DWORD failedAttempts = 0) noexcept; // appends to "Systems"
    bool SetClusterSystemList(const std::vector<std::wstring>& names) noexcept; // replaces the "Systems" list as is
    bool AddClusterGroup(const std::wstring& group, const LabStates& states,
                         const LabGroupOffline& offline = {}) noexcept;
    bool AddClusterResource(const std::wstring& resource, const std::wstring& type, const std::wstring& virtualName,
                            const std::wstring& group, const LabStates& states) noexcept;
    // Hung until the lab service "Qen" has started again after the engine
    // first answered 53007.
    bool SetClusterEngineHung(bool hung) noexcept;
    // Every call of the entry fails with this error until cleared (creates the cluster too).
    bool SetClusterFailure(const std::wstring& function, DWORD errorClass, DWORD errorNumber,
                           const std::string& text) noexcept;
    bool ClearClusterFailure(const std::wstring& function) noexcept;
    bool SetClusterPresent() noexcept; // creates the Cluster key (an empty cluster); the Add* functions create it too

    // The network (layout in LabNetworkStore.h). Adapters, LANAs and hosts
    // are listed in the order they were added.
    bool AddNetworkAdapter(const LabAdapter& adapter) noexcept; // this computer's
    bool AddLanaWithoutAdapter(UCHAR lana, const std::array<BYTE, 6>& mac) noexcept;
    bool AddNetworkHost(const LabHost& host) noexcept;
    // lana -1: every LANA; code 0: the command works as usual again.
    bool SetNetbiosReturnCode(UCHAR command, int lana, UCHAR code) noexcept;
    bool SetNetbiosNoAnswerDelay(DWORD ms) noexcept; // default 50
    // The name check on this computer's real network (scripts/lib/real-network.sh).
    bool UseRealNetwork(bool real) noexcept;
    bool AddNetbtInterface(const std::wstring& ntPath) noexcept;
    // What the program sent, in order; Reset() clears them.
    static std::vector<LabEchoRequest> EchoRequests(); // addresses as text
    static std::vector<LabDeviceRequest> DeviceRequests();
    static std::vector<DWORD> DnsQueryOptions();

    // Full path below HKLM of a key in a node's simulated registry.
    static std::wstring NodeKeyPath(const std::wstring& node, HKEY root, const std::wstring& subkey);
};
