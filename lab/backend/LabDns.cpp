// The lab's DNS: the answer section for a host of the lab's network (layout in
// LabNetworkStore.h) as a DNS_RECORDW list the lab holds until DnsFree.
#include "LabNetwork.h"

#include "LabFaults.h"
#include "LabNetworkStore.h"
#include "LabState.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace KvLab
{
namespace
{
// One answer: its records and the name they point to; nothing moves once built.
struct HeldAnswer
{
    std::wstring name;
    std::vector<DNS_RECORDW> records;
};

struct LiveAnswers
{
    std::mutex lock;
    std::unordered_map<const void*, std::unique_ptr<HeldAnswer>> answers; // by the first record
};

LiveAnswers& Answers()
{
    static LiveAnswers live;
    return live;
}

// A record whose data is only a name: it names the host itself.
bool HasNameData(WORD type)
{
    return type == DNS_TYPE_CNAME || type == DNS_TYPE_PTR || type == DNS_TYPE_NS;
}

DNS_RECORDW Record(HeldAnswer& held, WORD type)
{
    DNS_RECORDW record{};
    record.pName = held.name.data();
    record.wType = type;
    record.Flags.S.Section = DnsSectionAnswer;
    record.Flags.S.CharSet = DnsCharSetUnicode;
    record.dwTtl = 3600;
    if (HasNameData(type))
    {
        record.Data.CNAME.pNameHost = held.name.data();
        record.wDataLength = sizeof(DNS_PTR_DATAW);
    }
    return record;
}

// The host's records of that type in order, the other types after the first of them.
std::unique_ptr<HeldAnswer> AnswerOf(const LabHost& host, WORD type)
{
    auto held = std::make_unique<HeldAnswer>();
    held->name = host.name;
    std::vector<DNS_RECORDW> asked;
    const int family = type == DNS_TYPE_A ? AF_INET : type == DNS_TYPE_AAAA ? AF_INET6 : AF_UNSPEC;
    for (const std::string& text : family == AF_INET ? host.a : host.aaaa)
    {
        const auto address = ParseAddress(text);
        if (family == AF_UNSPEC || !address || address->family != family)
            continue;
        DNS_RECORDW record = Record(*held, type);
        if (family == AF_INET)
        {
            record.Data.A.IpAddress = address->v4.s_addr;
            record.wDataLength = sizeof(DNS_A_DATA);
        }
        else
        {
            std::memcpy(&record.Data.AAAA.Ip6Address, &address->v6, sizeof(address->v6));
            record.wDataLength = sizeof(DNS_AAAA_DATA);
        }
        asked.push_back(record);
    }
    for (const WORD other : host.otherRecordTypes)
        if (other == type)
            asked.push_back(Record(*held, type));
    if (asked.empty())
        return nullptr;
    held->records.push_back(asked.front());
    for (const WORD other : host.otherRecordTypes)
        if (other != type)
            held->records.push_back(Record(*held, other));
    held->records.insert(held->records.end(), asked.begin() + 1, asked.end());
    for (size_t i = 0; i + 1 < held->records.size(); ++i)
        held->records[i].pNext = &held->records[i + 1];
    return held;
}

// The name as asked, without the root's trailing period.
std::wstring AskedName(PCWSTR name)
{
    std::wstring asked = name;
    if (!asked.empty() && asked.back() == L'.')
        asked.pop_back();
    return asked;
}
} // namespace

// The options of every query are recorded, also of those that fail.
DNS_STATUS WINAPI DnsQuery_W(PCWSTR name, WORD type, DWORD options, PIP4_ARRAY, PDNS_RECORD* results, PVOID*)
{
    if (results)
        *results = nullptr;
    try
    {
        RecordDnsOptions(options);
        if (const auto failed = TakeFailure<DNS_STATUS>(Entry::DnsQuery_W))
            return *failed;
        if (!name || !results)
            return ERROR_INVALID_PARAMETER;
        const auto network = Network();
        const std::wstring asked = AskedName(name);
        for (const LabHost& host : network->hosts)
        {
            if (!SameText(host.name, asked))
                continue;
            auto held = AnswerOf(host, type);
            if (!held)
                return DNS_INFO_NO_RECORDS;
            DNS_RECORDW* first = held->records.data();
            LiveAnswers& live = Answers();
            std::lock_guard<std::mutex> guard(live.lock);
            live.answers.emplace(first, std::move(held));
            *results = first;
            return ERROR_SUCCESS;
        }
        return DNS_ERROR_RCODE_NAME_ERROR;
    }
    catch (...)
    {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

// Only a whole list handed out by DnsQuery_W is released; anything else is
// left alone, so a wrong free shows as a list still live.
VOID WINAPI DnsFree(PVOID data, DNS_FREE_TYPE freeType)
{
    if (!data || freeType != DnsFreeRecordList)
        return;
    std::unique_ptr<HeldAnswer> freed;
    LiveAnswers& live = Answers();
    std::lock_guard<std::mutex> guard(live.lock);
    const auto found = live.answers.find(data);
    if (found == live.answers.end())
        return;
    freed = std::move(found->second);
    live.answers.erase(found);
}

long NetworkLiveResults() noexcept
{
    LiveAnswers& live = Answers();
    std::lock_guard<std::mutex> guard(live.lock);
    return static_cast<long>(live.answers.size());
}
} // namespace KvLab
