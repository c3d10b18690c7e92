// CLoggerBasic: see LoggerBasic.h.
#include "LoggerBasic.h"

#include "UniqueResource.h"

#include <cstdio>
#include <cwchar>
#include <new>

CLoggerBasic g_Logger;

namespace
{
constexpr wchar_t kProductTag[] = L"QLX";
constexpr wchar_t kMessageIdPrefix[] = L"M-42";
constexpr wchar_t kProductKey[] = L"Software\\HALVERN\\QLX";
constexpr wchar_t kDebugValue[] = L"LogDbg";
constexpr int32_t kDebugLevels = 21;
constexpr int kRenameAttempts = 3;
constexpr wchar_t kHeaderRule[] = L"///////////////////////////////////////////////////////";
static_assert(sizeof(kHeaderRule) / sizeof(wchar_t) - 1 == 55, "the header rule is 55 slashes");

class CLockGuard
{
public:
    explicit CLockGuard(CRITICAL_SECTION& lock) noexcept : _lock(lock) { ::EnterCriticalSection(&_lock); }
    ~CLockGuard() { ::LeaveCriticalSection(&_lock); }
    CLockGuard(const CLockGuard&) = delete;
    CLockGuard& operator=(const CLockGuard&) = delete;

private:
    CRITICAL_SECTION& _lock;
};

// Formats into the fixed 1024-character buffer; false when the text does not
// fit in 1023 characters.
bool FormatFixed(wchar_t (&buffer)[CLoggerBasic::kMessageBuffer], const wchar_t* format, va_list args) noexcept
{
    const int written = _vsnwprintf(buffer, CLoggerBasic::kMessageBuffer - 1, format, args);
    buffer[CLoggerBasic::kMessageBuffer - 1] = L'\0';
    return written >= 0 && static_cast<size_t>(written) < CLoggerBasic::kMessageBuffer;
}

std::wstring TimeStamp()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t text[64];
    swprintf(text, 64, L"%d/%02d/%02d %02d:%02d:%02d ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    return text;
}

// "Exists" as the rotation means it: the file can be opened for reading.
bool FileExists(const std::wstring& path) noexcept
{
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.is_valid();
}

bool ReadDword(HKEY key, const wchar_t* name, DWORD& value) noexcept
{
    DWORD size = sizeof(value);
    return ::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
           ERROR_SUCCESS;
}

// The file name after its last backslash, or all of it.
const wchar_t* BaseName(const wchar_t* path) noexcept
{
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}
} // namespace

CLoggerBasic::CLoggerBasic() noexcept
{
    ::InitializeCriticalSection(&_writeLock);
}

CLoggerBasic::~CLoggerBasic()
{
    ::DeleteCriticalSection(&_writeLock);
}

uint32_t CLoggerBasic::Init(const wchar_t* applicationName, uint32_t componentNumber, const wchar_t* homeDirectory,
                            const wchar_t* moduleName) noexcept
{
    try
    {
        if (_initialized)
            return kInitOk;

        _applicationName = applicationName ? applicationName : L"";
        _componentNumber = componentNumber;

        if (moduleName)
        {
            _moduleName = moduleName;
        }
        else
        {
            wchar_t path[1024];
            const DWORD length = ::GetModuleFileNameW(nullptr, path, 1024);
            if (length > 0 && length < 1024)
            {
                std::wstring name = BaseName(path);
                const size_t dot = name.rfind(L'.');
                _moduleName = dot == std::wstring::npos ? name : name.substr(0, dot);
            }
        }

        if (homeDirectory)
        {
            _logDirectory = homeDirectory;
        }
        else
        {
            const DWORD needed = ::GetEnvironmentVariableW(L"QLX_HOME", nullptr, 0);
            if (needed == 0)
                return kInitNoHome;
            std::wstring home(needed, L'\0');
            const DWORD length = ::GetEnvironmentVariableW(L"QLX_HOME", home.data(), needed);
            home.resize(length);
            _logDirectory = home + L"\\log\\";
        }

        _fileA = _logDirectory + _moduleName + L"_A.txt";
        _fileB = _logDirectory + _moduleName + L"_B.txt";
        _fileC = _logDirectory + _moduleName + L"_C.txt";
        _currentFile = _fileA;
        _initialized = 1;

        ReadDebugLevel(_debugLevel);
        return OpenLogFile(_currentFile);
    }
    catch (const std::bad_alloc&)
    {
        return kInitCannotOpen;
    }
}

uint32_t CLoggerBasic::ReadDebugLevel(int32_t& level) noexcept
{
    if (!_initialized)
    {
        level = -1;
        return 1;
    }

    DWORD value = 0;
    bool found = false;
    const std::wstring appKeyPath = std::wstring(kProductKey) + L"\\" + _applicationName;
    unique_hkey appKey;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, appKeyPath.c_str(), 0, KEY_QUERY_VALUE, &appKey) == ERROR_SUCCESS)
    {
        // A module sub-key decides alone, even when it lacks the value.
        unique_hkey moduleKey;
        if (::RegOpenKeyExW(appKey.get(), _moduleName.c_str(), 0, KEY_QUERY_VALUE, &moduleKey) == ERROR_SUCCESS)
            found = ReadDword(moduleKey.get(), kDebugValue, value);
        else
            found = ReadDword(appKey.get(), kDebugValue, value);
    }

    level = -1;
    if (found && value < static_cast<DWORD>(kDebugLevels))
        level = static_cast<int32_t>(value);
    return 0;
}

const wchar_t* CLoggerBasic::MessageLevelName(int32_t level) noexcept
{
    static const wchar_t* const names[] = {L"CRITICAL", L"ERROR", L"WARNING", L"NOTICE", L"INFO"};
    return level >= 0 && level < 5 ? names[level] : L"";
}

const wchar_t* CLoggerBasic::DebugLevelName(int32_t level) noexcept
{
    static const wchar_t* const names[kDebugLevels] = {
        L"DBG_1",  L"DBG_2",  L"DBG_3",  L"DBG_4",  L"DBG_5",  L"DBG_6",  L"DBG_7",
        L"DBG_8",  L"DBG_9",  L"DBG_10", L"DBG_11", L"DBG_12", L"DBG_13", L"DBG_14",
        L"DBG_15", L"DBG_16", L"DBG_17", L"DBG_18", L"DBG_19", L"DBG_20", L"DBG_21"};
    return level >= 0 && level < kDebugLevels ? names[level] : L"";
}

void CLoggerBasic::LogMessage(int32_t level, const wchar_t* functionName, const wchar_t* sourceFile, uint32_t line,
                              uint32_t formatFlags, uint32_t messageId, const wchar_t* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    LogMessageV(level, functionName, sourceFile, line, formatFlags, messageId, format, args);
    va_end(args);
}

void CLoggerBasic::LogDebug(int32_t level, const wchar_t* functionName, const wchar_t* sourceFile, uint32_t line,
                            uint32_t formatFlags, uint32_t messageId, const wchar_t* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    LogDebugV(level, functionName, sourceFile, line, formatFlags, messageId, format, args);
    va_end(args);
}

void CLoggerBasic::LogMessageV(int32_t level, const wchar_t* functionName, const wchar_t* sourceFile, uint32_t line,
                               uint32_t formatFlags, uint32_t messageId, const wchar_t* format, va_list args) noexcept
{
    if (!_initialized || !format)
        return;
    _Log(&MessageLevelName, level, functionName, sourceFile, line, formatFlags, messageId, format, args);
}

void CLoggerBasic::LogDebugV(int32_t level, const wchar_t* functionName, const wchar_t* sourceFile, uint32_t line,
                             uint32_t formatFlags, uint32_t messageId, const wchar_t* format, va_list args) noexcept
{
    if (!_initialized || !(level + 1 <= _debugLevel) || !format)
        return;
    _Log(&DebugLevelName, level, functionName, sourceFile, line, formatFlags, messageId, format, args);
}

void CLoggerBasic::_Log(LevelNameFn levelName, int32_t level, const wchar_t* functionName, const wchar_t* sourceFile,
                        uint32_t line, uint32_t formatFlags, uint32_t messageId, const wchar_t* format,
                        va_list args) noexcept
{
    try
    {
        WriteEntry(FormatEntry(levelName(level), functionName, sourceFile, line, formatFlags, messageId, format,
                               args));
    }
    catch (const std::bad_alloc&)
    {
        // An entry that cannot be built is lost like one that cannot be written.
    }
}

std::wstring CLoggerBasic::MessageIdText(uint32_t messageId) const
{
    wchar_t text[64];
    swprintf(text, 64, L"%ls-%d-%d ", kMessageIdPrefix, static_cast<int>(_componentNumber), static_cast<int>(messageId));
    return text;
}

std::wstring CLoggerBasic::FormatEntry(const wchar_t* levelName, const wchar_t* functionName,
                                       const wchar_t* sourceFile, uint32_t line, uint32_t formatFlags,
                                       uint32_t messageId, const wchar_t* format, va_list args) const
{
    std::wstring entry;
    if (!(formatFlags & LOG_NO_TIME))
        entry += TimeStamp();
    if (!(formatFlags & LOG_NO_PRODUCT))
        entry.append(kProductTag).append(L" ");
    if (!(formatFlags & LOG_NO_MODULE) && !_moduleName.empty())
        entry.append(_moduleName).append(L" ");
    if (!(formatFlags & LOG_NO_LEVEL))
        entry.append(levelName).append(L" ");
    if (!(formatFlags & LOG_NO_MSGID))
        entry += MessageIdText(messageId);

    // A message longer than the buffer keeps its first 1023 characters: the
    // entry still ends with its source line, so the next entry starts clean.
    wchar_t message[kMessageBuffer];
    FormatFixed(message, format, args);
    entry.append(message).append(L"\n");

    wchar_t location[kMessageBuffer];
    _snwprintf(location, kMessageBuffer - 1, L"\t%s:%s[%.4d]", BaseName(sourceFile ? sourceFile : L""),
               functionName ? functionName : L"", static_cast<int>(line));
    location[kMessageBuffer - 1] = L'\0';
    entry += location;
    if (!(formatFlags & LOG_NO_NEWLINE))
        entry += L"\n";
    return entry;
}

void CLoggerBasic::WriteEntry(const std::wstring& entry) noexcept
{
    CLockGuard guard(_writeLock);
    if (_currentSize + entry.size() > kMaxFileSize && !_next())
        return;

    // Single-byte text in the system's code page, converted here: the C
    // runtime's own conversion stops at the first character outside Latin-1.
    std::string bytes;
    try
    {
        const int length = ::WideCharToMultiByte(CP_ACP, 0, entry.data(), static_cast<int>(entry.size()), nullptr, 0,
                                                 nullptr, nullptr);
        bytes.resize(static_cast<size_t>(length > 0 ? length : 0));
        if (length > 0)
            ::WideCharToMultiByte(CP_ACP, 0, entry.data(), static_cast<int>(entry.size()), bytes.data(), length,
                                  nullptr, nullptr);
    }
    catch (const std::bad_alloc&)
    {
        return;
    }
    FILE* file = _wfopen(_currentFile.c_str(), L"a+");
    if (!file)
        return;
    // The text stream still turns each "\n" into CR LF.
    fputs(bytes.c_str(), file);
    fflush(file);
    fclose(file);
    _currentSize += static_cast<uint32_t>(entry.size());
}

bool CLoggerBasic::_next() noexcept
{
    CLockGuard guard(_writeLock);
    if (FileExists(_fileC) && !::DeleteFileW(_fileC.c_str()))
        return false;

    for (int attempt = 0; FileExists(_fileB); ++attempt)
    {
        if (attempt == kRenameAttempts)
            return false;
        if (::MoveFileW(_fileB.c_str(), _fileC.c_str()))
            break;
    }

    bool moved = false;
    for (int attempt = 0; attempt < kRenameAttempts && !moved; ++attempt)
        moved = ::MoveFileW(_fileA.c_str(), _fileB.c_str()) != FALSE;
    if (!moved)
        return false;

    _currentFile = _fileA;
    OpenLogFile(_currentFile);
    return true;
}

uint32_t CLoggerBasic::OpenLogFile(const std::wstring& path) noexcept
{
    CLockGuard guard(_writeLock);
    FILE* file = _wfopen(path.c_str(), L"a+");
    if (!file)
        return kInitCannotOpen;
    fclose(file);

    {
        unique_hfile reader(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!reader)
            return kInitOk;
        LARGE_INTEGER size{};
        ::GetFileSizeEx(reader.get(), &size);
        _currentSize = static_cast<uint32_t>(size.QuadPart);
    }

    try
    {
        std::wstring header;
        header.append(kHeaderRule).append(L"\n");
        header.append(_moduleName).append(L" log file last updated at :").append(L"\n");
        header.append(TimeStamp()).append(L"\n");
        header.append(kHeaderRule).append(L"\n");
        header.append(L"\n");
        WriteEntry(header);
    }
    catch (const std::bad_alloc&)
    {
    }
    return kInitOk;
}

uint32_t CLoggerBasic::FormatMessageParts(std::wstring& outText, std::wstring& outProduct, std::wstring& outLevel,
                                          std::wstring& outMessageId, int32_t level, uint32_t messageId,
                                          const wchar_t* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    const uint32_t result =
        FormatMessagePartsV(outText, outProduct, outLevel, outMessageId, level, messageId, format, args);
    va_end(args);
    return result;
}

uint32_t CLoggerBasic::FormatMessagePartsV(std::wstring& outText, std::wstring& outProduct, std::wstring& outLevel,
                                           std::wstring& outMessageId, int32_t level, uint32_t messageId,
                                           const wchar_t* format, va_list args) noexcept
{
    try
    {
        outProduct = kProductTag;
        outLevel = MessageLevelName(level);
        outMessageId = MessageIdText(messageId);
        wchar_t message[kMessageBuffer];
        if (format && FormatFixed(message, format, args))
            outText = message;
    }
    catch (const std::bad_alloc&)
    {
    }
    return 0;
}
