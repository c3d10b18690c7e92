// The Exchange services handed to the cluster: manual start, no recovery
// actions, the optional ones that are missing listed once.
#include "Util.h"

#include "ExchangeNode.h"
#include "L10nUtil.h"
#include "LabFaults.h"
#include "LabScenario.h"
#include "LabServiceInstaller.h"
#include "ScriptedUser.h"
#include "StringIds.h"
#include "UniqueResource.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace
{
const std::vector<const wchar_t*>& kServices = CExchangeNode::kAllExchangeServices;

// "M" for manual without recovery actions, "A" for untouched (automatic, nothing recorded), "-" missing,
// "m" for manual with the recovery actions not (yet) switched off; one letter per service in order.
std::string States()
{
    std::string shown;
    const unique_schandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    for (const std::wstring& name : kServices)
    {
        const unique_schandle service(::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
        BYTE buffer[8192];
        DWORD needed = 0;
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
        if (!service || !::QueryServiceConfigW(service.get(), config, sizeof(buffer), &needed))
        {
            shown += "-";
            continue;
        }
        const auto actions = CLabScenario::FailureActionsOf(name);
        const bool off = actions && actions->resetPeriod == INFINITE && !actions->rebootMessage && !actions->command &&
                         actions->actions.size() == 1 && actions->actions[0].Type == SC_ACTION_NONE &&
                         actions->actions[0].Delay == 0;
        shown += config->dwStartType == SERVICE_DEMAND_START ? (off ? "M" : "m")
                 : actions                                    ? "?"
                                                              : "A";
    }
    return shown;
}

struct ServicesTest : ::testing::Test
{
    ~ServicesTest() override
    {
        for (const std::wstring& name : kServices)
            RemoveLabService(name, nullptr);
    }
    void Install(const std::vector<std::wstring>& absent)
    {
        for (const std::wstring& name : kServices)
        {
            RemoveLabService(name, nullptr);
            if (std::find(absent.begin(), absent.end(), name) == absent.end())
            {
                ASSERT_TRUE(InstallLabService(name, name + L" (lab)", SERVICE_AUTO_START, {}, nullptr));
            }
        }
    }
    void ExpectLogged(const char* lines) const { EXPECT_TRUE(_log.HasLines(lines)) << lines << "\nnot in:\n" << _log.Untimed(); }

    CScopedResourceModule _catalogue{L10nUtil::SelectModule(L"Korvelin", 0x0409)};
    CLabScenario _lab;
    const CLogTail _log;
};

TEST_F(ServicesTest, MissingOptionalServicesAreListedOnceAndSkipped)
{
    Install({L"MSExchangeSearch", L"msftesql-Exchange"});
    std::wstring warning;
    std::thread user([&warning] {
        if (HWND box = ScriptedUser::WaitForMessageBox(KV_MESSAGE_TAGW(IDS_OPTIONAL_SERVICES_SKIPPED), 15 * 1000))
        {
            warning = ScriptedUser::Read(box).text;
            ScriptedUser::Answer(box, IDOK);
        }
    });
    const CStatus status = CUtil::MakeServicesManual();
    user.join();
    EXPECT_TRUE(status.IsSuccess());
    EXPECT_EQ("MMMMMMMM-M-", States());
    EXPECT_NE(std::wstring::npos, warning.find(L"MSExchangeSearch\nmsftesql-Exchange\n")) << warning;
}

TEST_F(ServicesTest, AMissingRequiredServiceEndsTheChangesAfterThoseBeforeIt)
{
    Install({L"MSExchangeMailSubmission"});
    const CStatus status = CUtil::MakeServicesManual();
    EXPECT_EQ(std::pair(2u, 1060u), std::pair(status.GetCategory(), status.GetCode()));
    EXPECT_EQ("MMM-AAAAAAA", States());
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_CALL_FAILED, "VLibService::Open() failed: category 2, code 1060.")
                     KV_LOG_LINE("ERROR", IDS_LOG_INFORMATION, "MSExchangeMailSubmission"));
}

// A configuration change that fails ends the operation where it happens.
TEST_F(ServicesTest, AFailedChangeEndsTheOperation)
{
    Install({});
    KvLab::FailCall(KvLab::Entry::ChangeServiceConfig2W, 2, ERROR_ACCESS_DENIED);
    CStatus status = CUtil::MakeServicesManual();
    EXPECT_EQ(std::pair(2u, 5u), std::pair(status.GetCategory(), status.GetCode()));
    EXPECT_EQ("MmAAAAAAAAA", States());
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_WIN32_FAILED, "ChangeServiceConfig2 failed with Windows error 5."));

    KvLab::FailCall(KvLab::Entry::ChangeServiceConfigW, 3, ERROR_ACCESS_DENIED);
    status = CUtil::MakeServicesManual();
    EXPECT_EQ(std::pair(2u, 5u), std::pair(status.GetCategory(), status.GetCode()));
    EXPECT_EQ("MMAAAAAAAAA", States());
    ExpectLogged(KV_LOG_LINE("ERROR", IDS_LOG_WIN32_FAILED, "ChangeServiceConfig failed with Windows error 5."));
}
} // namespace
