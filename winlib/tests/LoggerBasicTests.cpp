// The log file, against Wine's real file system and registry.
#include "LoggerBasic.h"

#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <regex>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace
{
std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> Lines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    if (start < bytes.size())
        lines.push_back(bytes.substr(start));
    return lines;
}

const std::string kRule(55, '/');
const std::regex kStamp(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} )");

// A fresh directory and registry key per test, removed afterwards.
class LoggerBasicTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        _app = L"KvLogTest_" + std::wstring(name.begin(), name.end());
        _dir = std::wstring(temp) + _app + L"\\";
        RemoveAll();
        ASSERT_TRUE(::CreateDirectoryW(_dir.c_str(), nullptr));
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, AppKey().c_str());
        ::SetEnvironmentVariableW(L"QLX_HOME", nullptr);
    }

    void TearDown() override
    {
        RemoveAll();
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, AppKey().c_str());
        ::SetEnvironmentVariableW(L"QLX_HOME", nullptr);
    }

    std::wstring AppKey() const { return L"Software\\HALVERN\\QLX\\" + _app; }

    // Creates the application key or a sub-key of it, with "LogDbg" when a value is given.
    void SetLogDbg(const std::wstring& subkey, const DWORD* value)
    {
        const std::wstring path = subkey.empty() ? AppKey() : AppKey() + L"\\" + subkey;
        unique_hkey key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                   nullptr, &key, nullptr));
        if (value)
            ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.get(), L"LogDbg", 0, REG_DWORD,
                                                      reinterpret_cast<const BYTE*>(value), sizeof(*value)));
    }

    uint32_t InitLogger(CLoggerBasic& logger)
    {
        return logger.Init(_app.c_str(), 13, _dir.c_str(), L"Wiz");
    }

    std::wstring File(const wchar_t* generation) const { return _dir + L"Wiz_" + generation + L".txt"; }

    void RemoveAll()
    {
        for (const wchar_t* name : {L"Wiz_A.txt", L"Wiz_B.txt", L"Wiz_C.txt", L"log\\Home_A.txt"})
            ::DeleteFileW((_dir + name).c_str());
        ::RemoveDirectoryW((_dir + L"log").c_str());
        ::RemoveDirectoryW(_dir.c_str());
    }

    std::wstring _app;
    std::wstring _dir;
};
} // namespace

TEST_F(LoggerBasicTest, InitWithoutHomeReturnsOneAndWritesNothing)
{
    CLoggerBasic logger;
    EXPECT_EQ(1u, logger.Init(_app.c_str(), 13, nullptr, L"Wiz"));
    EXPECT_FALSE(logger.IsInitialized());
    int32_t level = 7;
    EXPECT_EQ(1u, logger.ReadDebugLevel(level));
    EXPECT_EQ(-1, level);
    logger.LogMessage(LOG_ERROR, L"F", L"./F", 1, LOG_NO_MODULE, 1, L"lost");
    EXPECT_TRUE(logger.GetCurrentFile().empty());
}

TEST_F(LoggerBasicTest, InitFromQlxHomeWritesHeaderBlockIntoLogFolder)
{
    ASSERT_TRUE(::CreateDirectoryW((_dir + L"log").c_str(), nullptr));
    std::wstring home = _dir;
    home.pop_back();
    ::SetEnvironmentVariableW(L"QLX_HOME", home.c_str());

    CLoggerBasic logger;
    ASSERT_EQ(0u, logger.Init(_app.c_str(), 13, nullptr, L"Home"));
    EXPECT_EQ(_dir + L"log\\", logger.GetLogDirectory());
    EXPECT_EQ(_dir + L"log\\Home_A.txt", logger.GetCurrentFile());

    const std::vector<std::string> lines = Lines(ReadFileBytes(logger.GetCurrentFile()));
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ(kRule, lines[0]);
    EXPECT_EQ("Home log file last updated at :", lines[1]);
    EXPECT_TRUE(std::regex_match(lines[2], kStamp)) << lines[2];
    EXPECT_EQ(kRule, lines[3]);
    EXPECT_EQ("", lines[4]);
    // Running size counts characters written, not the CR of each line end.
    EXPECT_EQ(ReadFileBytes(logger.GetCurrentFile()).size() - 5, logger.GetCurrentSize());
}

TEST_F(LoggerBasicTest, ModuleNameDefaultsToExecutableName)
{
    CLoggerBasic logger;
    ASSERT_EQ(0u, logger.Init(_app.c_str(), 13, _dir.c_str(), nullptr));
    EXPECT_EQ(L"winlib_tests", logger.GetModuleName());
    EXPECT_TRUE(Exists(_dir + L"winlib_tests_A.txt"));
    ::DeleteFileW((_dir + L"winlib_tests_A.txt").c_str());
}

TEST_F(LoggerBasicTest, SecondInitChangesNothing)
{
    CLoggerBasic logger;
    ASSERT_EQ(0u, InitLogger(logger));
    const std::string before = ReadFileBytes(File(L"A"));
    EXPECT_EQ(0u, logger.Init(L"Other", 99, L"C:\\elsewhere\\", L"Other"));
    EXPECT_EQ(File(L"A"), logger.GetCurrentFile());
    EXPECT_EQ(13u, logger.GetComponentNumber());
    EXPECT_EQ(before, ReadFileBytes(File(L"A")));
}

TEST_F(LoggerBasicTest, UnopenableFileGivesTwoAndStaysInitialised)
{
    CLoggerBasic logger;
    EXPECT_EQ(2u, logger.Init(_app.c_str(), 13, (_dir + L"missing\\").c_str(), L"Wiz"));
    EXPECT_TRUE(logger.IsInitialized());
}

TEST_F(LoggerBasicTest, MessageEntryLayout)
{
    CLoggerBasic logger;
    ASSERT_EQ(0u, InitLogger(logger));
    logger.LogMessage(LOG_ERROR, L"CUtil::GetClusterInfo", L"./Util", 406, LOG_NO_MODULE, 10004,
                      L"%s failed: %u/%u", L"CUtil::InitQLXApi()", 33u, 53007u);
    logger.LogMessage(5, L"F", L"C:\\src\\Deep.cpp", 7, LOG_NO_MODULE, 0, L"odd level");
    logger.LogMessage(LOG_INFO, L"F", L"./F", 1, LOG_NO_MODULE, 1, nullptr);
    logger.LogMessage(LOG_INFO, L"G", L"./G", 12345, LOG_NO_MODULE | LOG_NO_TIME | LOG_NO_NEWLINE, 2, L"a");
    logger.LogMessage(LOG_INFO, L"H", L"./H", 3, LOG_NO_TIME | LOG_NO_PRODUCT | LOG_NO_LEVEL | LOG_NO_MSGID, 3, L"b");

    const std::vector<std::string> lines = Lines(ReadFileBytes(File(L"A")));
    ASSERT_EQ(12u, lines.size());
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[5], match,
                                 std::regex(R"((\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} )(.*))")));
    EXPECT_EQ("QLX ERROR M-42-13-10004 CUtil::InitQLXApi() failed: 33/53007", match[2].str());
    EXPECT_EQ("\t./Util:CUtil::GetClusterInfo[0406]", lines[6]);
    // Level 5 has no name: an empty name and its blank.
    EXPECT_EQ("QLX  M-42-13-0 odd level", lines[7].substr(20));
    EXPECT_EQ("\tDeep.cpp:F[0007]", lines[8]);
    // The null format wrote nothing; the next entry has no line end of its own,
    // so the one after it continues the same line.
    EXPECT_EQ("QLX INFO M-42-13-2 a", lines[9]);
    EXPECT_EQ("\t./G:G[12345]Wiz b", lines[10]);
    EXPECT_EQ("\t./H:H[0003]", lines[11]);
}

TEST_F(LoggerBasicTest, OverlongMessageIsCutAndTheEntryStillEnds)
{
    CLoggerBasic logger;
    ASSERT_EQ(0u, InitLogger(logger));
    const std::wstring exact(1023, L'x');
    const std::wstring over(1500, L'y');
    logger.LogMessage(LOG_INFO, L"F", L"./F", 1, LOG_NO_MODULE | LOG_NO_TIME, 1, L"%s", exact.c_str());
    logger.LogMessage(LOG_INFO, L"F", L"./F", 2, LOG_NO_MODULE | LOG_NO_TIME, 2, L"%s", over.c_str());
    logger.LogMessage(LOG_INFO, L"F", L"./F", 3, LOG_NO_MODULE | LOG_NO_TIME, 3, L"next");

    const std::vector<std::string> lines = Lines(ReadFileBytes(File(L"A")));
    ASSERT_EQ(11u, lines.size());
    EXPECT_EQ("QLX INFO M-42-13-1 " + std::string(1023, 'x'), lines[5]);
    EXPECT_EQ("QLX INFO M-42-13-2 " + std::string(1023, 'y'), lines[7]);
    EXPECT_EQ("\t./F:F[0002]", lines[8]);
    EXPECT_EQ("QLX INFO M-42-13-3 next", lines[9]);
}

TEST_F(LoggerBasicTest, FormatMessagePartsWorksBeforeInit)
{
    CLoggerBasic logger;
    std::wstring text = L"keep", product, level, id;
    EXPECT_EQ(0u, logger.FormatMessageParts(text, product, level, id, LOG_WARNING, 7502, L"%s:%d", L"n", 5));
    EXPECT_EQ(L"n:5", text);
    EXPECT_EQ(L"QLX", product);
    EXPECT_EQ(L"WARNING", level);
    EXPECT_EQ(L"M-42-0-7502 ", id);

    // A text over 1023 characters leaves the caller's text as it was.
    const std::wstring over(1024, L'z');
    text = L"keep";
    logger.FormatMessageParts(text, product, level, id, 9, 1, L"%s", over.c_str());
    EXPECT_EQ(L"keep", text);
    EXPECT_EQ(L"", level);
}

// "LogDbg": where it is read from and which values enable debug entries.
struct DebugLevelCase
{
    const char* name;
    const wchar_t* valueKey; // "" = application key, "Wiz" = module sub-key, null = no value
    DWORD value;
    bool moduleKeyWithoutValue;
    int32_t expected;
};

class LoggerDebugLevelTest : public LoggerBasicTest, public ::testing::WithParamInterface<DebugLevelCase>
{
};

TEST_P(LoggerDebugLevelTest, ReadsLevelAndGatesDebugEntries)
{
    const DebugLevelCase& c = GetParam();
    if (c.valueKey)
        SetLogDbg(c.valueKey, &c.value);
    if (c.moduleKeyWithoutValue)
        SetLogDbg(L"Wiz", nullptr);

    CLoggerBasic logger;
    ASSERT_EQ(0u, InitLogger(logger));
    EXPECT_EQ(c.expected, logger.GetDebugLevel());

    logger.LogDebug(0, L"CUtil::F", L"./Util", 12, LOG_NO_MODULE, 0, L">> Entering");
    logger.LogDebug(1, L"CUtil::F", L"./Util", 13, LOG_NO_MODULE, 0, L"level two");
    const std::string bytes = ReadFileBytes(File(L"A"));
    EXPECT_EQ(c.expected >= 1, bytes.find("QLX DBG_1 M-42-13-0 >> Entering\r\n\t./Util:CUtil::F[0012]") !=
                                   std::string::npos);
    EXPECT_EQ(c.expected >= 2, bytes.find("DBG_2 M-42-13-0 level two") != std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    LogDbg, LoggerDebugLevelTest,
    ::testing::Values(DebugLevelCase{"Missing", nullptr, 0, false, -1},
                      DebugLevelCase{"Zero", L"", 0, false, 0},
                      DebugLevelCase{"TwentyOneIsOff", L"", 21, false, -1},
                      DebugLevelCase{"HugeIsOff", L"", 0xFFFFFFFF, false, -1},
                      DebugLevelCase{"TwentyIsMax", L"", 20, false, 20},
                      DebugLevelCase{"OneInModuleKey", L"Wiz", 1, false, 1},
                      DebugLevelCase{"TwoInApplicationKey", L"", 2, false, 2},
                      DebugLevelCase{"ModuleKeyWithoutValueHidesApplicationValue", L"", 1, true, -1}),
    [](const ::testing::TestParamInfo<DebugLevelCase>& info) { return std::string(info.param.name); });

TEST_F(LoggerBasicTest, RotationMovesAToBToCAndStartsANewAWithHeader)
{
    CLoggerBasic logger;
    ASSERT_EQ(0u, InitLogger(logger));
    const std::wstring filler(400, L'f');
    // Fill A well past one rotation, then mark the entries that follow.
    int written = 0;
    while (!Exists(File(L"B")))
        logger.LogMessage(LOG_INFO, L"F", L"./F", ++written, LOG_NO_MODULE, 1, L"%s", filler.c_str());
    const std::string firstB = ReadFileBytes(File(L"B"));
    EXPECT_LE(firstB.size() - std::count(firstB.begin(), firstB.end(), '\r'), 10240u);

    while (!Exists(File(L"C")))
        logger.LogMessage(LOG_INFO, L"F", L"./F", ++written, LOG_NO_MODULE, 1, L"%s", filler.c_str());
    EXPECT_EQ(firstB, ReadFileBytes(File(L"C")));

    const std::string secondB = ReadFileBytes(File(L"B"));
    while (ReadFileBytes(File(L"C")) != secondB)
        logger.LogMessage(LOG_INFO, L"F", L"./F", ++written, LOG_NO_MODULE, 1, L"%s", filler.c_str());

    // The entry that caused the rotation is the first after the new header.
    const std::vector<std::string> lines = Lines(ReadFileBytes(File(L"A")));
    ASSERT_EQ(7u, lines.size());
    EXPECT_EQ(kRule, lines[0]);
    EXPECT_EQ("Wiz log file last updated at :", lines[1]);
    EXPECT_EQ("", lines[4]);
    char location[32];
    snprintf(location, sizeof(location), "\t./F:F[%04d]", written);
    EXPECT_EQ(location, lines[6]);
}

TEST_F(LoggerBasicTest, BThatCannotMoveDropsTheEntryAndKeepsTheNames)
{
    CLoggerBasic logger;
    ASSERT_EQ(0u, InitLogger(logger));
    const std::wstring filler(400, L'f');
    while (!Exists(File(L"C")))
        logger.LogMessage(LOG_INFO, L"F", L"./F", 1, LOG_NO_MODULE, 1, L"%s", filler.c_str());
    while (logger.GetCurrentSize() + 600 < 10240)
        logger.LogMessage(LOG_INFO, L"F", L"./F", 1, LOG_NO_MODULE, 1, L"%s", filler.c_str());

    // Readable but neither deletable nor movable while this handle is open.
    unique_hfile holdB(::CreateFileW(File(L"B").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holdB);
    const std::string a = ReadFileBytes(File(L"A"));
    const std::string b = ReadFileBytes(File(L"B"));
    const std::wstring big(1000, L'g');
    logger.LogMessage(LOG_INFO, L"F", L"./F", 2, LOG_NO_MODULE, 1, L"%s", big.c_str());

    EXPECT_EQ(a, ReadFileBytes(File(L"A")));
    EXPECT_EQ(b, ReadFileBytes(File(L"B")));
    EXPECT_FALSE(Exists(File(L"C"))) << "the old C is deleted before B is tried";
    EXPECT_EQ(File(L"A"), logger.GetCurrentFile());

    // Once B is free again the next entry rotates normally.
    holdB.reset();
    logger.LogMessage(LOG_INFO, L"F", L"./F", 3, LOG_NO_MODULE, 1, L"%s", big.c_str());
    EXPECT_EQ(b, ReadFileBytes(File(L"C")));
    EXPECT_EQ(a, ReadFileBytes(File(L"B")));
}

TEST_F(LoggerBasicTest, TwoThreadsLoseAndTearNothingAcrossRotations)
{
    CLoggerBasic logger;
    ASSERT_EQ(0u, InitLogger(logger));
    constexpr int kPerThread = 5000;
    // The threads keep within 50 entries of each other, so both still write
    // when the last files are filled, and those files show both of them.
    std::atomic<int> progress[2] = {0, 0};
    auto writer = [&](int self, const wchar_t* name) {
        for (int i = 0; i < kPerThread; ++i)
        {
            while (i - progress[1 - self].load() > 50)
                std::this_thread::yield();
            logger.LogMessage(LOG_INFO, name, L"./T", static_cast<uint32_t>(i), LOG_NO_MODULE | LOG_NO_TIME, 7,
                              L"%s entry %05d of the worker", name, i);
            progress[self].store(i + 1);
        }
    };
    std::thread first(writer, 0, L"one");
    std::thread second(writer, 1, L"two");
    first.join();
    second.join();

    // Every surviving entry is whole, and each thread's entries run without a
    // gap up to its last one.
    const std::regex entry(R"(QLX INFO M-42-13-7 (one|two) entry (\d{5}) of the worker)");
    std::map<std::string, std::vector<int>> seen;
    for (const wchar_t* generation : {L"C", L"B", L"A"})
    {
        const std::vector<std::string> lines = Lines(ReadFileBytes(File(generation)));
        size_t i = 0;
        while (i < lines.size() && (lines[i] == kRule || lines[i].find("log file last") != std::string::npos ||
                                    std::regex_match(lines[i], kStamp) || lines[i].empty()))
            ++i;
        for (; i < lines.size(); i += 2)
        {
            std::smatch match;
            ASSERT_TRUE(std::regex_match(lines[i], match, entry)) << lines[i];
            ASSERT_LT(i + 1, lines.size());
            EXPECT_EQ("\t./T:" + match[1].str() + "[" + match[2].str().substr(1) + "]", lines[i + 1]);
            seen[match[1].str()].push_back(std::stoi(match[2].str()));
        }
    }
    ASSERT_EQ(2u, seen.size());
    for (const auto& [name, numbers] : seen)
    {
        ASSERT_FALSE(numbers.empty());
        EXPECT_EQ(kPerThread - 1, numbers.back()) << name;
        for (size_t i = 1; i < numbers.size(); ++i)
            ASSERT_EQ(numbers[i - 1] + 1, numbers[i]) << name << " lost an entry";
    }
}

TEST_F(LoggerBasicTest, TextOutsideTheCodePageKeepsTheEntryWhole)
{
    CLoggerBasic logger;
    ASSERT_EQ(0u, InitLogger(logger));
    logger.LogMessage(LOG_INFO, L"F", L"./F", 1, LOG_NO_MODULE | LOG_NO_TIME, 1, L"abc\u65E5\u672C def");
    logger.LogMessage(LOG_INFO, L"F", L"./F", 2, LOG_NO_MODULE | LOG_NO_TIME, 2, L"next");

    const std::vector<std::string> lines = Lines(ReadFileBytes(File(L"A")));
    ASSERT_EQ(9u, lines.size());
    EXPECT_EQ(0u, lines[5].find("QLX INFO M-42-13-1 abc"));
    EXPECT_EQ(lines[5].size() - 4, lines[5].rfind(" def"));
    EXPECT_EQ("\t./F:F[0001]", lines[6]);
    EXPECT_EQ("QLX INFO M-42-13-2 next", lines[7]);
}
