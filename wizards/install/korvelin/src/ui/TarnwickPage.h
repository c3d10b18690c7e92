// What every page of the wizard shares: the cancel confirmation, and for the
// inner pages the step panel on the left.
#pragma once

#include "AfxSheet.h"
#include "LHSPanel.h"

class CTarnwickSheet;

class CTarnwickPage : public CPropertyPage
{
public:
    explicit CTarnwickPage(UINT dialogId) noexcept;

protected:
    CTarnwickSheet* GetSheet() const noexcept;
    // Asks the administrator before the wizard is cancelled.
    BOOL OnQueryCancel() override;
};

class CPanelPage : public CTarnwickPage
{
public:
    CPanelPage(UINT dialogId, UINT panelId) noexcept;

    const CLHSPanel& GetPanel() const noexcept { return m_panel; }

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // The panel's part of activation: table, layout, page id, current step.
    void ActivatePanel(const StepRow* table) noexcept;
    // The table of the pass that runs: the second pass's after a reboot.
    static const StepRow* PassSteps() noexcept;

    CLHSPanel m_panel;

private:
    UINT _panelId;
};
