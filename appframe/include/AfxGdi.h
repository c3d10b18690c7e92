// Owners of the GDI and common-control objects the wizard creates.
#pragma once

#include "AfxWin.h"

#include <commctrl.h>

// A font the wizard creates (bold titles, panel rows).
class CFont
{
public:
    CFont() noexcept = default;
    ~CFont() { DeleteObject(); }
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    bool CreateFontIndirect(const LOGFONTW& font) noexcept;
    void DeleteObject() noexcept;
    HFONT GetSafeHandle() const noexcept { return _font; }

private:
    HFONT _font = nullptr;
};

class CImageList
{
public:
    CImageList() noexcept = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    bool Create(int cx, int cy, UINT flags, int initial, int grow) noexcept;
    // The index of the added icon, -1 on failure.
    int Add(HICON icon) noexcept;
    void DeleteImageList() noexcept;
    HIMAGELIST GetSafeHandle() const noexcept { return _list; }
    int GetImageCount() const noexcept { return _list ? ImageList_GetImageCount(_list) : 0; }

private:
    HIMAGELIST _list = nullptr;
};
