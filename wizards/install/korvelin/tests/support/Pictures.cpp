// Pictures: see Pictures.h.
#include "Pictures.h"

#include "UniqueResource.h"

namespace
{
using unique_hdc = CUniqueResource<CHandleTraits<HDC, &::DeleteDC>>;
using unique_himagelist = CUniqueResource<CHandleTraits<HIMAGELIST, &ImageList_Destroy>>;
} // namespace

namespace Pictures
{
Pixels Painted(int width, int height, const std::function<void(HDC)>& paint)
{
    // 32 bits a pixel, top-down.
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    const unique_hbitmap canvas(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const unique_hdc dc(::CreateCompatibleDC(nullptr));
    if (!canvas || !dc)
        return {};
    const HGDIOBJ previous = ::SelectObject(dc.get(), canvas.get());
    // A background no picture uses, so a mask shows too.
    const RECT all{0, 0, width, height};
    if (const unique_hbrush magenta{::CreateSolidBrush(RGB(255, 0, 255))})
        ::FillRect(dc.get(), &all, magenta.get());
    paint(dc.get());
    ::GdiFlush();
    ::SelectObject(dc.get(), previous);
    const auto* first = static_cast<const uint32_t*>(bits);
    return Pixels(first, first + static_cast<size_t>(width) * static_cast<size_t>(height));
}

Pixels Drawn(HIMAGELIST list, int index)
{
    int width = 0, height = 0;
    if (!list || index < 0 || index >= ImageList_GetImageCount(list) || !ImageList_GetIconSize(list, &width, &height))
        return {};
    return Painted(width, height, [&](HDC dc) { ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL); });
}

Pixels Through(HICON icon, int listSize, UINT flags)
{
    const unique_himagelist list(ImageList_Create(listSize, listSize, flags, 1, 1));
    return list && icon && ImageList_AddIcon(list.get(), icon) == 0 ? Drawn(list.get(), 0) : Pixels{};
}

Pixels Resource(HMODULE module, int iconId, int iconSize, int listSize, UINT flags)
{
    const unique_hicon icon(
        static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(iconId), IMAGE_ICON, iconSize, iconSize, 0)));
    return Through(icon.get(), listSize, flags);
}
int Width(HICON icon)
{
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info))
        return 0;
    const unique_hbitmap color(info.hbmColor), mask(info.hbmMask);
    BITMAP bitmap{};
    return ::GetObjectW(color ? color.get() : mask.get(), sizeof(bitmap), &bitmap) ? bitmap.bmWidth : 0;
}
} // namespace Pictures
