// The program's own start of its log, in an executable of its own: every
// other wizard test's main starts the process-wide log before the code under
// test could.
#include "Tarnwick.h"

#include "L10nUtil.h"
#include "LoggerBasic.h"
#include "StringIds.h"
#include "UniqueResource.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

TEST(CreateLogFileTests, StartsTheLogUnderTheProgramsNamesAndTheDiagnosticOutput)
{
    const unique_hmodule module(L10nUtil::SelectModule(CTarnwickApp::kApplicationName, 0x0409));
    ASSERT_TRUE(module);
    AfxSetResourceHandle(module.get());
    const std::wstring application = AfxLoadString(IDS_LOG_APPLICATION_NAME);
    ASSERT_FALSE(application.empty());

    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring home = std::wstring(temp) + L"KvCreateLogFile";
    const std::wstring file = home + L"\\log\\startup_log_tests_A.txt";
    ::DeleteFileW(file.c_str());
    ::CreateDirectoryW(home.c_str(), nullptr);
    ::CreateDirectoryW((home + L"\\log").c_str(), nullptr);
    ::SetEnvironmentVariableW(L"QLX_HOME", home.c_str());
    // The debug level is read below the application's name: with it the log shows the function's entry.
    const std::wstring appKey = L"Software\\HALVERN\\QLX\\" + application;
    const DWORD level = 1;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, appKey.c_str(), L"LogDbg", REG_DWORD, &level,
                                               sizeof(level)));

    EXPECT_TRUE(theApp.CreateLogFile().IsSuccess());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, appKey.c_str());

    std::ifstream stream(file.c_str(), std::ios::binary);
    const std::string log{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    EXPECT_NE(std::string::npos, log.find("QLX DBG_1 M-42-13-0 >> Entering\r\n\t./Tarnwick:CTarnwickApp::CreateLogFile["))
        << log;
    const std::wstring started = AfxLoadString(IDS_LOG_STARTED);
    EXPECT_NE(std::string::npos, log.find("QLX INFO " KV_MESSAGE_TAG(IDS_LOG_STARTED) +
                                          std::string(started.begin(), started.end()) + "\r\n"))
        << log;

    // The library classes' diagnostics go to the application's output, from this thread on.
    EXPECT_EQ(&theApp.m_logImpl, VLibThreadLogQueue::Global().GetLogImpl());
    VLibThreadLogQueue::Global().LibLog(".\\Test", 1, "Test", L"kept");
    EXPECT_EQ(1u, VLibThreadLogQueue::Global().CountForThisThread()) << "the start-up thread is registered";
    VLibThreadLogQueue::Global().ClearAll();
    AfxSetResourceHandle(nullptr);
}
