// The last page (dialog 104): the cluster's upgrade state, or the log after
// a failure.
#pragma once

#include "TarnwickPage.h"

class CCompletionPage : public CTarnwickPage
{
public:
    explicit CCompletionPage(CTarnwickApp& app) noexcept;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    // The work is done: closing needs no confirmation.
    BOOL OnQueryCancel() override { return TRUE; }
};
