// The virtual-server selection page (dialog 105): every virtual server's state
// on every node, the choice of one, and the check that its name is free.
#pragma once

#include "AfxCtrl.h"
#include "Status.h"
#include "TarnwickPage.h"
#include "XListCtrl.h"

class CEVSSelectPage : public CPanelPage
{
public:
    explicit CEVSSelectPage(CTarnwickApp& app) noexcept;

protected:
    BOOL OnInitPage() override;
    BOOL OnActivatePage() override;
    // The task page once the name is free (or freed) and the administrator
    // confirms; otherwise stays.
    LRESULT OnWizardNext() override;
    // Selection happens in the first pass only.
    const StepRow* StepTable() const noexcept override { return kFirstPassSteps; }

private:
    [[nodiscard]] CStatus _PopulateEVS() noexcept;

    CComboBox m_evsList;
    CXListCtrl m_matrix;
};
