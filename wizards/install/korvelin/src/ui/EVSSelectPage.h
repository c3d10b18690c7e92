// The virtual-server selection page (dialog 105): every virtual server's state
// on every node, and the choice of one.
#pragma once

#include "TarnwickPage.h"

class CEVSSelectPage : public CPanelPage
{
public:
    explicit CEVSSelectPage(CTarnwickApp& app) noexcept;

protected:
    BOOL OnActivatePage() override;
    // Selection happens in the first pass only.
    const StepRow* StepTable() const noexcept override { return kFirstPassSteps; }
};
