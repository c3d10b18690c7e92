// The lab's network as the registry keeps it: this computer's adapters and
// LANAs, the hosts on the network, what NetBIOS is told to answer, the NetBT
// interfaces, and the records of what the program sent. Key layout below
// HKLM\SOFTWARE\KorvelinLab\Network:
//
//   Adapters\<nnnn>             this computer's adapters, in key order (0001, 0002, ...)
//       "Mac"                   REG_BINARY, 6 bytes
//       "Lana"                  REG_DWORD, the adapter's LANA number; missing: no LANA
//       "Ipv4", "Ipv6"          REG_DWORD, 0: that protocol is not bound; missing: 1
//       "Ipv4Addresses"         REG_SZ, unicast addresses separated by blanks, each with an
//       "Ipv6Addresses"         optional prefix length ("192.168.10.1/24"; 24 and 64 when missing)
//       "Description"           REG_SZ
//   LanasWithoutAdapter\<nnnn>  LANAs that match no adapter, listed after the adapters' LANAs
//       "Lana"                  REG_DWORD
//       "Mac"                   REG_BINARY, 6 bytes
//   Hosts\<nnnn>                the other computers of the network, in key order
//       "Name"                  REG_SZ, the name DNS knows it by (compared without case)
//       "NetbiosNames"          REG_SZ, "NODE2<00> NODE2<20> EVS1<00>": up to 15 characters and
//                               the suffix byte in hexadecimal, separated by blanks
//       "Mac"                   REG_BINARY, 6 bytes, first in its adapter status
//       "A", "AAAA"             REG_SZ, its addresses separated by blanks, in answer order
//       "OtherRecordTypes"      REG_SZ, DNS types in decimal ("5" for CNAME) answered after
//                               the first record of the type asked for
//       "AnswersEcho"           REG_DWORD, 0: echo requests time out; missing: 1
//       "ReplyFrom"             REG_SZ, a router that answers echo requests of its own address
//                               family in the host's place: destination host unreachable
//   NetbiosReturnCodes          values "<command, 2 hex digits>-<LANA or *>" = REG_DWORD return
//                               code, e.g. "33-1"=dword:00000005; the LANA's own value wins
//   "NetbiosNoAnswerDelay"      REG_DWORD, ms an adapter-status query waits when nobody holds
//                               the name; missing: 50
//   "RealNetwork"               REG_DWORD, 1: the name check's calls (NetBIOS, adapter lists,
//                               DNS, echo) go to this computer's real network instead
//   NetbtInterfaces             values "\Device\NetBt_If<n>" (any type): the devices that open
//   Records\Echo\<nnnn>         each echo request sent: "Destination", "Source" (REG_SZ,
//                               IPv6 only), "Payload" (REG_BINARY), "ReplySize", "Timeout",
//                               "Ttl" (REG_DWORD; 0: no options given)
//   Records\Device\<nnnn>       each NetBT device request: "Device" (REG_SZ), "Code",
//                               "OutputSize" (REG_DWORD), "Input" (REG_BINARY)
//   Records\Dns\<nnnn>          each DnsQuery_W call: "Options" (REG_DWORD)
//
// A NetBIOS name is held by this computer (its own name with suffixes 0x00 and
// 0x20, on every LANA) or by the host that lists it; names compare as their 16
// bytes. Every host is reached through every LANA.
#pragma once

#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using LabMac = std::array<BYTE, 6>;

// Each member is braced, so a partial initialiser draws no warning.

// One adapter of this computer.
struct LabAdapter
{
    LabMac mac{};
    int lana = -1; // -1: none
    bool ipv4 = true;
    bool ipv6 = true;
    std::vector<std::string> ipv4Addresses{}; // "192.168.10.1" or "192.168.10.1/24"
    std::vector<std::string> ipv6Addresses{}; // "fd00::1" or "fd00::1/64"
    std::string description{};
};

// Another computer of the network.
struct LabHost
{
    std::wstring name{};
    std::vector<std::pair<std::string, BYTE>> netbiosNames{}; // up to 15 characters, suffix
    LabMac mac{};
    std::vector<std::string> a{};
    std::vector<std::string> aaaa{};
    std::vector<WORD> otherRecordTypes{};
    bool answersEcho = true;
    std::string replyFrom{}; // empty: the host answers for itself
};

// What the program sent, with addresses as text.
struct LabEchoRequest
{
    std::string destination{};
    std::vector<BYTE> payload{};
    DWORD replySize = 0;
    DWORD timeout = 0;
    BYTE ttl = 0;
    std::string source{}; // IPv6 requests only
};

struct LabDeviceRequest
{
    std::wstring device{};
    DWORD code = 0;
    std::vector<BYTE> input{};
    DWORD outputSize = 0;
};

namespace KvLab
{
constexpr wchar_t kNetworkKey[] = L"SOFTWARE\\KorvelinLab\\Network";
constexpr DWORD kDefaultNoAnswerDelay = 50;

// An address as the lab reads it from text.
struct LabAddress
{
    int family = AF_UNSPEC; // AF_INET or AF_INET6
    IN_ADDR v4{};
    IN6_ADDR v6{};
    BYTE prefixLength = 0;

    bool operator==(const LabAddress& other) const noexcept;
};
// "a.b.c.d", "x::y", each with an optional "/<prefix length>"; nullopt for anything else.
std::optional<LabAddress> ParseAddress(const std::string& text);
std::string AddressText(const LabAddress& address);

// The NetBIOS name field: the name padded with blanks to 15 bytes, then the suffix.
using NetbiosName = std::array<BYTE, 16>;
NetbiosName MakeNetbiosName(const std::string& name, BYTE suffix);

struct NetworkSnapshot
{
    std::vector<LabAdapter> adapters;
    std::vector<std::pair<UCHAR, LabMac>> lanasWithoutAdapter;
    std::vector<LabHost> hosts;
    std::map<std::pair<UCHAR, int>, UCHAR> returnCodes; // (command, LANA or -1): code
    DWORD noAnswerDelay = kDefaultNoAnswerDelay;
    bool real = false;
    std::vector<std::wstring> netbtInterfaces;
};

// The network as the registry holds it now, read once per registry generation.
std::shared_ptr<const NetworkSnapshot> Network();

// The lists' text forms, shared by the reader and the scenario builder.
std::wstring JoinedList(const std::vector<std::string>& items);
std::wstring NetbiosNamesText(const std::vector<std::pair<std::string, BYTE>>& names);

bool RecordEcho(const LabEchoRequest& request);
bool RecordDeviceRequest(const LabDeviceRequest& request);
bool RecordDnsOptions(DWORD options);
std::vector<LabEchoRequest> EchoRecords();
std::vector<LabDeviceRequest> DeviceRecords();
std::vector<DWORD> DnsOptionRecords();
} // namespace KvLab
