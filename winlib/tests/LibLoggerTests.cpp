// The per-thread diagnostic queue.
#include "LibLogger.h"
#include "support/RecordingLogOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace
{
using Lines = std::vector<std::wstring>;

class LibLoggerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        _previous = _queue.GetLogImpl();
        _queue.SetLogImpl(&_output);
        _queue.SetLogImpl(nullptr); // keeps the current output
    }
    void TearDown() override
    {
        _queue.ClearAll();
        _queue.SetLogImpl(_previous);
    }
    // What was written since the last call, one "module:line message" each.
    Lines Take()
    {
        Lines lines;
        for (const Written& w : std::exchange(_output.written, {}))
            lines.push_back(std::wstring(w.module.begin(), w.module.end()) + L":" + std::to_wstring(w.line) + L" " +
                            w.message);
        return lines;
    }

    VLibThreadLogQueue& _queue = VLibThreadLogQueue::Global();
    VLibLogImpl* _previous = nullptr;
    CRecordingOutput _output;
};

const std::wstring kStart = L".\\LibLogger:206 *** Start of debug information dump for troubleshooting ***";
const std::wstring kEnd = L".\\LibLogger:217 *** End of debug information dump for troubleshooting ***";
} // namespace

TEST_F(LibLoggerTest, EachRegisteredThreadDumpsItsOwnRecordsFramedAndOnlyOnce)
{
    _queue.LibLog(".\\LibService", 10, "VLibService::Open", L"lost %d", 1);
    _queue.Dump();
    _queue.RegisterThread();
    _queue.Dump();
    EXPECT_TRUE(Take().empty()) << "nothing recorded, nothing dumped";

    _queue.LibLog(".\\LibService", 120, "VLibService::Open", L"%s returned %d, 0x%.08X", L"OpenServiceW", 0, 1060);
    _queue.LibLog("C:\\src\\LibMutex", 7, "VLibMutex::Create", L"%s", std::wstring(1500, L'x').c_str());
    _queue.LibLog(".\\X", 2, "F", nullptr);
    VLIB_TRACE(L"(%d) traced", 5);
    const std::wstring traceLine = std::to_wstring(__LINE__ - 1);
    std::thread([&] {
        _queue.RegisterThread();
        _queue.LibLog(".\\Other", 2, "Other", L"other thread");
        _queue.Dump();
    }).join();
    EXPECT_EQ((Lines{kStart, L"Other:2 other thread", kEnd}), Take()) << "another thread dumps only its own";
    _queue.Dump();
    EXPECT_NE(std::string::npos, _output.written.at(4).function.find("_Test::TestBody"));
    // Records keep the file name without its directory; messages are cut to 999 characters.
    EXPECT_EQ((Lines{kStart, L"LibService:120 OpenServiceW returned 0, 0x00000424",
                     L"LibMutex:7 " + std::wstring(999, L'x'),
                     L"X:2 Unknown error (_vsnwprintf is not able to put the message)",
                     L"LibLoggerTests:" + traceLine + L" (5) traced", kEnd}),
              Take());
    _queue.Dump();
    {
        ThreadLogScope scope;
        _queue.LibLog(".\\X", 1, "F", L"inside");
    }
    _queue.Dump();
    EXPECT_TRUE(Take().empty()) << "a second dump and a closed scope (it clears the list) have nothing left";
}

TEST_F(LibLoggerTest, EchoWritesAsItRecordsWithTheModuleAsPassedInTheLineFormat)
{
    _output.SetEcho(true);
    _queue.RegisterThread();
    _queue.LibLog(".\\LibService", 5, "VLibService::Stop", L"echoed");
    EXPECT_FALSE(_output.written.at(0).dump);
    EXPECT_EQ(Lines{L".\\LibService:5 echoed"}, Take());
    EXPECT_EQ(L"\nMod: .\\LibService Line: 42 Func: VLibService::Open Msg: text",
              VLibLogImpl::FormatLine(".\\LibService", 42, "VLibService::Open", L"text"));
}
