// CTarnwickApp: see Tarnwick.h.
#include "Tarnwick.h"

#include "AfxWin.h"
#include "FunctionLog.h"
#include "L10nUtil.h"
#include "MessageCatalogue.h"
#include "PageRoute.h"
#include "ResourceIds.h"
#include "StringIds.h"
#include "TarnwickSheet.h"
#include "UniqueResource.h"
#include "Util.h"


CTarnwickApp theApp;

namespace
{
constexpr uint32_t kCodeAnotherInstance = 200;
constexpr uint32_t kCodeNoExchange = 226;

struct ImageSource
{
    int icon;
    int size;
};
// The list is 16 pixels; the state icons are drawn at 32 and scaled into it.
constexpr int kListPixels = 16, kStatePixels = 32;
constexpr ImageSource kImages[CTarnwickApp::kImageCount] = {
    {IDI_TASK_DONE, kListPixels},         {IDI_TASK_PENDING, kListPixels},
    {IDI_TASK_RUNNING, kListPixels},      {IDI_TASK_FAILED, kListPixels},
    {IDI_STATE_UPGRADED, kStatePixels},   {IDI_STATE_PARTIALLY_UPGRADED, kStatePixels},
    {IDI_STATE_NOT_UPGRADED, kStatePixels}, {IDI_STATE_NOT_CONFIGURED, kStatePixels},
};

LPTOP_LEVEL_EXCEPTION_FILTER g_previousCrashFilter = nullptr;

LONG WINAPI LogCrash(EXCEPTION_POINTERS* exception) noexcept
{
    KV_LOG_FUNCTION_AS(L"CTarnwickApp::LogCrashes");
    const EXCEPTION_RECORD* record = exception ? exception->ExceptionRecord : nullptr;
    KV_LOG_TEXT(LOG_CRITICAL, IDS_LOG_INFORMATION,
                L"Unhandled exception 0x%08lX at %p in thread %lu: the wizard ends here. What the tasks finished "
                L"stays done; the configuration key shows where the upgrade stands.",
                record ? record->ExceptionCode : 0ul, record ? record->ExceptionAddress : nullptr,
                ::GetCurrentThreadId());
    return g_previousCrashFilter ? g_previousCrashFilter(exception) : EXCEPTION_CONTINUE_SEARCH;
}

// A bitmap of the resource module, owned by the run; null without a module.
unique_hbitmap LoadBitmapResource(int id) noexcept
{
    const HINSTANCE module = AfxGetResourceHandle();
    return unique_hbitmap(
        module ? static_cast<HBITMAP>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0)) : nullptr);
}
} // namespace

CTarnwickApp::CTarnwickApp() noexcept : m_instanceMutex(TRUE, kInstanceMutex)
{
}

int CTarnwickApp::InitInstance()
{
    unique_com_init com;
    L10nUtil::LoadResourceModule(kApplicationName);
    AfxEnableControlContainer();

    if (CreateLogFile().IsSuccess())
    {
        LogCrashes();
        KV_LOG_FUNCTION();
        // The checks and the wizard, logged under this function's name as
        // support expects; each way out ends here.
        const auto runWizard = [&]() noexcept {
            if (const CStatus checks = _StartupChecks(); checks.IsFailed())
            {
                KV_LOG_FAILED(L"_StartupChecks()", checks);
                return;
            }

            if (const CStatus catalogue = CUtil::GetExchangeVersionListFromXML(m_versions); catalogue.IsFailed())
            {
                KV_LOG_FAILED(L"GetExchangeVersionListFromXML()", catalogue);
                CUtil::SetDefaultExchangeVersionList(m_versions);
            }

            if (const CStatus config = CExchRegistry::ReadQLXExchReg(nullptr, m_config); config.IsFailed())
            {
                const bool noConfiguration = config.GetCode() == CExchRegistry::kNoConfigKey;
                if (!noConfiguration)
                    KV_LOG_FAILED(L"CExchRegistry::ReadQLXExchReg()", config);
                (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR,
                                              noConfiguration ? IDS_NO_EXCHANGE_CONFIG : IDS_CONFIG_UNREADABLE);
                return;
            }

            if (const CStatus pass = _CheckInstallState(); pass.IsFailed())
            {
                KV_LOG_FAILED(L"_CheckInstallState()", pass);
                return;
            }

            if (!IsSecondPass() && m_installedVersion == static_cast<uint32_t>(m_versions.upgradeVersion.code))
            {
                (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_ALREADY_UPGRADED);
                return;
            }

            _BuildImageList();
            const unique_hbitmap watermark = LoadBitmapResource(IDB_WATERMARK);
            const unique_hbitmap header = LoadBitmapResource(IDB_HEADER);
            CTarnwickSheet sheet(*this, IDS_SHEET_CAPTION, nullptr, m_firstPage, watermark.get(), header.get());
            m_sheet = &sheet;
            SetMainWnd(&sheet);
            (void)sheet.DoModal();
            SetMainWnd(nullptr);
            m_sheet = nullptr;
        };
        runWizard();
        com.reset();
    } // "<< Exiting" after COM is released, before the lists go
    VLibThreadLogQueue::Global().ClearAll();
    return 0;
}

CStatus CTarnwickApp::CreateLogFile() noexcept
{
    CStatus status = CStatus::Success();
    {
        const std::wstring applicationName = AfxLoadString(IDS_LOG_APPLICATION_NAME);
        // Loaded with the log's name, as every release has done; nothing reads it.
        const std::wstring productText = AfxLoadString(IDS_LOG_PRODUCT_TEXT);
        (void)productText;
        // Without a log the wizard still runs: every entry is then dropped.
        (void)g_Logger.Init(applicationName.c_str(), kComponentNumber, nullptr, nullptr);
    }
    // Only now is there a log to enter this function in.
    KV_LOG_FUNCTION();
    KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_STARTED);

    ThreadLogScope scope;
    VLibThreadLogQueue::Global().SetLogImpl(&m_logImpl);
    VLibThreadLogQueue::Global().RegisterThread();
    return status;
}

CStatus CTarnwickApp::_StartupChecks() noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = CStatus::Success();
    UINT message = 0;
    if (const DWORD error = m_instanceMutex.GetCreateError())
        KV_LOG_WIN32(L"CreateMutex", error);
    if (!m_instanceMutex.Lock(0))
    {
        KV_LOG_MESSAGE(LOG_ERROR, IDS_ANOTHER_INSTANCE);
        status.Set(CStatus::kApplication, kCodeAnotherInstance);
        message = IDS_ANOTHER_INSTANCE;
    }
    else if (const CStatus installed = CUtil::IsE2K7Installed(m_installedVersion, m_exchangeServerName,
                                                             m_installedRoles);
             installed.IsFailed())
    {
        KV_LOG_FAILED(L"CUtil::IsExchangeInstalled()", installed);
        status = installed;
        message = IDS_EXCHANGE_CHECK_FAILED;
    }
    else if (m_installedVersion == CUtil::kNotInstalled)
    {
        KV_LOG_MESSAGE(LOG_ERROR, IDS_NO_EXCHANGE);
        status.Set(CStatus::kApplication, kCodeNoExchange);
        message = IDS_NO_EXCHANGE;
    }
    if (status.IsFailed())
        (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, message);
    return status;
}

CStatus CTarnwickApp::_CheckInstallState() noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = CStatus::Success();
    if (m_config.installState == kSecondPass && m_config.orgCompName.empty())
    {
        // The second pass renames the node back to this name; without it the
        // pass would remove the state and leave the node under the server's name.
        KV_LOG_TEXT(LOG_ERROR, IDS_LOG_INFORMATION,
                    L"Install state 211 without a readable \"OrgCompName\": the node's own name is unknown.");
        (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_CONFIG_UNREADABLE);
        status.Set(CStatus::kWin32, ERROR_INVALID_DATA);
        return status;
    }
    if (m_config.installState == kSecondPass)
        m_installState = kSecondPass;
    m_firstPage = CPageRoute::FirstPage(IsSecondPass());
    return status;
}

void CTarnwickApp::LogCrashes() noexcept
{
    const LPTOP_LEVEL_EXCEPTION_FILTER previous = ::SetUnhandledExceptionFilter(&LogCrash);
    if (previous != &LogCrash)
        g_previousCrashFilter = previous;
}

void CTarnwickApp::_BuildImageList() noexcept
{
    KV_LOG_FUNCTION();
    if (!m_imageList.Create(kListPixels, kListPixels, ILC_COLOR4 | ILC_MASK, 0, 10))
        return;
    const HINSTANCE module = AfxGetResourceHandle();
    for (int slot = 0; slot < kImageCount; ++slot)
    {
        const HICON icon = module ? static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(kImages[slot].icon),
                                                                    IMAGE_ICON, kImages[slot].size,
                                                                    kImages[slot].size, LR_SHARED))
                                  : nullptr;
        m_images[slot] = m_imageList.Add(icon);
    }
}
