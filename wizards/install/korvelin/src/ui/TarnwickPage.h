// What every page of the wizard shares: the application's state handed over
// by the sheet, the cancel confirmation, and for the inner pages the step
// panel on the left.
#pragma once

#include "AfxSheet.h"
#include "LHSPanel.h"

class CTarnwickApp;
class CTarnwickSheet;

class CTarnwickPage : public CPropertyPage
{
public:
    CTarnwickPage(UINT dialogId, CTarnwickApp& app) noexcept;

protected:
    // What the pages share (configuration, cluster, flags): the application's.
    CTarnwickApp& App() const noexcept { return _app; }
    CTarnwickSheet* GetSheet() const noexcept;
    // Asks the administrator before the wizard is cancelled.
    BOOL OnQueryCancel() override;
    // Only the message and the completion page show Finish: with the reboot
    // after a rename pending, offers to restart this node first.
    BOOL OnWizardFinish() override;
    // The sheet's Next, Back and Cancel buttons in the module's words.
    void SetButtonTexts() const noexcept;

private:
    CTarnwickApp& _app;
};

// A page with the step panel. The panel's part of creation, activation and
// drawing is done here and cannot be overridden; a page adds its own through
// OnInitPage, OnActivatePage and OnPageMessage.
class CPanelPage : public CTarnwickPage
{
public:
    CPanelPage(UINT dialogId, UINT panelId, CTarnwickApp& app) noexcept;

    const CLHSPanel& GetPanel() const noexcept { return m_panel; }

protected:
    BOOL OnInitDialog() final;
    BOOL OnSetActive() final;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) final;

    // As OnInitDialog, OnSetActive and OnMessage, after the panel's part.
    virtual BOOL OnInitPage() { return TRUE; }
    virtual BOOL OnActivatePage() { return TRUE; }
    virtual bool OnPageMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The step table the panel shows: the pass that runs.
    virtual const StepRow* StepTable() const noexcept;

    CLHSPanel m_panel;

private:
    UINT _panelId;
};
