// Runs one test again in a process of its own, for state that lives as long
// as the process (paths a read has found, the single-instance mutex).
#include "WizardTestEnvironment.h"

#include "ChildProcess.h"

#include <gtest/gtest.h>

namespace
{
constexpr wchar_t kFreshVariable[] = L"KV_FRESH_PROCESS";
constexpr DWORD kChildTimeoutMs = 60000;
} // namespace

bool InFreshProcess()
{
    return ::GetEnvironmentVariableW(kFreshVariable, nullptr, 0) != 0;
}

DWORD RunInFreshProcess()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::string filter = std::string(test->test_suite_name()) + "." + test->name();
    std::wstring command = L"\"" + std::wstring(program) + L"\" --gtest_filter=" +
                           std::wstring(filter.begin(), filter.end());
    ::SetEnvironmentVariableW(kFreshVariable, L"1");
    const DWORD exitCode = RunToEnd(program, command, kChildTimeoutMs);
    ::SetEnvironmentVariableW(kFreshVariable, nullptr);
    return exitCode;
}
