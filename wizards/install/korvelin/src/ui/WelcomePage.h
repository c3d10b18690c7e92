// The first page of the first pass (dialog 101): what the wizard will do.
#pragma once

#include "TarnwickPage.h"

class CWelcomePage : public CTarnwickPage
{
public:
    explicit CWelcomePage(CTarnwickApp& app) noexcept;

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
};
