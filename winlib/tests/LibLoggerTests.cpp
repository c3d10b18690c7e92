// The per-thread diagnostic queue.
#include "LibLogger.h"
#include "support/RecordingLogOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace
{
class LibLoggerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        _previous = _queue.GetLogImpl();
        _queue.SetLogImpl(&_output);
    }
    void TearDown() override
    {
        _queue.ClearAll();
        _queue.SetLogImpl(_previous);
    }

    VLibThreadLogQueue& _queue = VLibThreadLogQueue::Global();
    VLibLogImpl* _previous = nullptr;
    CRecordingOutput _output;
};
} // namespace

TEST_F(LibLoggerTest, UnregisteredThreadRecordsNothing)
{
    _queue.LibLog(".\\LibService", 10, "VLibService::Open", L"lost %d", 1);
    _queue.Dump();
    EXPECT_TRUE(_output.written.empty());
    EXPECT_EQ(0u, _queue.CountForThisThread());
}

TEST_F(LibLoggerTest, DumpFramesRecordsInOrderAndEmptiesTheList)
{
    _queue.RegisterThread();
    _queue.LibLog(".\\LibService", 120, "VLibService::Open", L"%s returned %d, 0x%.08X", L"OpenServiceW", 0, 1060);
    _queue.LibLog("C:\\src\\LibMutex", 7, "VLibMutex::Create", L"second");
    _queue.Dump();

    ASSERT_EQ(4u, _output.written.size());
    EXPECT_EQ(".\\LibLogger", _output.written[0].module);
    EXPECT_EQ(206u, _output.written[0].line);
    EXPECT_EQ("VLibThreadLogQueue::Dump", _output.written[0].function);
    EXPECT_EQ(L"*** Start of debug information dump for troubleshooting ***", _output.written[0].message);
    // Records keep the file name without its directory.
    EXPECT_EQ("LibService", _output.written[1].module);
    EXPECT_EQ(120u, _output.written[1].line);
    EXPECT_EQ(L"OpenServiceW returned 0, 0x00000424", _output.written[1].message);
    EXPECT_EQ("LibMutex", _output.written[2].module);
    EXPECT_EQ(".\\LibLogger", _output.written[3].module);
    EXPECT_EQ(217u, _output.written[3].line);
    EXPECT_EQ(L"*** End of debug information dump for troubleshooting ***", _output.written[3].message);

    _output.written.clear();
    _queue.Dump();
    EXPECT_TRUE(_output.written.empty()) << "a second dump has nothing left";
}

TEST_F(LibLoggerTest, EmptyListAndClearedListDumpNothing)
{
    _queue.RegisterThread();
    _queue.Dump();
    _queue.LibLog(".\\X", 1, "F", L"gone");
    _queue.ClearThread();
    _queue.Dump();
    EXPECT_TRUE(_output.written.empty());
}

TEST_F(LibLoggerTest, ThreadsKeepTheirOwnLists)
{
    _queue.RegisterThread();
    _queue.LibLog(".\\Main", 1, "Main", L"main thread");
    size_t otherCount = 0;
    std::thread other([&] {
        _queue.RegisterThread();
        _queue.LibLog(".\\Other", 2, "Other", L"other thread");
        otherCount = _queue.CountForThisThread();
        _queue.Dump();
    });
    other.join();

    EXPECT_EQ(1u, otherCount);
    ASSERT_EQ(3u, _output.written.size());
    EXPECT_EQ(L"other thread", _output.written[1].message);
    _output.written.clear();
    _queue.Dump();
    ASSERT_EQ(3u, _output.written.size());
    EXPECT_EQ(L"main thread", _output.written[1].message);
}

TEST_F(LibLoggerTest, LongMessageIsCutTo999CharactersAndAnUnusableFormatIsRecordedAsSuch)
{
    _queue.RegisterThread();
    const std::wstring longText(1500, L'x');
    _queue.LibLog(".\\X", 1, "F", L"%s", longText.c_str());
    _queue.LibLog(".\\X", 2, "F", nullptr);
    _queue.Dump();
    ASSERT_EQ(4u, _output.written.size());
    EXPECT_EQ(std::wstring(999, L'x'), _output.written[1].message);
    EXPECT_EQ(L"Unknown error (_vsnwprintf is not able to put the message)", _output.written[2].message);
}

TEST_F(LibLoggerTest, EchoWritesAsItRecordsWithTheModuleAsPassed)
{
    _output.SetEcho(true);
    _queue.RegisterThread();
    _queue.LibLog(".\\LibService", 5, "VLibService::Stop", L"echoed");
    ASSERT_EQ(1u, _output.written.size());
    EXPECT_FALSE(_output.written[0].dump);
    EXPECT_EQ(".\\LibService", _output.written[0].module);
}

TEST_F(LibLoggerTest, NullOutputKeepsTheCurrentOne)
{
    _queue.SetLogImpl(nullptr);
    EXPECT_EQ(&_output, _queue.GetLogImpl());
}

TEST_F(LibLoggerTest, ScopeEmptiesTheThreadsList)
{
    _queue.RegisterThread();
    {
        ThreadLogScope scope;
        _queue.LibLog(".\\X", 1, "F", L"inside");
    }
    EXPECT_EQ(0u, _queue.CountForThisThread());
}

TEST(LibLogImplTests, LineFormat)
{
    EXPECT_EQ(L"\nMod: .\\LibService Line: 42 Func: VLibService::Open Msg: text",
              VLibLogImpl::FormatLine(".\\LibService", 42, "VLibService::Open", L"text"));
}

TEST(LibTraceTests, TraceMacroNamesModuleAndFunction)
{
    CRecordingOutput output;
    VLibThreadLogQueue& queue = VLibThreadLogQueue::Global();
    VLibLogImpl* previous = queue.GetLogImpl();
    queue.SetLogImpl(&output);
    queue.RegisterThread();
    struct Probe
    {
        static void Trace() { VLIB_TRACE(L"(%d) traced", 5); }
    };
    Probe::Trace();
    queue.Dump();
    queue.SetLogImpl(previous);
    queue.ClearAll();

    ASSERT_EQ(3u, output.written.size());
    EXPECT_EQ("LibLoggerTests", output.written[1].module);
    EXPECT_NE(std::string::npos, output.written[1].function.find("Probe::Trace"));
    EXPECT_EQ(L"(5) traced", output.written[1].message);
}
