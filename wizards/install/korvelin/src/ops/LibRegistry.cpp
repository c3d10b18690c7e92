// CLibRegistry: see LibRegistry.h.
#include "LibRegistry.h"

#include "AfxWin.h"
#include "EntryPoints.h"
#include "FunctionLog.h"
#include "StringIds.h"
#include "UniqueResource.h"

#include <cstdarg>
#include <cwchar>
#include <new>

namespace
{
constexpr DWORD kTextBufferChars = 260; // 520 bytes
constexpr DWORD kSubkeyNameChars = 260;
constexpr DWORD kReplicaNameChars = 200;
constexpr DWORD kReplicaDataBytes = 200;

// A failed registry call: category 2 with its error, the Windows-error line and the
// line naming its subject. Returns whether the call succeeded.
bool RegCallSucceeded(const CFunctionLog& log, uint32_t line, CStatus& status, const wchar_t* function, const wchar_t* subject,
                      LSTATUS error) noexcept
{
    if (error == ERROR_SUCCESS)
        return true;
    status.Set(CStatus::kWin32, static_cast<uint32_t>(error));
    log.Win32Failed(line, function, static_cast<DWORD>(error));
    log.Debug(line, 0, L"%s", subject ? subject : L"");
    return false;
}
#define KV_REG_CALL(status, function, subject, call)                                                                   \
    RegCallSucceeded(kvLog_, __LINE__, (status), (function), (subject), (call))

// Running out of memory while storing into the caller's text or list ends the
// operation like a failed call instead of ending the process.
template <typename Store> bool Stored(CStatus& status, Store&& store) noexcept
{
    try
    {
        store();
        return true;
    }
    catch (const std::bad_alloc&)
    {
        status.Set(CStatus::kWin32, ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}


LSTATUS Connect(const wchar_t* computer, HKEY root, unique_hkey& remote) noexcept
{
    return KvEntry().RegConnectRegistryW(computer, root, &remote);
}

// Connects and opens the subkey for the readers, with full access: the wizard
// needs an administrator's rights for its work anyway.
bool OpenForReading(const CFunctionLog& kvLog_, CStatus& status, const wchar_t* computer, HKEY root,
                    const std::wstring& subkey, unique_hkey& key) noexcept
{
    unique_hkey remote;
    return KV_REG_CALL(status, L"RegConnectRegistry", computer, Connect(computer, root, remote)) &&
           KV_REG_CALL(status, L"RegOpenKeyEx", subkey.c_str(),
                       KvEntry().RegOpenKeyExW(remote.get(), subkey.c_str(), 0, KEY_ALL_ACCESS, &key));
}

// Connects, opens and queries one value into the caller's buffer.
bool QueryValue(const CFunctionLog& kvLog_, CStatus& status, const wchar_t* computer, HKEY root,
                const std::wstring& subkey, const std::wstring& valueName, void* data, DWORD& size) noexcept
{
    unique_hkey key;
    return OpenForReading(kvLog_, status, computer, root, subkey, key) &&
           KV_REG_CALL(status, L"RegQueryValueEx", valueName.c_str(),
                       KvEntry().RegQueryValueExW(key.get(), valueName.c_str(), nullptr, nullptr,
                                                  static_cast<BYTE*>(data), &size));
}

// Both writers: open the key, create it when it cannot be opened, write.
CStatus WriteValue(const CFunctionLog& kvLog_, const wchar_t* computer, HKEY root, const std::wstring& subkey,
                   const std::wstring& valueName, DWORD type, const void* data, DWORD size) noexcept
{
    CStatus status = CStatus::Success();
    unique_hkey remote;
    if (!KV_REG_CALL(status, L"RegConnectRegistry", computer, Connect(computer, root, remote)))
        return status;
    unique_hkey key;
    const LSTATUS openError = KvEntry().RegOpenKeyExW(remote.get(), subkey.c_str(), 0, KEY_SET_VALUE, &key);
    if (openError != ERROR_SUCCESS)
    {
        const CStatus created = CLibRegistry::CreateRegistryKey(computer, root, subkey);
        if (created.IsFailed())
        {
            KV_LOG_WIN32(L"CreateRegistryKey", static_cast<DWORD>(openError));
            return created;
        }
        if (!KV_REG_CALL(status, L"RegOpenKey", subkey.c_str(),
                         KvEntry().RegOpenKeyExW(remote.get(), subkey.c_str(), 0, KEY_SET_VALUE, &key)))
            return status;
    }
    KV_REG_CALL(status, L"RegSetValueEx", valueName.c_str(),
                KvEntry().RegSetValueExW(key.get(), valueName.c_str(), 0, type, static_cast<const BYTE*>(data), size));
    return status;
}

} // namespace

CStatus CLibRegistry::CreateRegistryKey(const wchar_t* computer, HKEY root, const std::wstring& subkey) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = CStatus::Success();
    unique_hkey remote;
    unique_hkey key;
    if (KV_REG_CALL(status, L"RegConnectRegistry", computer, Connect(computer, root, remote)))
        KV_REG_CALL(status, L"RegCreateKeyEx", subkey.c_str(),
                    KvEntry().RegCreateKeyExW(remote.get(), subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                              KEY_ALL_ACCESS, nullptr, &key, nullptr));
    return status;
}

CStatus CLibRegistry::SetRegistryStringValue(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                             const std::wstring& valueName, const std::wstring& text) noexcept
{
    KV_LOG_FUNCTION();
    // The terminating null is part of the stored data.
    const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return WriteValue(kvLog_, computer, root, subkey, valueName, REG_SZ, text.c_str(), size);
}

CStatus CLibRegistry::SetRegistryDWORDValue(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                            const std::wstring& valueName, DWORD value) noexcept
{
    KV_LOG_FUNCTION();
    return WriteValue(kvLog_, computer, root, subkey, valueName, REG_DWORD, &value, sizeof(value));
}

CStatus CLibRegistry::DeleteRegistryKey(const wchar_t* computer, HKEY root, const std::wstring& subkey) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = CStatus::Success();
    unique_hkey remote;
    if (!KV_REG_CALL(status, L"RegConnectRegistry", computer, Connect(computer, root, remote)))
        return status;
    // RegDeleteTreeW is what the shell's SHDeleteKey does, without the shell library.
    const LSTATUS error =
        subkey.empty() ? ERROR_INVALID_PARAMETER : KvEntry().RegDeleteTreeW(remote.get(), subkey.c_str());
    KV_REG_CALL(status, L"SHDeleteKey", subkey.c_str(), error);
    return status;
}

CStatus CLibRegistry::DeleteRegistryValue(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                          const std::wstring& valueName) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = CStatus::Success();
    unique_hkey remote;
    unique_hkey key;
    if (KV_REG_CALL(status, L"RegConnectRegistry", computer, Connect(computer, root, remote)) &&
        KV_REG_CALL(status, L"RegCreateKey", subkey.c_str(),
                    KvEntry().RegCreateKeyExW(remote.get(), subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                              KEY_SET_VALUE, nullptr, &key, nullptr)))
        KV_REG_CALL(status, L"RegDeleteValue", valueName.c_str(),
                    KvEntry().RegDeleteValueW(key.get(), valueName.c_str()));
    return status;
}

CStatus CLibRegistry::ReadRegistryStringValue(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                              const std::wstring& valueName, std::wstring& text) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = CStatus::Success();
    wchar_t buffer[kTextBufferChars] = {};
    DWORD size = sizeof(buffer);
    // Data that fills the buffer exactly may carry no terminator.
    if (QueryValue(kvLog_, status, computer, root, subkey, valueName, buffer, size))
        Stored(status, [&] { text.assign(buffer, ::wcsnlen(buffer, kTextBufferChars)); });
    return status;
}

CStatus CLibRegistry::ReadRegistryDWORDValue(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                             const std::wstring& valueName, DWORD& value) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = CStatus::Success();
    // Shorter data reads as a zero-extended number; longer data fails with 234.
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (QueryValue(kvLog_, status, computer, root, subkey, valueName, &data, size))
        value = data;
    return status;
}

CStatus CLibRegistry::ReadRegistryMultiStringValue(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                                   const std::wstring& valueName, NameList& list) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = CStatus::Success();
    unique_hkey key;
    if (!OpenForReading(kvLog_, status, computer, root, subkey, key))
        return status;
    DWORD size = 0;
    if (!KV_REG_CALL(status, L"RegQueryValueEx", valueName.c_str(),
                     KvEntry().RegQueryValueExW(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, &size)))
        return status;
    // Two spare nulls end the walk even when the data lacks its own.
    std::vector<wchar_t> data;
    if (!Stored(status, [&] { data.assign(size / sizeof(wchar_t) + 3, L'\0'); }))
        return status;
    if (!KV_REG_CALL(status, L"RegQueryValueEx", valueName.c_str(),
                     KvEntry().RegQueryValueExW(key.get(), valueName.c_str(), nullptr, nullptr,
                                        reinterpret_cast<BYTE*>(data.data()), &size)))
        return status;
    Stored(status, [&] {
        for (const wchar_t* text = data.data(); *text; text += ::wcslen(text) + 1)
            list.emplace_back(text);
    });
    return status;
}

CStatus CLibRegistry::EnumerateKeys(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                    NameList& names) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = CStatus::Success();
    unique_hkey key;
    if (!OpenForReading(kvLog_, status, computer, root, subkey, key))
        return status;
    for (DWORD index = 0;; ++index)
    {
        wchar_t name[kSubkeyNameChars + 1] = {};
        DWORD length = kSubkeyNameChars;
        const LSTATUS error =
            KvEntry().RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (error == ERROR_NO_MORE_ITEMS)
            break;
        // A name cut to the buffer is kept, but the enumeration ends there.
        if ((error == ERROR_SUCCESS || error == ERROR_MORE_DATA) && !Stored(status, [&] { names.emplace_back(name); }))
            break;
        if (!KV_REG_CALL(status, L"RegEnumKeyEx", subkey.c_str(), error))
            break;
    }
    return status;
}

CStatus CLibRegistry::RegKeyExists(const wchar_t* computer, HKEY root, const std::wstring& subkey,
                                   bool& exists) noexcept
{
    KV_LOG_FUNCTION();
    CStatus status = CStatus::Success();
    exists = false;
    unique_hkey remote;
    if (!KV_REG_CALL(status, L"RegConnectRegistry", computer, Connect(computer, root, remote)))
        return status;
    unique_hkey key;
    exists = KvEntry().RegOpenKeyExW(remote.get(), subkey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    return status;
}

CStatus CLibRegistry::ReplicateKeyAToA(const wchar_t* sourceComputer, const wchar_t* destinationComputer, HKEY root,
                                       const std::wstring& subkey) noexcept
{
    // The key replication logs under names of its own.
    KV_LOG_FUNCTION_AS(L"CLibRegistry::ReplicateKeyAToA()");
    CStatus status = CStatus::Success();
    unique_hkey source;
    unique_hkey destination;
    if (!KV_REG_CALL(status, L"RegConnectRegistry()", sourceComputer, Connect(sourceComputer, root, source)) ||
        !KV_REG_CALL(status, L"RegConnectRegistry()", destinationComputer,
                     Connect(destinationComputer, root, destination)))
        return status;
    status = _ReplicateKey(source.get(), destination.get(), subkey);
    if (status.IsFailed())
        KV_LOG_FAILED(L"CLibRegistry::ReplicateKeyAToA(2)", status);
    return status;
}

CStatus CLibRegistry::_ReplicateKey(HKEY sourceRoot, HKEY destinationRoot, const std::wstring& path) noexcept
{
    KV_LOG_FUNCTION_AS(L"LibRegistry::ReplicateKeyAToA(2)");
    CStatus status = CStatus::Success();
    unique_hkey source;
    unique_hkey destination;
    if (!KV_REG_CALL(status, L"RegOpenKey()", path.c_str(),
                     KvEntry().RegOpenKeyExW(sourceRoot, path.c_str(), 0, KEY_READ, &source)) ||
        !KV_REG_CALL(status, L"RegCreateKeyEx()", path.c_str(),
                     KvEntry().RegCreateKeyExW(destinationRoot, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                               KEY_WRITE, nullptr, &destination, nullptr)))
        return status;

    // Values first; the first value that cannot be enumerated (too long a name
    // or data included) ends the pass.
    for (DWORD index = 0;; ++index)
    {
        wchar_t name[kReplicaNameChars] = {};
        DWORD nameLength = kReplicaNameChars;
        BYTE data[kReplicaDataBytes] = {};
        DWORD dataSize = kReplicaDataBytes;
        DWORD type = 0;
        if (KvEntry().RegEnumValueW(source.get(), index, name, &nameLength, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS)
            break;
        if (!KV_REG_CALL(status, L"RegSetValueEx", name,
                         KvEntry().RegSetValueExW(destination.get(), name, 0, type, data, dataSize)))
            return status;
    }

    // Then each subkey completely before the next.
    for (DWORD index = 0;; ++index)
    {
        wchar_t name[kReplicaNameChars] = {};
        DWORD nameLength = kReplicaNameChars;
        if (KvEntry().RegEnumKeyExW(source.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        std::wstring child;
        if (!Stored(status, [&] { child = path.empty() ? std::wstring(name) : path + L"\\" + name; }))
            return status;
        KV_LOG_MESSAGE(LOG_INFO, IDS_LOG_INFORMATION, child.c_str());
        const CStatus copied = _ReplicateKey(sourceRoot, destinationRoot, child);
        if (copied.IsFailed())
        {
            KV_LOG_FAILED(L"CLibRegistry::ReplicateKeyAToA(2)", copied);
            return copied;
        }
    }
    return status;
}
