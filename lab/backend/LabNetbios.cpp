// The lab's Netbios: the control block handled as Windows handles it (the
// return code in ncb_retcode and ncb_cmd_cplt and returned), answered from
// the lab's network (layout in LabNetworkStore.h).
#include "LabNetwork.h"

#include "LabClusterStore.h"
#include "LabFaults.h"
#include "LabNetworkStore.h"
#include "LabState.h"
#include "LibClock.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace KvLab
{
namespace
{
static_assert(sizeof(ADAPTER_STATUS) == 60 && offsetof(ADAPTER_STATUS, name_count) == 58 &&
                  sizeof(NAME_BUFFER) == 18,
              "the adapter status is read as bytes");

UCHAR Complete(NCB& ncb, UCHAR code)
{
    ncb.ncb_retcode = code;
    ncb.ncb_cmd_cplt = code;
    return code;
}

// Every LANA in the order NCBENUM lists them, with its physical address.
std::vector<std::pair<UCHAR, LabMac>> Lanas(const NetworkSnapshot& network)
{
    std::vector<std::pair<UCHAR, LabMac>> lanas;
    for (const LabAdapter& adapter : network.adapters)
        if (adapter.lana >= 0 && adapter.lana <= MAX_LANA)
            lanas.emplace_back(static_cast<UCHAR>(adapter.lana), adapter.mac);
    lanas.insert(lanas.end(), network.lanasWithoutAdapter.begin(), network.lanasWithoutAdapter.end());
    return lanas;
}

std::optional<LabMac> LanaAddress(const NetworkSnapshot& network, UCHAR lana)
{
    for (const auto& [number, mac] : Lanas(network))
        if (number == lana)
            return mac;
    return std::nullopt;
}

std::optional<UCHAR> InjectedCode(const NetworkSnapshot& network, UCHAR command, UCHAR lana)
{
    for (const int key : {static_cast<int>(lana), -1})
    {
        const auto found = network.returnCodes.find({command, key});
        if (found != network.returnCodes.end() && found->second != NRC_GOODRET)
            return found->second;
    }
    return std::nullopt;
}

// Copies what fits of the answer; a buffer too short keeps its length and gets NRC_INCOMP.
UCHAR Answer(NCB& ncb, const std::vector<BYTE>& answer)
{
    if (!ncb.ncb_buffer)
        return Complete(ncb, NRC_BADDR);
    const size_t copied = std::min<size_t>(ncb.ncb_length, answer.size());
    std::memcpy(ncb.ncb_buffer, answer.data(), copied);
    ncb.ncb_length = static_cast<WORD>(copied);
    return Complete(ncb, copied < answer.size() ? NRC_INCOMP : NRC_GOODRET);
}

UCHAR Enumerate(NCB& ncb, const NetworkSnapshot& network)
{
    std::vector<BYTE> answer{0};
    for (const auto& lana : Lanas(network))
        answer.push_back(lana.first);
    answer[0] = static_cast<BYTE>(answer.size() - 1);
    return Answer(ncb, answer);
}

// The answer of an adapter that holds these names: the status block, then one entry per name.
std::vector<BYTE> AdapterStatus(const LabMac& mac, const std::vector<NetbiosName>& names)
{
    ADAPTER_STATUS status{};
    std::copy(mac.begin(), mac.end(), status.adapter_address);
    status.rev_major = 3;
    status.adapter_type = 0xFE; // Ethernet
    status.max_cfg_sess = status.max_sess = 255;
    status.max_dgram_size = 1464;
    status.max_cfg_ncbs = status.max_ncbs = 255;
    status.max_sess_pkt_size = 1460;
    status.name_count = static_cast<WORD>(names.size());
    std::vector<BYTE> answer(sizeof(status) + names.size() * sizeof(NAME_BUFFER));
    std::memcpy(answer.data(), &status, sizeof(status));
    for (size_t i = 0; i < names.size(); ++i)
    {
        NAME_BUFFER entry{};
        std::copy(names[i].begin(), names[i].end(), entry.name);
        entry.name_num = static_cast<UCHAR>(i + 1);
        entry.name_flags = REGISTERED | UNIQUE_NAME;
        std::memcpy(answer.data() + sizeof(status) + i * sizeof(entry), &entry, sizeof(entry));
    }
    return answer;
}

std::vector<NetbiosName> OwnNames()
{
    std::string name = ToAnsi(LocalComputerName());
    std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(::toupper(c)); });
    return {MakeNetbiosName(name, 0x00), MakeNetbiosName(name, 0x20)};
}

bool IsWildcard(const UCHAR (&callname)[NCBNAMSZ])
{
    return callname[0] == '*' && std::all_of(callname + 1, callname + NCBNAMSZ, [](UCHAR c) { return c == ' ' || !c; });
}

UCHAR AdapterStatusQuery(NCB& ncb, const NetworkSnapshot& network)
{
    const auto lanaAddress = LanaAddress(network, ncb.ncb_lana_num);
    if (!lanaAddress)
        return Complete(ncb, NRC_BRIDGE);
    NetbiosName called;
    std::copy(ncb.ncb_callname, ncb.ncb_callname + NCBNAMSZ, called.begin());
    const std::vector<NetbiosName> own = OwnNames();
    if (IsWildcard(ncb.ncb_callname) || std::find(own.begin(), own.end(), called) != own.end())
        return Answer(ncb, AdapterStatus(*lanaAddress, own));
    for (const LabHost& host : network.hosts)
    {
        std::vector<NetbiosName> names;
        for (const auto& [name, suffix] : host.netbiosNames)
            names.push_back(MakeNetbiosName(name, suffix));
        if (std::find(names.begin(), names.end(), called) != names.end())
            return Answer(ncb, AdapterStatus(host.mac, names));
    }
    VLibClock::Current().Sleep(network.noAnswerDelay);
    return Complete(ncb, NRC_CMDTMO);
}
} // namespace

// Synchronous commands only: the lab has no completion to post.
UCHAR WINAPI Netbios(PNCB ncb)
{
    if (!ncb)
        return NRC_BADDR;
    if (const auto failed = TakeFailure<UCHAR>(Entry::Netbios))
        return Complete(*ncb, *failed);
    try
    {
        const auto network = Network();
        if (const auto injected = InjectedCode(*network, ncb->ncb_command, ncb->ncb_lana_num))
            return Complete(*ncb, *injected);
        switch (ncb->ncb_command)
        {
        case NCBENUM:
            return Enumerate(*ncb, *network);
        case NCBRESET:
            return Complete(*ncb, LanaAddress(*network, ncb->ncb_lana_num) ? NRC_GOODRET : NRC_BRIDGE);
        case NCBASTAT:
            return AdapterStatusQuery(*ncb, *network);
        default:
            return Complete(*ncb, NRC_ILLCMD);
        }
    }
    catch (...)
    {
        return Complete(*ncb, NRC_NORES);
    }
}
} // namespace KvLab
