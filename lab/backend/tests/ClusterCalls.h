// The cluster library's calls as the lab's tests make them: through the
// entry-point table, each result freed by its owner before they return.
#pragma once

#include "EntryPoints.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

using Strings = std::vector<std::string>;
using Error = std::pair<uint32_t, uint32_t>; // class, number

QLXHANDLE OpenCluster();
Error LastError();
// nullopt when the call fails.
std::optional<Strings> Names(uint32_t kind);
// The attribute's text for a key, or the error number of the call that failed.
std::string AttributeText(uint32_t kind, const char* object, const char* attribute, const char* key);
