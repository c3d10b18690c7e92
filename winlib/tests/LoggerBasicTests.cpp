// The log file, against Wine's real file system and registry.
#include "LoggerBasic.h"

#include "UniqueResource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
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

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> Lines(const std::string& bytes)
{
    static const std::regex lineEnd("\r\n");
    return {std::sregex_token_iterator(bytes.begin(), bytes.end(), lineEnd, -1), std::sregex_token_iterator()};
}

const std::string kRule(55, '/');
const std::string kStamp = R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2} )";

// A fresh directory and registry key per test (the tests run one after
// another), removed afterwards. The logger opens its file per entry, so the
// fixture may own it.
class LoggerBasicTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        _dir = std::wstring(temp) + _app + L"\\";
        TearDown();
        ASSERT_TRUE(::CreateDirectoryW(_dir.c_str(), nullptr));
    }

    void TearDown() override
    {
        // Whatever a faulty logger left, or the next run of the suite starts broken.
        std::error_code ignored;
        std::filesystem::remove_all(_dir, ignored);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, AppKey().c_str());
        ::SetEnvironmentVariableW(L"QLX_HOME", nullptr);
    }

    std::wstring AppKey() const { return L"Software\\HALVERN\\QLX\\" + _app; }

    uint32_t Start() { return _log.Init(_app.c_str(), 13, _dir.c_str(), L"Wiz"); }
    std::wstring File(const wchar_t* generation) const { return _dir + L"Wiz_" + generation + L".txt"; }
    std::string Read(const wchar_t* generation) const { return ReadFileBytes(File(generation)); }
    void Fill(uint32_t line, size_t length = 400)
    {
        _log.LogMessage(LOG_INFO, L"F", L"./F", line, LOG_NO_MODULE, 1, L"%s", std::wstring(length, L'f').c_str());
    }

    const std::wstring _app = L"KvLogTest";
    std::wstring _dir;
    CLoggerBasic _log;
};
} // namespace

TEST_F(LoggerBasicTest, BeforeAndAtInit)
{
    // Message parts need no Init; a text over 1023 characters leaves the caller's text as it was.
    std::wstring text = L"keep", product, level, id;
    EXPECT_EQ(0u, _log.FormatMessageParts(text, product, level, id, LOG_WARNING, 7502, L"%s:%d", L"n", 5));
    EXPECT_EQ((std::vector<std::wstring>{L"n:5", L"QLX", L"WARNING", L"M-42-0-7502 "}),
              (std::vector<std::wstring>{text, product, level, id}));
    text = L"keep";
    _log.FormatMessageParts(text, product, level, id, 9, 1, L"%s", std::wstring(1024, L'z').c_str());
    EXPECT_EQ((std::vector<std::wstring>{L"keep", L""}), (std::vector<std::wstring>{text, level}));

    CLoggerBasic homeless;
    EXPECT_EQ(1u, homeless.Init(_app.c_str(), 13, nullptr, L"Wiz"));
    EXPECT_FALSE(homeless.IsInitialized());
    int32_t debugLevel = 7;
    EXPECT_EQ(1u, homeless.ReadDebugLevel(debugLevel));
    EXPECT_EQ(-1, debugLevel);
    homeless.LogMessage(LOG_ERROR, L"F", L"./F", 1, LOG_NO_MODULE, 1, L"lost");
    EXPECT_TRUE(homeless.GetCurrentFile().empty());

    // With QLX_HOME the file goes into its log folder and starts with the header block.
    ASSERT_TRUE(::CreateDirectoryW((_dir + L"log").c_str(), nullptr));
    ::SetEnvironmentVariableW(L"QLX_HOME", _dir.substr(0, _dir.size() - 1).c_str());
    ASSERT_EQ(0u, _log.Init(_app.c_str(), 13, nullptr, L"Home"));
    EXPECT_EQ(_dir + L"log\\Home_A.txt", _log.GetCurrentFile());
    const std::string bytes = ReadFileBytes(_log.GetCurrentFile());
    EXPECT_TRUE(std::regex_match(bytes, std::regex(kRule + "\r\nHome log file last updated at :\r\n" + kStamp +
                                                   "\r\n" + kRule + "\r\n\r\n")))
        << bytes;
    // Running size counts characters written, not the CR of each line end.
    EXPECT_EQ(bytes.size() - 5, _log.GetCurrentSize());

    // A second Init changes nothing.
    EXPECT_EQ(0u, _log.Init(L"Other", 99, L"C:\\elsewhere\\", L"Other"));
    EXPECT_EQ(_dir + L"log\\Home_A.txt", _log.GetCurrentFile());
    EXPECT_EQ(bytes, ReadFileBytes(_log.GetCurrentFile()));

    CLoggerBasic unopenable, unnamed;
    EXPECT_EQ(2u, unopenable.Init(_app.c_str(), 13, (_dir + L"missing\\").c_str(), L"Wiz"));
    EXPECT_TRUE(unopenable.IsInitialized());
    ASSERT_EQ(0u, unnamed.Init(_app.c_str(), 13, _dir.c_str(), nullptr));
    EXPECT_EQ(L"winlib_tests", unnamed.GetModuleName());
    EXPECT_TRUE(Exists(_dir + L"winlib_tests_A.txt"));
}

TEST_F(LoggerBasicTest, EntryLayout)
{
    ASSERT_EQ(0u, Start());
    _log.LogMessage(LOG_ERROR, L"CUtil::GetClusterInfo", L"./Util", 406, LOG_NO_MODULE, 10004,
                    L"%s failed: %u/%u", L"CUtil::InitQLXApi()", 33u, 53007u);
    _log.LogMessage(5, L"F", L"C:\\src\\Deep.cpp", 7, LOG_NO_MODULE, 0, L"odd level");
    _log.LogMessage(LOG_INFO, L"F", L"./F", 1, LOG_NO_MODULE, 1, nullptr);
    _log.LogMessage(LOG_INFO, L"G", L"./G", 12345, LOG_NO_MODULE | LOG_NO_TIME | LOG_NO_NEWLINE, 2, L"a");
    _log.LogMessage(LOG_INFO, L"H", L"./H", 3, LOG_NO_TIME | LOG_NO_PRODUCT | LOG_NO_LEVEL | LOG_NO_MSGID, 3, L"b");
    const uint32_t plain = LOG_NO_MODULE | LOG_NO_TIME;
    _log.LogMessage(LOG_INFO, L"F", L"./F", 1, plain, 1, L"%s", std::wstring(1023, L'x').c_str());
    _log.LogMessage(LOG_INFO, std::wstring(1100, L'f').c_str(), L"./F", 2, plain, 2, L"%s",
                    std::wstring(1500, L'y').c_str());
    _log.LogMessage(LOG_INFO, L"F", L"./F", 1, plain, 1, L"abc\u65E5\u672C def");
    _log.LogMessage(LOG_INFO, L"F", L"./F", 2, plain, 2, L"next");
    const std::vector<std::string> lines = Lines(Read(L"A"));
    ASSERT_EQ(20u, lines.size());
    EXPECT_TRUE(std::regex_match(lines[5].substr(0, 20), std::regex(kStamp))) << lines[5];
    EXPECT_EQ("QLX ERROR M-42-13-10004 CUtil::InitQLXApi() failed: 33/53007", lines[5].substr(20));
    EXPECT_EQ("\t./Util:CUtil::GetClusterInfo[0406]", lines[6]);
    // Level 5 has no name: an empty name and its blank.
    EXPECT_EQ("QLX  M-42-13-0 odd level", lines[7].substr(20));
    EXPECT_EQ("\tDeep.cpp:F[0007]", lines[8]);
    // The null format wrote nothing; LOG_NO_NEWLINE lets the next entry continue its line. 1023
    // characters fit; a longer message is cut there and its entry still ends, as is a longer location.
    EXPECT_EQ((std::vector<std::string>{"QLX INFO M-42-13-2 a", "\t./G:G[12345]Wiz b", "\t./H:H[0003]",
                                        "QLX INFO M-42-13-1 " + std::string(1023, 'x'), "\t./F:F[0001]",
                                        "QLX INFO M-42-13-2 " + std::string(1023, 'y'),
                                        "\t./F:" + std::string(1018, 'f')}),
              std::vector<std::string>(lines.begin() + 9, lines.begin() + 16));
    // Characters outside the code page leave the rest of the entry in place.
    EXPECT_TRUE(lines[16].find("QLX INFO M-42-13-1 abc") == 0 && lines[16].rfind(" def") == lines[16].size() - 4);
    EXPECT_EQ("QLX INFO M-42-13-2 next", lines[18]);
}

// "LogDbg": where it is read from and which values enable debug entries.
// valueKey: "" the application key, "\\Wiz" the module sub-key, null no value.
struct DebugLevelCase { const char* name; const wchar_t* valueKey; DWORD value; bool moduleKeyWithoutValue;
                        int32_t expected; };

class LoggerDebugLevelTest : public LoggerBasicTest, public ::testing::WithParamInterface<DebugLevelCase> {};

TEST_P(LoggerDebugLevelTest, ReadsLevelAndGatesDebugEntries)
{
    const DebugLevelCase& c = GetParam();
    ASSERT_EQ(ERROR_SUCCESS, !c.valueKey ? ERROR_SUCCESS
                                         : ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, (AppKey() + c.valueKey).c_str(),
                                                             L"LogDbg", REG_DWORD, &c.value, sizeof(c.value)));
    unique_hkey moduleKey;
    ASSERT_EQ(ERROR_SUCCESS, !c.moduleKeyWithoutValue ? ERROR_SUCCESS
                             : ::RegCreateKeyW(HKEY_LOCAL_MACHINE, (AppKey() + L"\\Wiz").c_str(), &moduleKey));
    ASSERT_EQ(0u, Start());
    EXPECT_EQ(c.expected, _log.GetDebugLevel());
    _log.LogDebug(0, L"CUtil::F", L"./Util", 12, LOG_NO_MODULE, 0, L">> Entering");
    _log.LogDebug(1, L"CUtil::F", L"./Util", 13, LOG_NO_MODULE, 0, L"level two");
    const std::string bytes = Read(L"A");
    EXPECT_EQ(c.expected >= 1, bytes.find("QLX DBG_1 M-42-13-0 >> Entering\r\n\t./Util:CUtil::F[0012]") !=
                                   std::string::npos);
    EXPECT_EQ(c.expected >= 2, bytes.find("DBG_2 M-42-13-0 level two") != std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    LogDbg, LoggerDebugLevelTest,
    ::testing::ValuesIn(std::vector<DebugLevelCase>{
        {"Missing", nullptr, 0, false, -1}, {"Zero", L"", 0, false, 0}, {"TwentyOneIsOff", L"", 21, false, -1},
        {"HugeIsOff", L"", 0xFFFFFFFF, false, -1}, {"TwentyIsMax", L"", 20, false, 20},
        {"OneInModuleKey", L"\\Wiz", 1, false, 1}, {"TwoInApplicationKey", L"", 2, false, 2},
        {"ModuleKeyWithoutValueHidesApplicationValue", L"", 1, true, -1}}),
    [](const ::testing::TestParamInfo<DebugLevelCase>& info) { return std::string(info.param.name); });

TEST_F(LoggerBasicTest, SecondRunAppendsRotatesOnTimeAndAHeldBDropsTheEntry)
{
    // The first run leaves A and B behind.
    {
        CLoggerBasic first;
        ASSERT_EQ(0u, first.Init(_app.c_str(), 13, _dir.c_str(), L"Wiz"));
        for (uint32_t line = 1; !Exists(File(L"B")); ++line)
            first.LogMessage(LOG_INFO, L"F", L"./F", line, LOG_NO_MODULE, 1, L"%s", std::wstring(400, L'e').c_str());
    }
    const std::string firstA = Read(L"A"), firstB = Read(L"B");

    // The second run goes on in the same A, after a header of its own, and
    // counts from the size the file has.
    ASSERT_EQ(0u, Start());
    const std::string appended = Read(L"A");
    ASSERT_EQ(firstA, appended.substr(0, firstA.size()));
    EXPECT_EQ(kRule, appended.substr(firstA.size(), kRule.size()));
    // The first run's bytes count whole, the second run's line ends without their CR.
    const auto counted = [&](const std::string& bytes) {
        return bytes.size() - static_cast<size_t>(std::count(bytes.begin() + firstA.size(), bytes.end(), '\r'));
    };
    EXPECT_EQ(counted(appended), _log.GetCurrentSize());

    // Its first rotation comes when its entries would take A past 10240:
    // A becomes B, the first run's B becomes C.
    std::string before;
    for (uint32_t line = 1; Read(L"B") == firstB; ++line)
    {
        before = Read(L"A");
        Fill(line);
    }
    EXPECT_EQ(before, Read(L"B"));
    EXPECT_EQ(firstB, Read(L"C"));
    const std::vector<std::string> lines = Lines(Read(L"A"));
    ASSERT_EQ(7u, lines.size()) << "the entry that rotated comes first after the new header";
    const size_t entry = lines[5].size() + 1 + lines[6].size() + 1;
    EXPECT_LE(counted(before), 10240u);
    EXPECT_GT(counted(before) + entry, 10240u);

    // Just short of the next rotation, B held: readable, but neither deletable nor movable.
    while (_log.GetCurrentSize() + 600 < 10240)
        Fill(1);
    unique_hfile holdB(::CreateFileW(File(L"B").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holdB);
    const std::string a = Read(L"A"), b = Read(L"B");
    Fill(2, 1000);
    EXPECT_EQ(a, Read(L"A")) << "the entry is dropped";
    EXPECT_EQ(b, Read(L"B"));
    EXPECT_FALSE(Exists(File(L"C"))) << "the old C is deleted before B is tried";

    // Once B is free again the next entry rotates normally.
    holdB.reset();
    Fill(3, 1000);
    EXPECT_EQ(b, Read(L"C"));
    EXPECT_EQ(a, Read(L"B"));

    // A held that way, though still writable: B moves on to C, A stays and the entry is dropped.
    while (_log.GetCurrentSize() + 600 < 10240)
        Fill(1);
    unique_hfile holdA(::CreateFileW(File(L"A").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holdA);
    const std::string heldA = Read(L"A"), movedB = Read(L"B");
    Fill(4, 1000);
    EXPECT_EQ(heldA, Read(L"A"));
    EXPECT_EQ(movedB, Read(L"C"));
}

TEST_F(LoggerBasicTest, TwoThreadsLoseAndTearNothingAcrossRotations)
{
    ASSERT_EQ(0u, Start());
    constexpr int kPerThread = 5000;
    // Kept within 50 entries of each other, both threads still write into the files that survive.
    std::atomic<int> progress[2] = {0, 0};
    auto writer = [&](int self, const wchar_t* name) {
        for (int i = 0; i < kPerThread; ++i)
        {
            while (i - progress[1 - self].load() > 50)
                std::this_thread::yield();
            _log.LogMessage(LOG_INFO, name, L"./T", static_cast<uint32_t>(i), LOG_NO_MODULE | LOG_NO_TIME, 7,
                            L"%s entry %05d of the worker", name, i);
            progress[self].store(i + 1);
        }
    };
    std::thread second(writer, 1, L"two");
    writer(0, L"one");
    second.join();

    // After each five-line header every entry is whole; each thread's run has no gap up to its last.
    const std::regex entry(R"(QLX INFO M-42-13-7 (one|two) entry (\d{5}) of the worker)");
    std::map<std::string, int> last;
    for (const wchar_t* generation : {L"C", L"B", L"A"})
    {
        const std::vector<std::string> lines = Lines(Read(generation));
        for (size_t i = 5; i < lines.size(); i += 2)
        {
            std::smatch match;
            ASSERT_TRUE(std::regex_match(lines[i], match, entry)) << lines[i];
            ASSERT_LT(i + 1, lines.size());
            EXPECT_EQ("\t./T:" + match[1].str() + "[" + match[2].str().substr(1) + "]", lines[i + 1]);
            const int number = std::stoi(match[2].str());
            ASSERT_TRUE(!last.count(match[1]) || last[match[1]] + 1 == number) << match[1] << " lost an entry";
            last[match[1]] = number;
        }
    }
    EXPECT_EQ((std::map<std::string, int>{{"one", kPerThread - 1}, {"two", kPerThread - 1}}), last);
}
