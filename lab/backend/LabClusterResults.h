// The results the lab's engine hands out, as the library's memory: each lives
// until the QLXFree* of its kind is called with it, and is counted until then.
// Frees accept null and null the caller's pointer; a pointer that is not a
// live result of that kind is left alone, so a wrong free shows as a leak
// instead of a crash.
#pragma once

#include "qlxapi.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace KvLab
{
// The value's key (nullopt: none) and its text.
using ClusterAttrValue = std::pair<std::optional<std::string>, std::string>;
using ClusterStateEntry = std::pair<std::string, uint32_t>;

// Each throws std::bad_alloc when memory runs out.
QLXCntlInfo* NewCntlInfo();
QLXNames* NewNames(std::vector<std::string> names);
QLXAttr* NewAttr(std::string name, std::vector<ClusterAttrValue> values);
char* NewText(std::string text);
QLXStates* NewStates(std::vector<ClusterStateEntry> entries);

// True for a control information or attribute that is live.
bool IsLiveCntlInfo(const QLXCntlInfo* cntlInfo) noexcept;
bool IsLiveAttr(const QLXAttr* attribute) noexcept;

void FreeCntlInfo(QLXCntlInfo** cntlInfo) noexcept;
void FreeNames(QLXNames** names) noexcept;
void FreeAttr(QLXAttr** attribute) noexcept;
void FreeText(char** text) noexcept;
void FreeStates(QLXStates** states) noexcept;
} // namespace KvLab
