// Which picture an image list holds at an index: image lists convert what
// they are given, so an image is compared with the icon put through a list
// of the same kind, pixel by pixel as both draw.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace Pictures
{
using Pixels = std::vector<uint32_t>;

// What paint draws into a canvas of that size, on a fixed background.
Pixels Painted(int width, int height, const std::function<void(HDC)>& paint);

// What image index of list draws, on a fixed background; empty without one.
Pixels Drawn(HIMAGELIST list, int index);
// What icon draws from a list of that size and flags.
Pixels Through(HICON icon, int listSize, UINT flags);
// The width an icon was made at, 0 for no icon.
int Width(HICON icon);
// The same for icon iconId of module, loaded at iconSize.
Pixels Resource(HMODULE module, int iconId, int iconSize, int listSize, UINT flags);
} // namespace Pictures
