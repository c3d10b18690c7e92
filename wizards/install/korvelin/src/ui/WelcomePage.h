// The first page of the first pass (dialog 101): what the wizard will do. Its
// Next discovers the cluster.
#pragma once

#include "Status.h"
#include "TarnwickPage.h"

class CWelcomePage : public CTarnwickPage
{
public:
    explicit CWelcomePage(CTarnwickApp& app) noexcept;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    // The selection page after a discovery (or with discovery skipped), the
    // completion page when it failed.
    LRESULT OnWizardNext() override;

private:
    void _InitializeObjectsForApplication() noexcept;
    [[nodiscard]] CStatus _DiscoverCluster() noexcept;

    // Set until this page has readied the cluster library once.
    static bool s_apiPending;
};
