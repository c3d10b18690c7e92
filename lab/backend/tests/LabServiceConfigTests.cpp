// The failure actions Wine accepts and does not keep, as the lab records them per service.
#include "EntryPoints.h"
#include "LabScenario.h"
#include "LabServiceInstaller.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

namespace
{
// "<reset period> <message?> <command?> <type>:<delay> ...", "-" when nothing is recorded.
std::wstring Recorded(const std::wstring& service)
{
    const auto recorded = CLabScenario::FailureActionsOf(service);
    if (!recorded)
        return L"-";
    std::wstring text = std::to_wstring(recorded->resetPeriod) + (recorded->rebootMessage ? L" message" : L"") +
                        (recorded->command ? L" command" : L"");
    for (const SC_ACTION& action : recorded->actions)
        text += L" " + std::to_wstring(action.Type) + L":" + std::to_wstring(action.Delay);
    return text;
}

// The first handle may only change the configuration, so only the lab's OpenServiceW knows its service;
// the second, opened past the table once the first is closed, may take the first one's value.
TEST(LabServiceConfigTest, RecordsTheFailureActionsLastSetPerService)
{
    CLabScenario lab;
    const wchar_t* services[] = {L"KvLabActionsA", L"KvLabActionsB"};
    DWORD error = 0;
    for (const wchar_t* name : services)
    {
        RemoveLabService(name, nullptr);
        ASSERT_TRUE(InstallLabService(name, name, SERVICE_DEMAND_START, {}, &error)) << error;
    }
    const unique_schandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    SC_ACTION restart[] = {{SC_ACTION_RESTART, 60000}, {SC_ACTION_REBOOT, 1000}};
    wchar_t message[] = L"restarting", command[] = L"";
    SERVICE_FAILURE_ACTIONSW actions{86400, message, command, 2, restart};
    unique_schandle service(KvEntry().OpenServiceW(manager.get(), services[0], SERVICE_CHANGE_CONFIG));
    EXPECT_TRUE(KvEntry().ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &actions));
    service.reset();
    service.reset(::OpenServiceW(manager.get(), services[1], SERVICE_ALL_ACCESS));
    actions = {0, nullptr, nullptr, 0, nullptr};
    EXPECT_TRUE(KvEntry().ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &actions));
    EXPECT_EQ(L"86400 message 1:60000 2:1000", Recorded(L"kvlabactionsa"));
    EXPECT_EQ(L"0", Recorded(services[1]));
    EXPECT_EQ(L"-", Recorded(L"Qen"));
    service.reset();
    for (const wchar_t* name : services)
        EXPECT_TRUE(RemoveLabService(name, &error)) << error;
}
} // namespace
