// KvLab network store: see LabNetworkStore.h.
#include "LabNetworkStore.h"

#include "LabClusterStore.h"
#include "LabRegistryWatch.h"
#include "LabState.h"
#include "UniqueResource.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <sstream>

namespace KvLab
{
namespace
{
std::wstring NetworkPath(const wchar_t* below)
{
    return std::wstring(kNetworkKey) + L"\\" + below;
}

// Calls read(key, name) for each value of the key at path.
template <typename Read> void ForEachValue(const std::wstring& path, Read read)
{
    unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    wchar_t name[256];
    for (DWORD index = 0;; ++index)
    {
        DWORD length = ARRAYSIZE(name);
        if (::RegEnumValueW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        read(key.get(), std::wstring(name, length));
    }
}

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

std::vector<std::string> ReadList(HKEY key, const wchar_t* name)
{
    return Words(ReadAnsiText(key, name).value_or(""));
}

LabMac ReadMac(HKEY key)
{
    LabMac mac{};
    const auto bytes = ReadRaw(key, L"Mac", REG_BINARY);
    if (bytes && bytes->size() == mac.size())
        std::copy(bytes->begin(), bytes->end(), mac.begin());
    return mac;
}

bool Enabled(HKEY key, const wchar_t* name)
{
    return ReadDword(key, name).value_or(1) != 0;
}

// "NODE2<00> EVS1<20>"; reading stops at the first entry that is not well formed.
std::vector<std::pair<std::string, BYTE>> ParseNetbiosNames(const std::string& text)
{
    std::vector<std::pair<std::string, BYTE>> names;
    size_t at = 0;
    while ((at = text.find_first_not_of(' ', at)) != std::string::npos)
    {
        const size_t open = text.find('<', at);
        if (open == std::string::npos || open + 3 >= text.size() || text[open + 3] != '>' || open - at > 15 ||
            !isxdigit(static_cast<unsigned char>(text[open + 1])) ||
            !isxdigit(static_cast<unsigned char>(text[open + 2])))
            break;
        names.emplace_back(text.substr(at, open - at),
                           static_cast<BYTE>(std::stoul(text.substr(open + 1, 2), nullptr, 16)));
        at = open + 4;
    }
    return names;
}

std::shared_ptr<const NetworkSnapshot> ReadNetwork()
{
    auto network = std::make_shared<NetworkSnapshot>();
    ForEachKey(NetworkPath(L"Adapters"), [&](HKEY key) {
        LabAdapter adapter;
        adapter.mac = ReadMac(key);
        if (const auto lana = ReadDword(key, L"Lana"))
            adapter.lana = static_cast<int>(*lana);
        adapter.ipv4 = Enabled(key, L"Ipv4");
        adapter.ipv6 = Enabled(key, L"Ipv6");
        adapter.ipv4Addresses = ReadList(key, L"Ipv4Addresses");
        adapter.ipv6Addresses = ReadList(key, L"Ipv6Addresses");
        adapter.description = ReadAnsiText(key, L"Description").value_or("");
        network->adapters.push_back(std::move(adapter));
    });
    ForEachKey(NetworkPath(L"LanasWithoutAdapter"), [&](HKEY key) {
        if (const auto lana = ReadDword(key, L"Lana"))
            network->lanasWithoutAdapter.emplace_back(static_cast<UCHAR>(*lana), ReadMac(key));
    });
    ForEachKey(NetworkPath(L"Hosts"), [&](HKEY key) {
        LabHost host;
        host.name = ReadText(key, L"Name").value_or(L"");
        host.netbiosNames = ParseNetbiosNames(ReadAnsiText(key, L"NetbiosNames").value_or(""));
        host.mac = ReadMac(key);
        host.a = ReadList(key, L"A");
        host.aaaa = ReadList(key, L"AAAA");
        for (const std::string& type : ReadList(key, L"OtherRecordTypes"))
            host.otherRecordTypes.push_back(static_cast<WORD>(std::strtoul(type.c_str(), nullptr, 10)));
        host.answersEcho = Enabled(key, L"AnswersEcho");
        host.replyFrom = ReadAnsiText(key, L"ReplyFrom").value_or("");
        network->hosts.push_back(std::move(host));
    });
    ForEachValue(NetworkPath(L"NetbiosReturnCodes"), [&](HKEY key, const std::wstring& name) {
        const auto code = ReadDword(key, name.c_str());
        const size_t dash = name.find(L'-');
        if (!code || dash == std::wstring::npos)
            return;
        const auto command = static_cast<UCHAR>(std::wcstoul(name.c_str(), nullptr, 16));
        const int lana = name.substr(dash + 1) == L"*" ? -1 : std::wcstol(name.c_str() + dash + 1, nullptr, 10);
        network->returnCodes[{command, lana}] = static_cast<UCHAR>(*code);
    });
    ForEachValue(NetworkPath(L"NetbtInterfaces"),
                 [&](HKEY, const std::wstring& name) { network->netbtInterfaces.push_back(name); });
    unique_hkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kNetworkKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS)
    {
        network->noAnswerDelay = ReadDword(key.get(), L"NetbiosNoAnswerDelay").value_or(kDefaultNoAnswerDelay);
        network->real = ReadDword(key.get(), L"RealNetwork").value_or(0) == 1;
    }
    return network;
}

bool SetBinary(const std::wstring& path, const wchar_t* name, const std::vector<BYTE>& bytes)
{
    return SetValue(path, name, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
}

std::vector<BYTE> ReadBytes(HKEY key, const wchar_t* name)
{
    return ReadRaw(key, name, REG_BINARY).value_or(std::vector<BYTE>());
}
} // namespace

bool LabAddress::operator==(const LabAddress& other) const noexcept
{
    return family == other.family && (family == AF_INET ? v4.s_addr == other.v4.s_addr
                                                         : std::memcmp(&v6, &other.v6, sizeof(v6)) == 0);
}

std::optional<LabAddress> ParseAddress(const std::string& text)
{
    const size_t slash = text.find('/');
    const std::string address = text.substr(0, slash);
    LabAddress parsed;
    if (::inet_pton(AF_INET, address.c_str(), &parsed.v4) == 1)
        parsed.family = AF_INET;
    else if (::inet_pton(AF_INET6, address.c_str(), &parsed.v6) == 1)
        parsed.family = AF_INET6;
    else
        return std::nullopt;
    const unsigned long longest = parsed.family == AF_INET ? 32 : 128;
    unsigned long prefix = parsed.family == AF_INET ? 24 : 64;
    if (slash != std::string::npos)
    {
        const std::string digits = text.substr(slash + 1);
        if (digits.empty() || digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        prefix = std::stoul(digits);
    }
    if (prefix > longest)
        return std::nullopt;
    parsed.prefixLength = static_cast<BYTE>(prefix);
    return parsed;
}

std::string AddressText(const LabAddress& address)
{
    char text[INET6_ADDRSTRLEN] = {};
    const void* bytes = address.family == AF_INET ? static_cast<const void*>(&address.v4) : &address.v6;
    return ::inet_ntop(address.family, bytes, text, sizeof(text)) ? text : "";
}

NetbiosName MakeNetbiosName(const std::string& name, BYTE suffix)
{
    NetbiosName field;
    field.fill(' ');
    std::memcpy(field.data(), name.data(), std::min<size_t>(name.size(), field.size() - 1));
    field.back() = suffix;
    return field;
}

std::shared_ptr<const NetworkSnapshot> Network()
{
    static std::mutex lock;
    static uint64_t generation = 0;
    static std::shared_ptr<const NetworkSnapshot> network;
    const uint64_t now = RegistryGeneration();
    std::lock_guard<std::mutex> guard(lock);
    if (!network || now != generation)
    {
        network = ReadNetwork();
        generation = now;
    }
    return network;
}

std::wstring JoinedList(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : " ") + item;
    return FromAnsi(text);
}

std::wstring NetbiosNamesText(const std::vector<std::pair<std::string, BYTE>>& names)
{
    std::string text;
    for (const auto& [name, suffix] : names)
    {
        char hex[3];
        snprintf(hex, sizeof(hex), "%02X", suffix);
        text += (text.empty() ? "" : " ") + name + "<" + hex + ">";
    }
    return FromAnsi(text);
}

bool RecordEcho(const LabEchoRequest& request)
{
    const std::wstring path = FreeKey(NetworkPath(L"Records\\Echo"));
    return SetText(path, L"Destination", FromAnsi(request.destination)) &&
           (request.source.empty() || SetText(path, L"Source", FromAnsi(request.source))) &&
           SetBinary(path, L"Payload", request.payload) && SetNumber(path, L"ReplySize", request.replySize) &&
           SetNumber(path, L"Timeout", request.timeout) && SetNumber(path, L"Ttl", request.ttl);
}

bool RecordDeviceRequest(const LabDeviceRequest& request)
{
    const std::wstring path = FreeKey(NetworkPath(L"Records\\Device"));
    return SetText(path, L"Device", request.device) && SetNumber(path, L"Code", request.code) &&
           SetBinary(path, L"Input", request.input) && SetNumber(path, L"OutputSize", request.outputSize);
}

bool RecordDnsOptions(DWORD options)
{
    return SetNumber(FreeKey(NetworkPath(L"Records\\Dns")), L"Options", options);
}

std::vector<LabEchoRequest> EchoRecords()
{
    std::vector<LabEchoRequest> records;
    ForEachKey(NetworkPath(L"Records\\Echo"), [&](HKEY key) {
        LabEchoRequest request;
        request.destination = ReadAnsiText(key, L"Destination").value_or("");
        request.source = ReadAnsiText(key, L"Source").value_or("");
        request.payload = ReadBytes(key, L"Payload");
        request.replySize = ReadDword(key, L"ReplySize").value_or(0);
        request.timeout = ReadDword(key, L"Timeout").value_or(0);
        request.ttl = static_cast<BYTE>(ReadDword(key, L"Ttl").value_or(0));
        records.push_back(std::move(request));
    });
    return records;
}

std::vector<LabDeviceRequest> DeviceRecords()
{
    std::vector<LabDeviceRequest> records;
    ForEachKey(NetworkPath(L"Records\\Device"), [&](HKEY key) {
        records.push_back({ReadText(key, L"Device").value_or(L""), ReadDword(key, L"Code").value_or(0),
                           ReadBytes(key, L"Input"), ReadDword(key, L"OutputSize").value_or(0)});
    });
    return records;
}

std::vector<DWORD> DnsOptionRecords()
{
    std::vector<DWORD> records;
    ForEachKey(NetworkPath(L"Records\\Dns"),
               [&](HKEY key) { records.push_back(ReadDword(key, L"Options").value_or(0)); });
    return records;
}
} // namespace KvLab
