// Functions found at run time come typed and callable, or null.
#include "ProcResolver.h"

#include <gtest/gtest.h>

TEST(ProcResolverTests, GivesACallableFunctionOrNull)
{
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto getCurrentProcessId = KvResolve<DWORD(WINAPI*)()>(kernel, "GetCurrentProcessId");
    ASSERT_NE(nullptr, getCurrentProcessId);
    EXPECT_EQ(::GetCurrentProcessId(), getCurrentProcessId());
    EXPECT_EQ(nullptr, KvResolve<DWORD(WINAPI*)()>(kernel, "NoSuchFunctionAnywhere"));
    EXPECT_EQ(nullptr, KvResolve<DWORD(WINAPI*)()>(nullptr, "GetCurrentProcessId"));
}
