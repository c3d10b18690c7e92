// CCompletionPage: see CompletionPage.h.
#include "CompletionPage.h"

#include "EntryPoints.h"
#include "FunctionLog.h"
#include "LibRegistry.h"
#include "MessageCatalogue.h"
#include "ResourceIds.h"
#include "Tarnwick.h"
#include "TarnwickSheet.h"
#include "UniqueResource.h"
#include "UpgradeMatrix.h"
#include "Util.h"

namespace
{
constexpr wchar_t kBaseKey[] = L"SOFTWARE\\HALVERN\\QLX\\Base";
constexpr wchar_t kHomeDirectory[] = L"HomeDirectory";
constexpr wchar_t kLogFile[] = L"\\log\\Korvelin_A.txt";
constexpr int kLegend[] = {
    IDC_COMPLETION_LABEL_UPGRADED,     IDC_COMPLETION_LABEL_PARTIALLY_UPGRADED, IDC_COMPLETION_LABEL_NOT_UPGRADED,
    IDC_COMPLETION_LABEL_NOT_CONFIGURED, IDC_COMPLETION_ICON_UPGRADED,          IDC_COMPLETION_ICON_PARTIALLY_UPGRADED,
    IDC_COMPLETION_ICON_NOT_UPGRADED,  IDC_COMPLETION_ICON_NOT_CONFIGURED,      IDC_COMPLETION_CAPTION,
    IDC_COMPLETION_MATRIX};
} // namespace

CCompletionPage::CCompletionPage(CTarnwickApp& app) noexcept : CTarnwickPage(IDD_COMPLETION, app)
{
    m_psp.dwFlags |= PSP_HIDEHEADER;
}

BOOL CCompletionPage::OnInitDialog()
{
    // The bold font exists only once the welcome page was made: first pass.
    if (HFONT bold = GetSheet()->GetBoldFont().GetSafeHandle())
        ::SendDlgItemMessageW(m_hWnd, IDC_COMPLETION_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
    m_matrix.SubclassDlgItem(m_hWnd, IDC_COMPLETION_MATRIX);
    return TRUE;
}

BOOL CCompletionPage::OnSetActive()
{
    KV_LOG_FUNCTION();
    CTarnwickApp& app = App();
    const HWND logButton = GetDlgItem(IDC_COMPLETION_LOG);
    UINT body = IDS_COMPLETION_SUCCESS_TEXT;
    if (app.m_upgradeFailed)
    {
        ::ShowWindow(logButton, SW_SHOW);
        ::EnableWindow(logButton, TRUE);
        body = IDS_COMPLETION_FAILURE_TEXT;
        CUpgradeMatrix::ShowWithLegend(m_hWnd, kLegend, false);
    }
    else
    {
        ::ShowWindow(logButton, SW_HIDE);
        if (app.m_skipDiscovery || app.m_discoveryFailed)
            CUpgradeMatrix::ShowWithLegend(m_hWnd, kLegend, false);
        else
        {
            CUpgradeMatrix::ShowWithLegend(m_hWnd, kLegend, true);
            SetDlgItemText(IDC_COMPLETION_CAPTION, AfxLoadString(IDS_MATRIX_CAPTION));
            if (const CStatus named = CUtil::GetThisNodeName(app.m_completionText); named.IsFailed())
                KV_LOG_FAILED(L"CUtil::GetThisNodeName()", named);
            // The node still carries the server's name until it restarts:
            // its column shows the name it gets back.
            CUpgradeMatrix::Build(m_matrix, app, [&app](const CSystem& system) {
                return ::lstrcmpiW(system.computerName.c_str(), app.m_completionText.c_str()) == 0
                           ? app.m_config.orgCompName
                           : system.computerName;
            });
        }
    }
    SetDlgItemText(IDC_COMPLETION_TITLE, AfxLoadString(IDS_COMPLETION_TITLE));
    SetDlgItemText(IDC_COMPLETION_TEXT, AfxLoadString(body));
    CTarnwickSheet* sheet = GetSheet();
    sheet->SetWizardButtons(PSWIZB_FINISH);
    ::EnableWindow(sheet->GetDlgItem(IDCANCEL), FALSE);
    return TRUE;
}

bool CCompletionPage::OnCommand(UINT controlId, UINT code, HWND)
{
    if (controlId != IDC_COMPLETION_LOG || code != BN_CLICKED)
        return false;
    OnLog();
    return true;
}

std::wstring CCompletionPage::LogViewerCommand(const std::wstring& homeDirectory)
{
    return L"notepad.exe " + homeDirectory + kLogFile;
}

void CCompletionPage::OnLog() noexcept
{
    KV_LOG_FUNCTION();
    std::wstring home;
    if (const CStatus read = CLibRegistry::ReadRegistryStringValue(nullptr, HKEY_LOCAL_MACHINE, kBaseKey,
                                                                   kHomeDirectory, home);
        read.IsFailed())
    {
        KV_LOG_FAILED(L"CLibRegistry::ReadRegistryStringValue", read);
        (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_CONFIG_UNREADABLE);
        return;
    }
    try
    {
        std::wstring command = LogViewerCommand(home);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started{};
        if (KvEntry().CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                     &started))
        {
            const unique_handle process(started.hProcess), thread(started.hThread);
            return;
        }
        KV_LOG_WIN32(L"CreateProcess", ::GetLastError());
    }
    catch (const std::bad_alloc&)
    {
        // As if Notepad could not start: the administrator hears of it.
    }
    KV_LOG_MESSAGE(LOG_ERROR, IDS_LOG_VIEWER_FAILED);
    (void)CMessageCatalogue::Show(MSG_ERROR, MB_OK | MB_ICONERROR, IDS_LOG_VIEWER_FAILED);
}
