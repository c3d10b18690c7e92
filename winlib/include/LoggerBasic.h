// The program's log file: leveled and debug entries appended to
// <home>\log\<module>_A.txt, with two older generations (_B, _C).
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <string>

// Each set flag leaves one part out of an entry.
enum : uint32_t
{
    LOG_NO_TIME = 1,
    LOG_NO_LEVEL = 2,
    LOG_NO_MSGID = 4,
    LOG_NO_MODULE = 8,
    LOG_NO_PRODUCT = 16,
    LOG_NO_NEWLINE = 32,
};

// Message levels of LogMessage.
enum : int32_t
{
    LOG_CRITICAL = 0,
    LOG_ERROR = 1,
    LOG_WARNING = 2,
    LOG_NOTICE = 3,
    LOG_INFO = 4,
};

class CLoggerBasic
{
public:
    // Results of Init.
    static constexpr uint32_t kInitOk = 0;
    static constexpr uint32_t kInitNoHome = 1;
    static constexpr uint32_t kInitCannotOpen = 2;

    // A file grows to at most this many characters before it is rotated.
    static constexpr uint32_t kMaxFileSize = 10240;
    // Formatting buffer, in characters, terminator included.
    static constexpr size_t kMessageBuffer = 1024;

    CLoggerBasic() noexcept;
    CLoggerBasic(const CLoggerBasic&) = delete;
    CLoggerBasic& operator=(const CLoggerBasic&) = delete;

    // Returns 0 on success or when already initialised, 1 without a home
    // directory, 2 when the file cannot be opened (the logger then stays
    // initialised and every entry tries again). A given homeDirectory is the
    // log directory itself and carries its trailing separator.
    uint32_t Init(const wchar_t* applicationName, uint32_t componentNumber,
                  const wchar_t* homeDirectory = nullptr, const wchar_t* moduleName = nullptr) noexcept;

    // Reads "LogDbg"; always stores a level (-1 when there is none). Returns 1
    // when the logger is not initialised, else 0.
    virtual uint32_t ReadDebugLevel(int32_t& level) noexcept;

    virtual void LogMessage(int32_t level, const wchar_t* functionName, const wchar_t* sourceFile, uint32_t line,
                            uint32_t formatFlags, uint32_t messageId, const wchar_t* format, ...) noexcept;

    // Written only when level + 1 <= the debug level read from the registry.
    virtual void LogDebug(int32_t level, const wchar_t* functionName, const wchar_t* sourceFile, uint32_t line,
                          uint32_t formatFlags, uint32_t messageId, const wchar_t* format, ...) noexcept;

    // Declared after the three operations above so they keep the first slots.
    virtual ~CLoggerBasic();

    void LogMessageV(int32_t level, const wchar_t* functionName, const wchar_t* sourceFile, uint32_t line,
                     uint32_t formatFlags, uint32_t messageId, const wchar_t* format, va_list args) noexcept;
    void LogDebugV(int32_t level, const wchar_t* functionName, const wchar_t* sourceFile, uint32_t line,
                   uint32_t formatFlags, uint32_t messageId, const wchar_t* format, va_list args) noexcept;

    // Splits a message into the parts a message box shows. Works before Init.
    uint32_t FormatMessageParts(std::wstring& outText, std::wstring& outProduct, std::wstring& outLevel,
                                std::wstring& outMessageId, int32_t level, uint32_t messageId,
                                const wchar_t* format, ...) noexcept;
    uint32_t FormatMessagePartsV(std::wstring& outText, std::wstring& outProduct, std::wstring& outLevel,
                                 std::wstring& outMessageId, int32_t level, uint32_t messageId, const wchar_t* format,
                                 va_list args) noexcept;

    static const wchar_t* MessageLevelName(int32_t level) noexcept;
    static const wchar_t* DebugLevelName(int32_t level) noexcept;

    bool IsInitialized() const noexcept { return _initialized != 0; }
    int32_t GetDebugLevel() const noexcept { return _debugLevel; }
    uint32_t GetComponentNumber() const noexcept { return _componentNumber; }
    uint32_t GetCurrentSize() const noexcept { return _currentSize; }
    const std::wstring& GetCurrentFile() const noexcept { return _currentFile; }
    const std::wstring& GetLogDirectory() const noexcept { return _logDirectory; }
    const std::wstring& GetModuleName() const noexcept { return _moduleName; }

private:
    using LevelNameFn = const wchar_t* (*)(int32_t) noexcept;

    void _Log(LevelNameFn levelName, int32_t level, const wchar_t* functionName, const wchar_t* sourceFile,
              uint32_t line, uint32_t formatFlags, uint32_t messageId, const wchar_t* format, va_list args) noexcept;
    std::wstring FormatEntry(const wchar_t* levelName, const wchar_t* functionName, const wchar_t* sourceFile,
                             uint32_t line, uint32_t formatFlags, uint32_t messageId, const wchar_t* format,
                             va_list args) const;
    std::wstring MessageIdText(uint32_t messageId) const;
    void WriteEntry(const std::wstring& entry) noexcept;
    bool _next() noexcept;
    uint32_t OpenLogFile(const std::wstring& path) noexcept;

    std::wstring _logDirectory;
    std::wstring _currentFile;
    std::wstring _applicationName;
    std::wstring _moduleName;
    std::wstring _fileA;
    std::wstring _fileB;
    std::wstring _fileC;
    uint32_t _componentNumber = 0;
    uint32_t _currentSize = 0;
    int32_t _debugLevel = -1;
    uint32_t _initialized = 0;

    // The user-interface thread and the worker thread both log; one entry,
    // rotation included, is written at a time.
    CRITICAL_SECTION _writeLock;
};

// The process-wide log.
extern CLoggerBasic g_Logger;
