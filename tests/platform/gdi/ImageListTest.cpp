// Image lists: alpha pictures, masks, overlays, blending and the DC's origin and clip. Expected
// pixels are worked out by hand from the blend rule (source over destination, straight alpha in).

#include <gtest/gtest.h>

#include <functional>

#include "platform/gdi/GdiTestUtil.h"
#include "platform/gdi/ImageList.h"

namespace {

using namespace gditest;

// A 32-bit picture strip: `w` x `h`, every pixel B, G, R, A from `at`.
struct Strip {
  HBITMAP Bmp{nullptr};
  Strip(int w, int h, const std::function<RGBQUAD(int, int)>& at) {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    Bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* p = static_cast<RGBQUAD*>(bits);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p[y * w + x] = at(x, y);
  }
  ~Strip() { DeleteObject(Bmp); }
};

RGBQUAD Px(Byte r, Byte g, Byte b, Byte a) { return RGBQUAD{b, g, r, a}; }

struct ImageLists : ::testing::Test {
  HIMAGELIST List{ImageList_Create(4, 4, ILC_COLOR32 | ILC_MASK, 0, 4)};
  ~ImageLists() override { ImageList_Destroy(List); }
};

TEST_F(ImageLists, AlphaPicturesBlendAndCarryTheirAlpha) {
  // Left half opaque blue, right half red at alpha 128; the strip holds two pictures.
  Strip s(8, 4, [](int x, int) { return x < 2 ? Px(0, 0, 255, 255) : x < 4 ? Px(255, 0, 0, 128) : Px(0, 255, 0, 255); });
  EXPECT_EQ(ImageList_Add(List, s.Bmp, nullptr), 0);
  EXPECT_EQ(ImageList_GetImageCount(List), 2);
  DibCanvas white(6, 6);
  white.Fill(255, 255, 255, 255);
  EXPECT_TRUE(ImageList_DrawEx(List, 0, white.Dc, 1, 1, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT));
  EXPECT_EQ(white.Rgb(1, 1), RGB(0, 0, 255));
  // 128 of red over white: 128 + 255 * 127 / 255 = 255 red, 127 green and blue.
  EXPECT_EQ(white.Rgb(3, 1), RGB(255, 127, 127));
  EXPECT_EQ(white.Rgb(0, 0), RGB(255, 255, 255));
  EXPECT_EQ(white.Rgb(5, 5), RGB(255, 255, 255));
  // Onto a cleared 32-bit bitmap the picture leaves its premultiplied colour and its alpha.
  DibCanvas clear(4, 4);
  clear.Fill(0, 0, 0, 0);
  ImageList_Draw(List, 0, clear.Dc, 0, 0, ILD_TRANSPARENT);
  EXPECT_EQ(clear.Rgb(2, 0), RGB(128, 0, 0));
  EXPECT_EQ(clear.Alpha(2, 0), 128);
  EXPECT_EQ(clear.Alpha(0, 0), 255);
  EXPECT_EQ(ImageList_GetImageCount(nullptr), 0);
  EXPECT_FALSE(ImageList_Draw(List, 2, white.Dc, 0, 0, ILD_NORMAL));
}

TEST_F(ImageLists, MasksTransparentOrBackgroundFilled) {
  const COLORREF magenta = RGB(255, 0, 255);
  // A green square with a magenta centre, no alpha.
  Strip s(4, 4, [](int x, int y) {
    bool centre = x >= 1 && x <= 2 && y >= 1 && y <= 2;
    return centre ? Px(255, 0, 255, 0) : Px(0, 128, 0, 0);
  });
  ASSERT_EQ(ImageList_AddMasked(List, s.Bmp, magenta), 0);
  struct Case {
    UINT style;
    COLORREF bk;
    COLORREF listBk;
    COLORREF centre;
  } cases[] = {
      {ILD_TRANSPARENT, RGB(9, 9, 9), RGB(9, 9, 9), RGB(200, 200, 200)},  // transparent wins
      {ILD_NORMAL, CLR_NONE, RGB(9, 9, 9), RGB(200, 200, 200)},           // no background colour
      {ILD_NORMAL, CLR_DEFAULT, RGB(9, 9, 9), RGB(9, 9, 9)},              // the list's
      {ILD_NORMAL, CLR_DEFAULT, CLR_NONE, RGB(200, 200, 200)},
      {ILD_NORMAL, RGB(1, 2, 3), CLR_NONE, RGB(1, 2, 3)},
  };
  for (const Case& c : cases) {
    ImageList_SetBkColor(List, c.listBk);
    DibCanvas d(4, 4);
    d.Clear(RGB(200, 200, 200), 255);
    ImageList_DrawEx(List, 0, d.Dc, 0, 0, 0, 0, c.bk, CLR_NONE, c.style);
    EXPECT_EQ(d.Rgb(1, 1), c.centre) << c.style << " " << c.bk;
    EXPECT_EQ(d.Rgb(0, 0), RGB(0, 128, 0));
  }
}

TEST_F(ImageLists, OverlaysBlendsOriginAndClip) {
  // Picture 0 blue; picture 1 a single opaque white pixel at (3, 3), transparent elsewhere.
  Strip s(8, 4, [](int x, int y) {
    if (x < 4) return Px(0, 0, 255, 255);
    return x == 7 && y == 3 ? Px(255, 255, 255, 255) : Px(0, 0, 0, 0);
  });
  ImageList_Add(List, s.Bmp, nullptr);
  EXPECT_FALSE(ImageList_SetOverlayImage(List, 1, 16));
  EXPECT_TRUE(ImageList_SetOverlayImage(List, 1, 1));
  DibCanvas d(10, 10);
  d.Clear(RGB(0, 0, 0), 255);
  // The DC's origin moves the picture; the clip keeps its first column out.
  SetViewportOrgEx(d.Dc, 2, 2, nullptr);
  IntersectClipRect(d.Dc, 1, 0, 10, 10);
  ImageList_Draw(List, 0, d.Dc, 0, 0, ILD_TRANSPARENT | INDEXTOOVERLAYMASK(1));
  EXPECT_EQ(d.Rgb(2, 2), RGB(0, 0, 0));
  EXPECT_EQ(d.Rgb(3, 2), RGB(0, 0, 255));
  EXPECT_EQ(d.Rgb(5, 5), RGB(255, 255, 255));
  EXPECT_EQ(d.Rgb(6, 6), RGB(0, 0, 0));
  // Half blended with a colour, and half with what is underneath.
  DibCanvas b(4, 4);
  b.Clear(RGB(0, 0, 0), 255);
  ImageList_DrawEx(List, 0, b.Dc, 0, 0, 2, 0, CLR_NONE, RGB(255, 0, 0), ILD_TRANSPARENT | ILD_BLEND50);
  EXPECT_EQ(b.Rgb(0, 0), RGB(127, 0, 127));
  EXPECT_EQ(b.Rgb(2, 0), RGB(0, 0, 0));  // dx of 2 draws two columns
  ImageList_DrawEx(List, 0, b.Dc, 2, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT | ILD_BLEND50);
  EXPECT_EQ(b.Rgb(2, 0), RGB(0, 0, 127));
  // Removing a picture before an overlay keeps the overlay on its picture.
  EXPECT_TRUE(ImageList_Remove(List, 0));
  EXPECT_EQ(ImageList_GetImageCount(List), 1);
  EXPECT_TRUE(ImageList_Remove(List, -1));
  EXPECT_EQ(ImageList_GetImageCount(List), 0);
}

}  // namespace
