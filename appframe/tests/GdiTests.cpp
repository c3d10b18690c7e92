// The owners of fonts and image lists release what they made: when made
// again and with the owner. Wine counts no GDI objects per process
// (GetGuiResources is not implemented), so a released object is one that
// GetObjectType no longer knows.
#include "AfxGdi.h"

#include <gtest/gtest.h>

namespace
{
bool Released(HGDIOBJ object)
{
    return ::GetObjectType(object) == 0;
}

// The bitmaps that hold an image list's pictures.
std::pair<HBITMAP, HBITMAP> BitmapsOf(const CImageList& list)
{
    IMAGEINFO info{};
    EXPECT_TRUE(ImageList_GetImageInfo(list.GetSafeHandle(), 0, &info));
    return {info.hbmImage, info.hbmMask};
}
} // namespace

TEST(GdiTests, FontIsReleasedWhenMadeAgainAndWithItsOwner)
{
    LOGFONTW bold{};
    bold.lfHeight = -16;
    bold.lfWeight = FW_BOLD;
    HFONT second = nullptr;
    {
        CFont font;
        ASSERT_TRUE(font.CreateFontIndirect(bold));
        const HFONT first = font.GetSafeHandle();
        ASSERT_TRUE(font.CreateFontIndirect(bold));
        second = font.GetSafeHandle();
        EXPECT_TRUE(Released(first));
        EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), ::GetObjectType(second));
    }
    EXPECT_TRUE(Released(second));
}

TEST(GdiTests, ImageListCountsItsIconsAndIsReleasedWhenMadeAgainAndWithItsOwner)
{
    const HICON icon = ::LoadIconW(nullptr, IDI_APPLICATION); // shared: the list copies it
    CImageList unmade;
    EXPECT_EQ(-1, unmade.Add(icon));
    EXPECT_EQ(0, unmade.GetImageCount());

    std::pair<HBITMAP, HBITMAP> second;
    {
        CImageList list;
        ASSERT_TRUE(list.Create(16, 16, ILC_COLOR4 | ILC_MASK, 0, 4));
        EXPECT_EQ(0, list.Add(icon));
        EXPECT_EQ(1, list.Add(icon));
        EXPECT_EQ(-1, list.Add(nullptr));
        EXPECT_EQ(2, list.GetImageCount());
        const auto first = BitmapsOf(list);

        ASSERT_TRUE(list.Create(16, 16, ILC_COLOR4 | ILC_MASK, 0, 4));
        EXPECT_TRUE(Released(first.first) && Released(first.second));
        EXPECT_EQ(0, list.GetImageCount());
        EXPECT_EQ(0, list.Add(icon));
        second = BitmapsOf(list);
    }
    EXPECT_TRUE(Released(second.first) && Released(second.second));
}
