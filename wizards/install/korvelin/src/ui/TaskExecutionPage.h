// The task execution page (dialog 103): the tasks of the current pass, run on
// a worker thread.
#pragma once

#include "TarnwickPage.h"

class CTaskExecutionPage : public CPanelPage
{
public:
    explicit CTaskExecutionPage(CTarnwickApp& app) noexcept;

protected:
    BOOL OnActivatePage() override;
};
