// Names of the code that writes a log line or a trace: the calling function's
// qualified name and its source file's base name, taken from what the
// compiler knows so no call site has to spell them out.
#pragma once

#include <string>

#if defined(_MSC_VER)
#define KV_FUNCTION_SIGNATURE __FUNCTION__
#else
#define KV_FUNCTION_SIGNATURE __PRETTY_FUNCTION__
#endif

namespace SourceSite
{
// "static CStatus CUtil::Foo(int)" -> "CUtil::Foo"; a bare name stays.
std::string QualifiedName(const char* functionSignature);
// "/any/dir/LibService.cpp" -> "LibService".
std::string BaseName(const char* sourcePath);
} // namespace SourceSite
