// The message page (dialog 102), with two faces: at the end of a good first
// pass what to do next and the reboot offer; at the start of the second pass
// the check that Exchange was upgraded, before the second-pass tasks.
#pragma once

#include "Status.h"
#include "TarnwickPage.h"

#include <string>

class CMessagePage : public CPanelPage
{
public:
    explicit CMessagePage(CTarnwickApp& app) noexcept;

protected:
    BOOL OnInitPage() override;
    BOOL OnActivatePage() override;
    // Second pass: the tasks once Exchange runs a version that is not to be
    // upgraded and the administrator confirms; otherwise stays.
    LRESULT OnWizardNext() override;
    // There is no way back from this page.
    LRESULT OnWizardBack() override { return -1; }

private:
    void _ShowFirstPassFace() noexcept;
    void _ShowSecondPassFace() noexcept;
    [[nodiscard]] CStatus _DiscoverCluster() noexcept;

    // Set until this page has readied the cluster library once.
    static bool s_apiPending;
};
