// Entry, exit and failure lines written for the wizard's functions.
#include "FunctionLog.h"

#include "L10nUtil.h"
#include "WizardTestEnvironment.h"

#include <gtest/gtest.h>

namespace
{
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

// Class and function only, whatever the compiler's signature carries around them.
TEST(FunctionLogTests, QualifiedNameKeepsClassAndFunctionOnly)
{
    const std::pair<const char*, const wchar_t*> names[] = {
        {"static unsigned int CTaskExecutionPage::ProgressThreadProc(void*)", L"CTaskExecutionPage::ProgressThreadProc"},
        {"CTarnwickApp::CTarnwickApp()", L"CTarnwickApp::CTarnwickApp"},
        {"const wchar_t* CLoggerBasic::Name() const", L"CLoggerBasic::Name"},
        {"std::map<int, std::pair<int, int> > A::B::C(std::vector<int>)", L"A::B::C"},
        {"int {anonymous}::CProbe::Run(const CStatus&)", L"CProbe::Run"},
        {"`anonymous-namespace'::Helper", L"Helper"}};
    for (const auto& [signature, expected] : names)
        EXPECT_EQ(std::wstring(expected), CLogSite::QualifiedName(signature)) << signature;
    EXPECT_EQ(L"./TaskExecutionPage", CLogSite::SourceName("C:\\src\\TaskExecutionPage.cpp"));
    EXPECT_EQ(L"./Util", CLogSite::SourceName("/work/main/wizards/install/korvelin/src/Util.cpp"));
}

TEST(FunctionLogTests, WritesEntryFailureAndExitWithCallerNameFileAndLine)
{
    CScopedResourceModule catalogue(L10nUtil::SelectModule(L"L10nTest", 0x0409));
    CStatus failure;
    failure.Set(33, 53007);
    const CLogTail tail;
    const int line = CProbe::Run(failure);
    const std::string log = tail.Text();
    // Each line in order after the one before, with the line number of its macro.
    size_t at = 0;
    const auto expect = [&](const std::string& text, int macroLine) {
        char site[64];
        snprintf(site, sizeof(site), "\r\n\t./FunctionLogTests:CProbe::Run[%04d]\r\n", macroLine);
        at = log.find(text + site, at);
        EXPECT_NE(std::string::npos, at) << text << site;
    };
    expect("QLX DBG_1 M-42-13-0 >> Entering", line - 3);
    expect("QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_CALL_FAILED) "CUtil::InitQLXApi() failed: category 33, code 53007.",
           line - 2);
    expect("QLX ERROR " KV_MESSAGE_TAG(IDS_LOG_WIN32_FAILED) "RegOpenKey failed with Windows error 5.", line - 1);
    expect("QLX DBG_1 M-42-13-0 << Exiting", line - 3);
}
