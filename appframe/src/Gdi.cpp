// CFont and CImageList: see AfxGdi.h.
#include "AfxGdi.h"

bool CFont::CreateFontIndirect(const LOGFONTW& font) noexcept
{
    DeleteObject();
    _font = ::CreateFontIndirectW(&font);
    return _font != nullptr;
}

void CFont::DeleteObject() noexcept
{
    if (_font)
        ::DeleteObject(_font);
    _font = nullptr;
}

bool CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) noexcept
{
    DeleteImageList();
    _list = ImageList_Create(cx, cy, flags, initial, grow);
    return _list != nullptr;
}

int CImageList::Add(HICON icon) noexcept
{
    // -1 for a list or an icon that is not there, as for one that cannot be added.
    return ImageList_AddIcon(_list, icon);
}

void CImageList::DeleteImageList() noexcept
{
    if (_list)
        ImageList_Destroy(_list);
    _list = nullptr;
}
