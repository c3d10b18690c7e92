// The wizard tests share the process-wide log: it is started once, with debug
// entries on, in a folder of its own that each test can read.
#include "WizardTestEnvironment.h"

#include "AfxWin.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace
{
constexpr wchar_t kAppKey[] = L"Software\\HALVERN\\QLX\\KorvelinWizardTests";
std::wstring g_logFile;

class WizardTestEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        const std::wstring dir = std::wstring(temp) + L"KvWizardTests\\";
        ::CreateDirectoryW(dir.c_str(), nullptr);
        g_logFile = dir + L"wizard_tests_A.txt";
        ::DeleteFileW(g_logFile.c_str());

        const DWORD level = 1;
        ASSERT_EQ(ERROR_SUCCESS,
                  ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kAppKey, L"LogDbg", REG_DWORD, &level, sizeof(level)));
        ASSERT_EQ(0u, g_Logger.Init(L"KorvelinWizardTests", 13, dir.c_str(), L"wizard_tests"));
        ASSERT_EQ(1, g_Logger.GetDebugLevel());
    }

    void TearDown() override { ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kAppKey); }
};

std::string ReadGeneration(wchar_t generation)
{
    std::wstring path = g_logFile;
    path[path.rfind(L"_A.") + 1] = generation;
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
// A log file without the header block a new file starts with: the closing
// rule's line and the blank line after it end the block.
std::string EntriesOf(const std::string& file)
{
    const std::string rule = "////";
    if (file.compare(0, rule.size(), rule) != 0)
        return file;
    size_t end = file.find("\n" + rule);
    for (int line = 0; line < 2 && end != std::string::npos; ++line)
        end = file.find('\n', end + 1);
    return end == std::string::npos ? file : file.substr(end + 1);
}
} // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new WizardTestEnvironment);
    return RUN_ALL_TESTS();
}

CScopedResourceModule::CScopedResourceModule(HMODULE module) noexcept
    : _previous(AfxGetResourceHandle()), _module(module)
{
    AfxSetResourceHandle(module);
}

CScopedResourceModule::~CScopedResourceModule()
{
    AfxSetResourceHandle(_previous);
    if (_module)
        ::FreeLibrary(_module);
}

CLogTail::CLogTail() : _start(ReadGeneration(L'A').size()), _previousSize(ReadGeneration(L'B').size())
{
}

std::string CLogTail::Untimed() const
{
    // "2026/12/06 07:32:48 QLX ..." : the stamp is the first 20 characters.
    constexpr size_t kStamp = 20;
    const std::string text = Text();
    std::string untimed;
    for (size_t start = 0; start < text.size();)
    {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        start = end;
        if (line[0] == '\t') // where the entry came from
            continue;
        untimed += line.size() > kStamp && line[4] == '/' && line[19] == ' ' ? line.substr(kStamp) : line;
    }
    return untimed;
}

std::string CLogTail::Text() const
{
    const std::string current = ReadGeneration(L'A');
    const std::string previous = ReadGeneration(L'B');
    if (previous.size() == _previousSize) // A stayed; a fresh process may have started it anew
        return current.size() >= _start ? current.substr(_start) : current;
    // A was moved to B on the way: what came after the start is there, then the new A's entries.
    return (previous.size() > _start ? previous.substr(_start) : std::string()) + EntriesOf(current);
}
