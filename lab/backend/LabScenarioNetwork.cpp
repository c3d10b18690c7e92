// CLabScenario's network: see LabScenario.h and, for the keys, LabNetworkStore.h.
#include "LabScenario.h"

#include "LabClusterStore.h"
#include "LabNetworkStore.h"
#include "LabState.h"

#include <nb30.h>

namespace
{
using KvLab::SetNumber;
using KvLab::SetText;

std::wstring NetworkPath(const wchar_t* below)
{
    return std::wstring(KvLab::kNetworkKey) + L"\\" + below;
}

bool SetMac(const std::wstring& path, const std::array<BYTE, 6>& mac)
{
    return KvLab::SetValue(path, L"Mac", REG_BINARY, mac.data(), static_cast<DWORD>(mac.size()));
}

// What the reader would drop or misread is refused when it is written.
bool AreAddresses(const std::vector<std::string>& texts, int family)
{
    for (const std::string& text : texts)
        if (const auto address = KvLab::ParseAddress(text); !address || address->family != family)
            return false;
    return true;
}

bool IsValid(const LabAdapter& adapter)
{
    return adapter.lana <= MAX_LANA && AreAddresses(adapter.ipv4Addresses, AF_INET) &&
           AreAddresses(adapter.ipv6Addresses, AF_INET6);
}

bool IsValid(const LabHost& host)
{
    for (const auto& [name, suffix] : host.netbiosNames)
        if (name.empty() || name.size() > 15 || name.front() == ' ' || name.find('<') != std::string::npos)
            return false;
    return AreAddresses(host.a, AF_INET) && AreAddresses(host.aaaa, AF_INET6) &&
           (host.replyFrom.empty() || KvLab::ParseAddress(host.replyFrom));
}

template <typename Number> std::vector<std::string> Texts(const std::vector<Number>& numbers)
{
    std::vector<std::string> texts;
    for (const Number number : numbers)
        texts.push_back(std::to_string(number));
    return texts;
}
} // namespace

bool CLabScenario::AddNetworkAdapter(const LabAdapter& adapter) noexcept
{
    try
    {
        if (!IsValid(adapter))
            return false;
        const std::wstring path = KvLab::FreeKey(NetworkPath(L"Adapters"));
        return SetMac(path, adapter.mac) && (adapter.lana < 0 || SetNumber(path, L"Lana", adapter.lana)) &&
               SetNumber(path, L"Ipv4", adapter.ipv4) && SetNumber(path, L"Ipv6", adapter.ipv6) &&
               SetText(path, L"Ipv4Addresses", KvLab::JoinedList(adapter.ipv4Addresses)) &&
               SetText(path, L"Ipv6Addresses", KvLab::JoinedList(adapter.ipv6Addresses)) &&
               SetText(path, L"Description", KvLab::FromAnsi(adapter.description));
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::AddLanaWithoutAdapter(UCHAR lana, const std::array<BYTE, 6>& mac) noexcept
{
    try
    {
        const std::wstring path = KvLab::FreeKey(NetworkPath(L"LanasWithoutAdapter"));
        return SetNumber(path, L"Lana", lana) && SetMac(path, mac);
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::AddNetworkHost(const LabHost& host) noexcept
{
    try
    {
        if (!IsValid(host))
            return false;
        const std::wstring path = KvLab::FreeKey(NetworkPath(L"Hosts"));
        return SetText(path, L"Name", host.name) &&
               SetText(path, L"NetbiosNames", KvLab::NetbiosNamesText(host.netbiosNames)) &&
               SetMac(path, host.mac) && SetText(path, L"A", KvLab::JoinedList(host.a)) &&
               SetText(path, L"AAAA", KvLab::JoinedList(host.aaaa)) &&
               SetText(path, L"OtherRecordTypes", KvLab::JoinedList(Texts(host.otherRecordTypes))) &&
               SetNumber(path, L"AnswersEcho", host.answersEcho) &&
               SetText(path, L"ReplyFrom", KvLab::FromAnsi(host.replyFrom));
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::SetNetbiosReturnCode(UCHAR command, int lana, UCHAR code) noexcept
{
    try
    {
        wchar_t name[16];
        swprintf(name, ARRAYSIZE(name), L"%02X-", command);
        const std::wstring value = name + (lana < 0 ? std::wstring(L"*") : std::to_wstring(lana));
        return SetNumber(NetworkPath(L"NetbiosReturnCodes"), value, code);
    }
    catch (...)
    {
        return false;
    }
}

bool CLabScenario::SetNetbiosNoAnswerDelay(DWORD ms) noexcept
{
    return SetNumber(KvLab::kNetworkKey, L"NetbiosNoAnswerDelay", ms);
}

bool CLabScenario::UseRealNetwork(bool real) noexcept
{
    return SetNumber(KvLab::kNetworkKey, L"RealNetwork", real ? 1 : 0);
}

bool CLabScenario::AddNetbtInterface(const std::wstring& ntPath) noexcept
{
    try
    {
        return SetNumber(NetworkPath(L"NetbtInterfaces"), ntPath, 1);
    }
    catch (...)
    {
        return false;
    }
}

std::vector<LabEchoRequest> CLabScenario::EchoRequests()
{
    return KvLab::EchoRecords();
}

std::vector<LabDeviceRequest> CLabScenario::DeviceRequests()
{
    return KvLab::DeviceRecords();
}

std::vector<DWORD> CLabScenario::DnsQueryOptions()
{
    return KvLab::DnsOptionRecords();
}
