// The image list component: pictures from bitmaps, drawing through a canvas with the list's
// style, overlays, and a descendant's own drawing step.

#include <gtest/gtest.h>

#include "ClassLibFixture.h"
#include "platform/classlib/ImgList.h"

namespace {

using namespace pf;

// A 32-bit bitmap: the left half opaque red, the right half green at alpha 64.
Owned<TBitmap> Picture(int w, int h) {
  Owned<TBitmap> b(TBitmap::New());
  b->SetPixelFormat(TPixelFormat::pf32bit);
  b->SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    Byte* row = b->ScanLine(y);
    for (int x = 0; x < w; ++x) {
      Byte* p = row + x * 4;
      bool left = x < w / 2;
      p[0] = 0;
      p[1] = left ? 0 : 255;
      p[2] = left ? 255 : 0;
      p[3] = left ? 255 : 64;
    }
  }
  return b;
}

COLORREF Pixel(TBitmap* b, int x, int y) {
  const Byte* p = b->ScanLine(y) + x * 4;
  return RGB(p[2], p[1], p[0]);
}

class TCountingList : public TImageList {
  PF_CLASS(TCountingList)
public:
  std::vector<std::pair<Integer, UINT>> Draws;

protected:
  void DoDraw(Integer index, TCanvas* canvas, Integer x, Integer y, UINT style, bool enabled) override {
    Draws.push_back({index, style});
    TImageList::DoDraw(index, canvas, x, y, style, enabled);
  }
};

TEST(ImageListComponent, PicturesDrawWithTheListsStyle) {
  Owned<TCountingList> list(TCountingList::New(nullptr));
  list->SetWidth(4);
  list->SetHeight(4);
  int changes = 0;
  list->OnChange = [&](TObject*) { ++changes; };
  Owned<TBitmap> strip = Picture(8, 4);  // two pictures: red, then green at 64
  EXPECT_EQ(list->Add(strip.get(), nullptr), 0);
  EXPECT_EQ(list->GetCount(), 2);
  EXPECT_EQ(changes, 1);

  Owned<TBitmap> target(TBitmap::New());
  target->SetPixelFormat(TPixelFormat::pf32bit);
  target->SetSize(8, 4);
  target->GetCanvas()->GetBrush()->SetColor(clWhite);
  target->GetCanvas()->FillRect(TRect{0, 0, 8, 4});
  list->DrawingStyle = TDrawingStyle::dsTransparent;
  list->Draw(target->GetCanvas(), 0, 0, 0);
  list->Draw(target->GetCanvas(), 4, 0, 1);
  EXPECT_EQ(Pixel(target.get(), 1, 1), RGB(255, 0, 0));  // the blend itself is the image list's
  ASSERT_EQ(list->Draws.size(), 2u);
  EXPECT_EQ(list->Draws[1], (std::pair<Integer, UINT>{1, ILD_TRANSPARENT}));

  // Picture 1 as the first overlay; the picture with its alpha comes back as a bitmap.
  EXPECT_TRUE(list->Overlay(1, 0));
  Owned<TBitmap> copy(TBitmap::New());
  EXPECT_TRUE(list->GetBitmap(1, copy.get()));
  EXPECT_EQ(copy->ScanLine(0)[3], 64);
  EXPECT_FALSE(list->GetBitmap(2, copy.get()));
  // A new size empties the list.
  list->SetWidth(8);
  EXPECT_EQ(list->GetCount(), 0);
}

TEST(ImageListComponent, MaskedPicturesLeaveTheirMaskAlone) {
  Owned<TImageList> list(TImageList::New(nullptr));
  list->SetWidth(2);
  list->SetHeight(1);
  Owned<TBitmap> b(TBitmap::New());
  b->SetPixelFormat(TPixelFormat::pf24bit);
  b->SetSize(2, 1);
  b->GetCanvas()->SetPixel(0, 0, clFuchsia);
  b->GetCanvas()->SetPixel(1, 0, clNavy);
  EXPECT_EQ(list->AddMasked(b.get(), clFuchsia), 0);
  Owned<TBitmap> target(TBitmap::New());
  target->SetPixelFormat(TPixelFormat::pf32bit);
  target->SetSize(2, 1);
  target->GetCanvas()->GetBrush()->SetColor(clYellow);
  target->GetCanvas()->FillRect(TRect{0, 0, 2, 1});
  list->Draw(target->GetCanvas(), 0, 0, 0);  // normal style, no background colour: transparent
  EXPECT_EQ(Pixel(target.get(), 0, 0), RGB(255, 255, 0));
  EXPECT_EQ(Pixel(target.get(), 1, 0), RGB(0, 0, 128));
  list->SetBkColor(clBlack);
  list->Draw(target->GetCanvas(), 0, 0, 0);
  EXPECT_EQ(Pixel(target.get(), 0, 0), RGB(0, 0, 0));
}

}  // namespace
