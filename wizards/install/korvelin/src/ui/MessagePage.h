// The message page (dialog 102): what to do next, before the reboot of the
// first pass or at the start of the second.
#pragma once

#include "TarnwickPage.h"

class CMessagePage : public CPanelPage
{
public:
    explicit CMessagePage(CTarnwickApp& app) noexcept;

protected:
    BOOL OnActivatePage() override;
};
