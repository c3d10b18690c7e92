// VLibNetbios: see LibNetbios.h.
#include "LibNetbios.h"

#include "EntryPoints.h"
#include "LibLogger.h"
#include "NetbiosWire.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr UCHAR kIncomplete = 0x06;
constexpr UCHAR kBufferTooSmall = 0x01;

CStatus NetbiosFailure(UCHAR code) noexcept
{
    return CStatus::Failure(CStatus::kWin32, VLibNetbiosWire::ReportedCode(code));
}

UCHAR Issue(NCB& ncb) noexcept
{
    return KvEntry().Netbios(&ncb);
}
} // namespace

void VLibNetbios::Set(UCHAR lana, const std::wstring& name) noexcept
{
    _lana = lana;
    try
    {
        _name = name;
    }
    catch (...)
    {
        _name.clear();
    }
}

CStatus VLibNetbios::GetLanaInfo(LANA_ENUM& lanas) noexcept
{
    NCB ncb{};
    ncb.ncb_command = NCBENUM;
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
    ncb.ncb_length = sizeof(lanas);
    const UCHAR code = Issue(ncb);
    if (code == NRC_GOODRET)
        return CStatus::Success();
    const CStatus status = NetbiosFailure(code);
    VLIB_TRACE(L"%s returned %d, 0x%.08X", L"Netbios(NCBENUM)", static_cast<int>(status.GetCategory()),
               status.GetCode());
    return status;
}

CStatus VLibNetbios::Reset() noexcept
{
    NCB ncb{};
    ncb.ncb_command = NCBRESET;
    ncb.ncb_lana_num = _lana;
    ncb.ncb_callname[0] = 0;
    ncb.ncb_callname[1] = kSessions;
    ncb.ncb_callname[3] = kNames;
    const UCHAR code = Issue(ncb);
    return code == NRC_GOODRET ? CStatus::Success() : NetbiosFailure(code);
}

CStatus VLibNetbios::AdapterStatus(const char* ansiName, std::vector<BYTE>& answer, size_t& length) noexcept
{
    length = 0;
    const VLibNetbiosWire::NameField field = VLibNetbiosWire::MakeNameField(ansiName ? ansiName : "");
    UCHAR code = NRC_GOODRET;
    try
    {
        if (answer.empty())
            answer.resize(kFirstAnswerBuffer);
        while (answer.size() < kAnswerLimit)
        {
            NCB ncb{};
            ncb.ncb_command = NCBASTAT;
            ncb.ncb_lana_num = _lana;
            std::memcpy(ncb.ncb_callname, field.data(), field.size());
            ncb.ncb_buffer = answer.data();
            ncb.ncb_length = static_cast<WORD>(answer.size());
            code = Issue(ncb);
            if (code == NRC_GOODRET)
            {
                length = std::min<size_t>(ncb.ncb_length, answer.size());
                return CStatus::Success();
            }
            VLIB_TRACE(L"%s returned 0x%.08X", L"Netbios(NCBASTAT)", static_cast<unsigned>(code));
            if (code != kIncomplete && code != kBufferTooSmall)
                break;
            answer.resize(answer.size() + kAnswerGrowth);
        }
    }
    catch (...)
    {
        return CStatus::Failure(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
    }
    const CStatus status = NetbiosFailure(code);
    VLIB_TRACE(L"%s returned %d, 0x%.08X", L"AdapterStatus()", static_cast<int>(status.GetCategory()),
               status.GetCode());
    return status;
}

CStatus VLibNetbios::GetMAC(BYTE (&address)[6]) noexcept
{
    std::vector<BYTE> answer;
    size_t length = 0;
    CStatus status = AdapterStatus("*", answer, length);
    VLibNetbiosWire::PhysicalAddress found{};
    if (status.IsSuccess() && !VLibNetbiosWire::AnswerAddress(answer.data(), length, found))
        status = CStatus::Failure(CStatus::kWin32, ERROR_INVALID_DATA);
    if (status.IsFailed())
    {
        VLIB_TRACE(L"%s returned %d, 0x%.08X", L"AdapterStatus(*)", static_cast<int>(status.GetCategory()),
                   status.GetCode());
        return status;
    }
    std::memcpy(address, found.data(), found.size());
    return status;
}

CStatus VLibNetbios::CheckForDuplicate(bool& listed) noexcept
{
    listed = false;
    char ansiName[MAX_PATH] = {};
    if (!_name.empty() && !::WideCharToMultiByte(CP_ACP, 0, _name.c_str(), -1, ansiName, sizeof(ansiName), nullptr,
                                                  nullptr))
        return CStatus::Failure(CStatus::kWin32, ::GetLastError());
    std::vector<BYTE> answer;
    size_t length = 0;
    const CStatus status = AdapterStatus(ansiName, answer, length);
    if (status.IsFailed())
    {
        VLIB_TRACE(L"%s returned %d, 0x%.08X", L"AdapterStatus()", static_cast<int>(status.GetCategory()),
                   status.GetCode());
        return status;
    }
    listed = VLibNetbiosWire::ListsName(answer.data(), length, ansiName);
    return status;
}
