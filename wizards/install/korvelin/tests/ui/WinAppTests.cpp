// The framework's one application per process.
#include "AfxApp.h"

#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

// An application that has ended is no longer handed out as the process's.
TEST(WinAppTests, TheLatestLiveApplicationIsTheProcesss)
{
    if (!InFreshProcess())
    {
        EXPECT_EQ(0u, RunInFreshProcess());
        return;
    }
    struct CProbeApp : CWinApp
    {
        int InitInstance() override { return 0; }
    };
    {
        CProbeApp probe;
        EXPECT_EQ(&probe, AfxGetApp());
    }
    EXPECT_EQ(nullptr, AfxGetApp());
}
