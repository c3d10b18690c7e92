// The owners of fonts and image lists release what they made: when made again and with the owner. Wine
// counts no GDI objects per process, so a released object is one that GetObjectType no longer knows.
#include "AfxGdi.h"

#include <gtest/gtest.h>

#include <optional>

namespace
{
bool Released(HGDIOBJ object) { return ::GetObjectType(object) == 0; }

std::pair<HBITMAP, HBITMAP> BitmapsOf(const CImageList& list)
{
    IMAGEINFO info{};
    EXPECT_TRUE(ImageList_GetImageInfo(list.GetSafeHandle(), 0, &info));
    return {info.hbmImage, info.hbmMask};
}
} // namespace

TEST(GdiTests, FontIsReleasedWhenMadeAgainAndWithItsOwner)
{
    std::optional<CFont> font(std::in_place);
    ASSERT_TRUE(font->CreateFontIndirect(LOGFONTW{})); // the system's default face and size
    const HFONT first = font->GetSafeHandle();
    ASSERT_TRUE(font->CreateFontIndirect(LOGFONTW{}));
    const HFONT second = font->GetSafeHandle();
    EXPECT_TRUE(Released(first) && !Released(second));
    font.reset(); // the owner goes
    EXPECT_TRUE(Released(second));
}

TEST(GdiTests, ImageListCountsItsIconsAndIsReleasedWhenMadeAgainAndWithItsOwner)
{
    const HICON icon = ::LoadIconW(nullptr, IDI_APPLICATION); // shared: the list copies it
    std::optional<CImageList> list(std::in_place);
    EXPECT_EQ(-1, list->Add(icon)) << "no list made yet";
    ASSERT_TRUE(list->Create(16, 16, ILC_COLOR4 | ILC_MASK, 0, 4));
    EXPECT_EQ(0, list->Add(icon));
    EXPECT_EQ(-1, list->Add(nullptr));
    EXPECT_EQ(1, list->GetImageCount());
    const auto first = BitmapsOf(*list);
    ASSERT_TRUE(list->Create(16, 16, ILC_COLOR4 | ILC_MASK, 0, 4));
    EXPECT_TRUE(Released(first.first) && Released(first.second));
    EXPECT_EQ(0, list->Add(icon)) << "the list made again is empty";
    const auto second = BitmapsOf(*list);
    list.reset(); // the owner goes
    EXPECT_TRUE(Released(second.first) && Released(second.second));
}
