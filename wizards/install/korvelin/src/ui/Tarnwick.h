// The application object: start-up checks, the choice of pass, and the store
// of everything the wizard's pages share.
#pragma once

#include "AfxApp.h"
#include "AfxGdi.h"
#include "AfxMt.h"
#include "Cluster.h"
#include "ExchangeVersionList.h"
#include "ExchRegistry.h"
#include "LibLogger.h"
#include "Status.h"

#include <string>

class CTarnwickSheet;

class CTarnwickApp : public CWinApp
{
public:
    static constexpr wchar_t kApplicationName[] = L"Korvelin";
    static constexpr wchar_t kInstanceMutex[] = L"Tolmarsh for QLX";
    static constexpr uint32_t kComponentNumber = 13;
    static constexpr uint32_t kSecondPass = CExchRegistry::kInstallStateUpgrading;

    // The eight icons of the image list, in their order.
    enum ImageSlot
    {
        kImageTaskDone,
        kImageUnused,
        kImageTaskRunning,
        kImageTaskFailed,
        kImageUpgraded,
        kImagePartiallyUpgraded,
        kImageNotUpgraded,
        kImageNotConfigured,
        kImageCount
    };

    CTarnwickApp() noexcept;

    // The whole run: checks, then the wizard. Always 0.
    int InitInstance() override;

    [[nodiscard]] CStatus CreateLogFile() noexcept;
    [[nodiscard]] CStatus _StartupChecks() noexcept;
    [[nodiscard]] CStatus _CheckInstallState() noexcept;
    // The one place that says which pass runs: the install state read at start-up.
    bool IsSecondPass() const noexcept { return m_installState == kSecondPass; }
    // The icons of the wizard, in the order of ImageSlot.
    void _BuildImageList() noexcept;
    // From now on a crash of any thread (the task worker's included) leaves
    // its code and address in the log before the process ends.
    static void LogCrashes() noexcept;

    CQLXExchConfig m_config;
    // The discovered cluster, with the library's handle for the whole run.
    CCluster m_cluster;
    uint32_t m_installedVersion = 0;
    uint32_t m_installedRoles = 0;
    std::wstring m_exchangeServerName;
    std::wstring m_completionText;
    std::wstring m_selectedEVS;
    VLibLogImplExchInstaller m_logImpl;
    uint32_t m_upgradeFailed = 0;
    uint32_t m_installState = 0;
    bool m_rebootNeeded = false;
    uint32_t m_firstPage = 0;
    CExchVersionList m_versions;
    CImageList m_imageList;
    int m_images[kImageCount] = {};
    uint32_t m_skipDiscovery = 0;
    uint32_t m_reserved = 0;
    uint32_t m_discoveryFailed = 0;
    CTarnwickSheet* m_sheet = nullptr;
    CMutex m_instanceMutex;
};

extern CTarnwickApp theApp;
