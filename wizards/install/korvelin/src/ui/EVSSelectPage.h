// The virtual-server selection page (dialog 105): every virtual server's state
// on every node, and the choice of one.
#pragma once

#include "TarnwickPage.h"

class CEVSSelectPage : public CPanelPage
{
public:
    CEVSSelectPage() noexcept;

protected:
    BOOL OnSetActive() override;
};
