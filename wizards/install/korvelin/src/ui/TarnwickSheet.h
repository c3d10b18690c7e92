// The wizard: a modal Wizard97 sheet with its five pages in a fixed order.
#pragma once

#include "AfxGdi.h"
#include "AfxSheet.h"
#include "CompletionPage.h"
#include "EVSSelectPage.h"
#include "MessagePage.h"
#include "TaskExecutionPage.h"
#include "UniqueResource.h"
#include "WelcomePage.h"

class CTarnwickSheet : public CPropertySheet
{
public:
    // Page indices, which the header texts are addressed by.
    enum PageIndex
    {
        kWelcomeIndex = 0,
        kSelectIndex = 1,
        kTaskIndex = 2,
        kMessageIndex = 3,
        kCompletionIndex = 4,
    };

    // Every page gets the application's shared state from here.
    CTarnwickSheet(CTarnwickApp& app, UINT captionId, CWnd* parent, UINT firstPage, HBITMAP watermark,
                   HBITMAP header) noexcept;

    // TRUE to cancel the wizard, FALSE to stay: asks the administrator.
    BOOL DisplayCancelConfirm() noexcept;

    // The titles' font: the dialog font, bold, 12 points. Made once.
    void CreateBoldFont() noexcept;
    const CFont& GetBoldFont() const noexcept { return m_boldFont; }

    CWelcomePage m_welcomePage;
    CEVSSelectPage m_evsSelectPage;
    CMessagePage m_messagePage;
    CCompletionPage m_completionPage;
    CTaskExecutionPage m_taskExecutionPage;
    CFont m_boldFont;
    unique_hicon m_icon;

protected:
    BOOL OnInitDialog() override;
};
