// The lab service's command line, as the lab's scripts register services with it. How a registered
// service passes through its states is read through the service library's tests.
#include "LabServiceInstaller.h"
#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <process.h>

#include <string>

namespace
{
// Runs the service executable with a command; its exit code.
intptr_t RunExe(const std::wstring& command)
{
    const std::wstring exe = LabServiceExePath();
    return _wspawnl(_P_WAIT, exe.c_str(), (L"\"" + exe + L"\"").c_str(), command.c_str(), nullptr);
}

DWORD Timing(const std::wstring& name, const wchar_t* value)
{
    DWORD data = 0, size = sizeof(data);
    const LSTATUS read = ::RegGetValueW(HKEY_LOCAL_MACHINE, LabServiceParametersKey(name).c_str(), value,
                                        RRF_RT_REG_DWORD, nullptr, &data, &size);
    return read == ERROR_SUCCESS ? data : 0xFFFFFFFF;
}

// A name of its own, removed at the end even if the test failed half-way.
class LabServiceTest : public ::testing::Test
{
protected:
    ~LabServiceTest() override { RemoveLabService(_name, nullptr); }

    const std::wstring _name = L"KvLabSvc_" + std::to_wstring(::GetCurrentProcessId());
};

// An unknown argument installs nothing; the start type and the timings land where the manager and
// the service read them; a service is removed once.
TEST_F(LabServiceTest, InstallsAndRemovesFromItsCommandLine)
{
    const std::wstring install = L"install " + _name + L" \"Lab display\" auto StartMs=300 ";
    EXPECT_NE(0, RunExe(install + L"Bogus=1"));
    ASSERT_EQ(0, RunExe(install + L"neverstart=1"));
    EXPECT_EQ(300u, Timing(_name, L"StartMs"));
    EXPECT_EQ(1u, Timing(_name, L"NeverStart"));
    EXPECT_EQ(0u, Timing(_name, L"StopMs"));
    {
        const unique_schandle scm(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        const unique_schandle svc(::OpenServiceW(scm.get(), _name.c_str(), SERVICE_QUERY_CONFIG));
        BYTE buffer[8192];
        DWORD needed = 0;
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
        ASSERT_TRUE(::QueryServiceConfigW(svc.get(), config, sizeof(buffer), &needed)) << ::GetLastError();
        EXPECT_EQ(DWORD(SERVICE_AUTO_START), config->dwStartType);
        EXPECT_STREQ(L"Lab display", config->lpDisplayName);
    } // removal is complete only once no handle is left
    EXPECT_EQ(0, RunExe(L"remove " + _name));
    EXPECT_NE(0, RunExe(L"remove " + _name)) << "nothing left to remove";
}
} // namespace
