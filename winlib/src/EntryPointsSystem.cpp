// The system backend: every entry is the real function. The cluster library
// is loaded on first use, so a computer without it still starts the wizard and
// fails where the cluster is first needed, as a library that is not ready.
#include "EntryPoints.h"

#include "LoggerBasic.h"
#include "ProcResolver.h"

// ADSI's headers need COM's types, which WIN32_LEAN_AND_MEAN leaves out.
#include <ole2.h>

#include <activeds.h>
#include <lmjoin.h>

#include <cstdio>
#include <type_traits>

namespace
{
constexpr wchar_t kClusterLibrary[] = L"qlxapi_mt.dll";
// What the entries answer while the library or one of its functions is
// missing: the library's own "not ready" shape, with a text that says why.
constexpr int kNotReady = -1;
constexpr uint32_t kNotReadyClass = 1;

enum class ClusterEntry
{
#define KV_CLUSTER_ENUM(name, result, params, failsBy) name,
    KV_CLUSTER_ENTRY_POINTS(KV_CLUSTER_ENUM)
#undef KV_CLUSTER_ENUM
        Count
};

constexpr const char* kClusterNames[] = {
#define KV_CLUSTER_NAME(name, result, params, failsBy) #name,
    KV_CLUSTER_ENTRY_POINTS(KV_CLUSTER_NAME)
#undef KV_CLUSTER_NAME
};

class CClusterLibrary
{
public:
    // Loaded once, by the first caller; the library stays loaded until the
    // process ends, as the cluster handle it gives out does.
    static const CClusterLibrary& Get() noexcept
    {
        static const CClusterLibrary library;
        return library;
    }

    FARPROC Function(ClusterEntry entry) const noexcept { return _functions[static_cast<size_t>(entry)]; }
    const QLXError& NotReady() const noexcept { return _notReady; }

private:
    CClusterLibrary() noexcept
    {
        const HMODULE module = ::LoadLibraryW(kClusterLibrary);
        if (!module)
        {
            const DWORD error = ::GetLastError();
            std::snprintf(_notReady.text, sizeof(_notReady.text), "%ls could not be loaded (Windows error %lu).",
                          kClusterLibrary, error);
            _notReady.errorNumber = error;
            g_Logger.LogMessage(LOG_ERROR, L"KvEntry", L"./EntryPointsSystem", __LINE__, LOG_NO_MSGID, 0,
                                L"%ls could not be loaded: Windows error %lu.", kClusterLibrary, error);
            return;
        }
        bool complete = true;
        for (size_t i = 0; i < static_cast<size_t>(ClusterEntry::Count); ++i)
        {
            _functions[i] = ::GetProcAddress(module, kClusterNames[i]);
            if (_functions[i])
                continue;
            complete = false;
            std::snprintf(_notReady.text, sizeof(_notReady.text), "%ls lacks %s.", kClusterLibrary,
                          kClusterNames[i]);
            _notReady.errorNumber = ERROR_PROC_NOT_FOUND;
            g_Logger.LogMessage(LOG_ERROR, L"KvEntry", L"./EntryPointsSystem", __LINE__, LOG_NO_MSGID, 0,
                                L"%ls lacks %hs.", kClusterLibrary, kClusterNames[i]);
        }
        if (!complete)
        {
            // Half a library is none: every entry answers "not ready".
            for (FARPROC& function : _functions)
                function = nullptr;
            return;
        }
        g_Logger.LogMessage(LOG_INFO, L"KvEntry", L"./EntryPointsSystem", __LINE__, LOG_NO_MSGID, 0,
                            L"%ls loaded.", kClusterLibrary);
    }

    FARPROC _functions[static_cast<size_t>(ClusterEntry::Count)] = {};
    QLXError _notReady = {kNotReadyClass, 0, ""};
};

template <ClusterEntry entry, typename Signature> struct Resolved;
template <ClusterEntry entry, typename Result, typename... Args> struct Resolved<entry, Result(Args...)>
{
    static Result WINAPI Call(Args... args)
    {
        const CClusterLibrary& library = CClusterLibrary::Get();
        using Function = Result(WINAPI*)(Args...);
        if (const Function function = KvResolve<Function>(library.Function(entry)))
            return function(args...);
        if constexpr (std::is_same_v<Result, QLXError>)
            return library.NotReady();
        else if constexpr (std::is_pointer_v<Result>)
            return nullptr;
        else if constexpr (!std::is_void_v<Result>)
            return kNotReady;
    }
};
} // namespace

const KvEntryPointTable& KvEntry() noexcept
{
    static const KvEntryPointTable table = {
#define KV_SYSTEM_ENTRY(name, result, params, failsBy) &::name,
#define KV_SYSTEM_CLUSTER(name, result, params, failsBy) &Resolved<ClusterEntry::name, result params>::Call,
        KV_SIMULATED_ENTRY_POINTS(KV_SYSTEM_ENTRY) KV_CLUSTER_ENTRY_POINTS(KV_SYSTEM_CLUSTER)
            KV_LOCAL_ENTRY_POINTS(KV_SYSTEM_ENTRY)
#undef KV_SYSTEM_CLUSTER
#undef KV_SYSTEM_ENTRY
    };
    return table;
}
