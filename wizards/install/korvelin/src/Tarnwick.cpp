// CTarnwickApp: see Tarnwick.h.
#include "Tarnwick.h"

#include "AfxWin.h"
#include "FunctionLog.h"
#include "L10nUtil.h"
#include "MessageCatalogue.h"

#include <objbase.h>

CTarnwickApp theApp;

namespace
{
constexpr UINT kStartupInfo = 10001;
constexpr UINT kLogApplicationName = 10002;
constexpr UINT kProductText = 10003;
constexpr UINT kNoExchange = 7512;
constexpr uint32_t kCodeNoExchange = 226;
} // namespace

int CTarnwickApp::InitInstance() noexcept
{
    const HRESULT com = ::CoInitialize(nullptr);
    L10nUtil::LoadResourceModule(kApplicationName);

    if (CreateLogFile().IsSuccess())
    {
        KV_LOG_FUNCTION();
        const CStatus checks = _StartupChecks();
        if (checks.IsFailed())
            KV_LOG_FAILED(L"_StartupChecks()", checks);
    }

    if (SUCCEEDED(com))
        ::CoUninitialize();
    return 0;
}

CStatus CTarnwickApp::CreateLogFile() noexcept
{
    KV_LOG_FUNCTION();
    CStatus status;
    status.SetSuccess();
    const std::wstring applicationName = AfxLoadString(kLogApplicationName);
    // Loaded with the log's name, as every release has done; nothing reads it.
    const std::wstring productText = AfxLoadString(kProductText);
    (void)productText;
    // Without a log the wizard still runs: every entry is then dropped.
    (void)g_Logger.Init(applicationName.c_str(), kComponentNumber, nullptr, nullptr);
    KV_LOG_MESSAGE(LOG_INFO, kStartupInfo);
    return status;
}

CStatus CTarnwickApp::_StartupChecks() noexcept
{
    KV_LOG_FUNCTION();
    CStatus status;
    status.SetSuccess();
    // Exchange detection comes with the version module; until it lands every
    // node counts as one without Exchange, which is what a bare lab node is.
    KV_LOG_MESSAGE(LOG_ERROR, kNoExchange);
    status.Set(CStatus::kApplication, kCodeNoExchange);
    (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK, kNoExchange);
    return status;
}
