// Entry, exit and failure lines written for the wizard's functions.
#include "FunctionLog.h"

#include "L10nUtil.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>


namespace
{

struct NameCase
{
    const char* signature;
    const wchar_t* expected;
};

class QualifiedNameTest : public ::testing::TestWithParam<NameCase>
{
};

// Stands in for a wizard class.
class CProbe
{
public:
    static int Run(const CStatus& failure)
    {
        KV_LOG_FUNCTION();
        KV_LOG_FAILED(L"CUtil::InitQLXApi()", failure);
        KV_LOG_WIN32(L"RegOpenKey", 5);
        return __LINE__;
    }
};
} // namespace

TEST_P(QualifiedNameTest, KeepsClassAndFunctionOnly)
{
    EXPECT_EQ(std::wstring(GetParam().expected), CLogSite::QualifiedName(GetParam().signature));
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, QualifiedNameTest,
    ::testing::Values(NameCase{"CStatus CUtil::GetClusterInfo(CCluster&)", L"CUtil::GetClusterInfo"},
                      NameCase{"static unsigned int CTaskExecutionPage::ProgressThreadProc(void*)",
                               L"CTaskExecutionPage::ProgressThreadProc"},
                      NameCase{"virtual int CTarnwickApp::InitInstance()", L"CTarnwickApp::InitInstance"},
                      NameCase{"CTarnwickApp::CTarnwickApp()", L"CTarnwickApp::CTarnwickApp"},
                      NameCase{"const wchar_t* CLoggerBasic::Name() const", L"CLoggerBasic::Name"},
                      NameCase{"std::map<int, std::pair<int, int> > A::B::C(std::vector<int>)", L"A::B::C"},
                      NameCase{"int {anonymous}::CProbe::Run(const CStatus&)", L"CProbe::Run"},
                      NameCase{"`anonymous-namespace'::Helper", L"Helper"},
                      NameCase{"CUtil::GetClusterInfo", L"CUtil::GetClusterInfo"}));

TEST(FunctionLogTests, SourceNameIsDotSlashAndBaseName)
{
    EXPECT_EQ(L"./Util", CLogSite::SourceName("/work/main/wizards/install/korvelin/src/Util.cpp"));
    EXPECT_EQ(L"./TaskExecutionPage", CLogSite::SourceName("C:\\src\\TaskExecutionPage.cpp"));
    EXPECT_EQ(L"./Makefile", CLogSite::SourceName("Makefile"));
}

TEST(FunctionLogTests, WritesEntryFailureAndExitWithCallerNameFileAndLine)
{
    CScopedResourceModule catalogue(L10nUtil::SelectModule(L"L10nTest", 0x0409));
    CStatus failure;
    failure.Set(33, 53007);
    const CLogTail tail;
    const int line = CProbe::Run(failure);

    char expected[512];
    const std::string log = tail.Text();
    snprintf(expected, sizeof(expected),
             "QLX DBG_1 M-42-13-0 >> Entering\r\n\t./FunctionLogTests:CProbe::Run[%04d]\r\n", line - 3);
    const size_t entering = log.rfind(expected);
    ASSERT_NE(std::string::npos, entering) << expected;
    snprintf(expected, sizeof(expected),
             "QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) "CUtil::InitQLXApi() failed: category 33, code 53007.\r\n"
             "\t./FunctionLogTests:CProbe::Run[%04d]\r\n",
             line - 2);
    const size_t failed = log.find(expected, entering);
    EXPECT_NE(std::string::npos, failed) << expected;
    snprintf(expected, sizeof(expected),
             "QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_WIN32_FAILED) "RegOpenKey failed with Windows error 5.\r\n"
             "\t./FunctionLogTests:CProbe::Run[%04d]\r\n",
             line - 1);
    const size_t win32 = log.find(expected, failed);
    EXPECT_NE(std::string::npos, win32) << expected;
    EXPECT_NE(std::string::npos, log.find("QLX DBG_1 M-42-13-0 << Exiting\r\n\t./FunctionLogTests:CProbe::Run[", win32));
}
