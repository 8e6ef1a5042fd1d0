#include <gtest/gtest.h>

#include "app/uPrintGeometry.h"

namespace {

using namespace app;

Owned<TPhotoSize> Size(Integer w, Integer h) {
  Owned<TPhotoSize> s(TPhotoSize::New());
  s->Name = u"10x15";
  s->Width = w;
  s->Height = h;
  s->Prices[order::ptGlossy] = 10;
  return s;
}

TEST(PrintGeometry, CropFrameOfEveryCase) {
  const auto p1800 = Size(1800, 1200);  // S = 1.5
  const auto p1500 = Size(1500, 1000);  // S = 1.5
  const auto p1200 = Size(1200, 1000);  // S = 1.2
  const TPhotoSize &s1800 = *p1800, &s1500 = *p1500, &s1200 = *p1200;
  struct Case { Integer tw, th; const TPhotoSize* size; Integer fw, fh; };
  const Case cases[] = {
      // The print at least as elongated as the picture.
      {200, 150, &s1800, 200, 133},  // wide: spans the width, slides up and down
      {150, 200, &s1800, 133, 200},  // upright: spans the height, slides left and right
      {200, 200, &s1800, 133, 200},  // square counts as upright
      {200, 133, &s1500, 200, 133},  // 200 × 1000 / 1500 = 133.3
      // The picture more elongated than the print.
      {200, 100, &s1200, 120, 100},  // 100 × 1200 / 1000
      // Halves go to the even neighbour: 201 × 1000 / 1200 = 167.5 → 168, 162.5 → 162.
      {1000, 201, &s1200, 241, 201},  // 201 × 1.2 = 241.2
      {201, 201, &s1200, 168, 201},   // square: 201 × 1000 / 1200 = 167.5 → 168
      {195, 195, &s1200, 162, 195},   // 162.5 → 162
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CalcFrameWidth(c.tw, c.th, *c.size), c.fw) << c.tw << "x" << c.th;
    EXPECT_EQ(CalcFrameHeight(c.tw, c.th, *c.size), c.fh) << c.tw << "x" << c.th;
  }
}

TEST(PrintGeometry, BorderedSizeBoxAndFit) {
  const auto p1800 = Size(1800, 1200);
  const TPhotoSize& s1800 = *p1800;
  struct Case { Integer aw, ah, pw, ph; TPoint box, fit; };
  const Case cases[] = {
      // The panel's thumbnail: box 200 × 133, fit 177 × 133 (centred 11 pixels from the left).
      {200, 200, 200, 150, {200, 133}, {177, 133}},
      // The print's own size as the area: the photo fills 1600 × 1200.
      {1800, 1200, 4000, 3000, {1800, 1200}, {1600, 1200}},
      // Upright pictures get an upright box.
      {1200, 1800, 3000, 4000, {1200, 1800}, {1200, 1600}},
      // A wide area too low for the width: the box is bounded by the height.
      {1000, 300, 4000, 3000, {450, 300}, {400, 300}},
      // An upright picture in a narrow area: bounded by the width.
      {300, 1000, 100, 200, {300, 450}, {225, 450}},
      // A square picture counts as upright; enlarged to fill the box's width.
      {200, 200, 50, 50, {133, 200}, {133, 133}},
  };
  for (const Case& c : cases) {
    TPoint box, fit;
    CalcBorderedSize(c.aw, c.ah, c.pw, c.ph, s1800, box, fit);
    EXPECT_EQ(box, c.box) << c.aw << "x" << c.ah << " " << c.pw << "x" << c.ph;
    EXPECT_EQ(fit, c.fit) << c.aw << "x" << c.ah << " " << c.pw << "x" << c.ph;
  }
}

}  // namespace
