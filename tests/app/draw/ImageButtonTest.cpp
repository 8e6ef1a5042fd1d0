// The photo panel's picture button (which picture each state shows, where, and when it repaints)
// and the image list that greys its disabled pictures.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "app/uImageButton.h"
#include "app/uImageListEx.h"

namespace {

using namespace app;

struct Bgra { int b, g, r, a; };

// A 32-bit strip of square pictures of `side` pixels, one colour each.
Owned<TBitmap> Strip(Integer side, const std::vector<Bgra>& colours) {
  Owned<TBitmap> b(TBitmap::New());
  b->SetPixelFormat(TPixelFormat::pf32bit);
  b->SetSize(side * static_cast<Integer>(colours.size()), side);
  for (Integer y = 0; y < side; ++y)
    for (Integer x = 0; x < b->GetWidth(); ++x) {
      const Bgra& c = colours[static_cast<size_t>(x / side)];
      Byte* p = b->ScanLine(y) + x * 4;
      p[0] = static_cast<Byte>(c.b), p[1] = static_cast<Byte>(c.g), p[2] = static_cast<Byte>(c.r);
      p[3] = static_cast<Byte>(c.a);
    }
  return b;
}

Owned<TBitmap> Canvas(Integer w, Integer h, TColor background) {
  Owned<TBitmap> b(TBitmap::New());
  b->SetPixelFormat(TPixelFormat::pf32bit);
  b->SetSize(w, h);
  b->GetCanvas()->GetBrush()->SetColor(background);
  b->GetCanvas()->FillRect(TRect{0, 0, w, h});
  return b;
}

Bgra At(TBitmap& b, Integer x, Integer y) {
  const Byte* p = b.ScanLine(y) + x * 4;
  return {p[0], p[1], p[2], p[3]};
}

bool Near(const Bgra& got, const Bgra& want) {
  return std::abs(got.b - want.b) <= 1 && std::abs(got.g - want.g) <= 1 && std::abs(got.r - want.r) <= 1;
}

class TProbeButton : public TImageButton {
  PF_CLASS(TProbeButton)
public:
  int Invalidations = 0;
  void Invalidate() override {
    ++Invalidations;
    TImageButton::Invalidate();
  }
  void Press() { MouseDown(TMouseButton::mbRight, {}, 1, 1); }
  void Release() { MouseUp(TMouseButton::mbRight, {}, 1, 1); }
};

TEST(ImageListEx, DisabledPicturesAreGreyAndTranslucent) {
  // Pictures of 2 × 1: opaque white, red, green or blue, then a see-through pixel. (A picture
  // whose alpha is 0 everywhere counts as one without alpha, so each has an opaque pixel.)
  Owned<TImageListEx> list(TImageListEx::New(nullptr));
  list->SetSize(2, 1);
  Owned<TBitmap> strip = Strip(1, {{255, 255, 255, 255}, {0, 0, 0, 0}, {0, 0, 255, 255}, {0, 0, 0, 0},
                                   {0, 255, 0, 255}, {0, 0, 0, 0}, {255, 0, 0, 255}, {0, 0, 0, 0}});
  ASSERT_EQ(list->Add(strip.get(), nullptr), 0);
  ASSERT_EQ(list->GetCount(), 4);
  // Grey values 255, 76, 150 and 28, at 200/255 over black, and over white plus 55.
  struct Case { Integer index; int grey; };
  const Case cases[] = {{0, 255}, {1, 76}, {2, 150}, {3, 28}};
  for (TColor background : {clBlack, clWhite}) {
    Owned<TBitmap> target = Canvas(8, 1, background);
    for (const Case& c : cases) list->Draw(target->GetCanvas(), c.index * 2, 0, c.index, false);
    const int under = background == clWhite ? 55 : 0;
    const int bg = background == clWhite ? 255 : 0;
    for (const Case& c : cases) {
      const int v = (c.grey * 200 + 127) / 255 + under;
      EXPECT_TRUE(Near(At(*target, c.index * 2, 0), {v, v, v, 0})) << "picture " << c.index << " on " << bg;
      EXPECT_TRUE(Near(At(*target, c.index * 2 + 1, 0), {bg, bg, bg, 0})) << "see-through " << c.index << " on " << bg;
    }
  }
  // Enabled pictures keep their colour; the scratch picture follows a new list size.
  Owned<TBitmap> target = Canvas(2, 2, clWhite);
  list->Draw(target->GetCanvas(), 0, 0, 1, true);
  EXPECT_TRUE(Near(At(*target, 0, 0), {0, 0, 255, 0}));
  list->SetSize(2, 2);
  Owned<TBitmap> big = Strip(2, {{0, 0, 255, 255}});
  ASSERT_EQ(list->Add(big.get(), nullptr), 0);
  list->Draw(target->GetCanvas(), 0, 0, 0, false);
  EXPECT_TRUE(Near(At(*target, 1, 1), {115, 115, 115, 0}));
}

// Three 4 × 4 pictures in a 10 × 10 button: red, green, blue.
enum class State { Normal, Hot, Pushed, Disabled };
const Bgra kRed{0, 0, 255, 255}, kGreen{0, 255, 0, 255}, kBlue{255, 0, 0, 255}, kYellow{0, 255, 255, 255};

TEST(ImageButton, EachStateShowsItsPictureOrTheNormalOne) {
  struct Case {
    const char* what;
    Integer normal, hot, pushed, disabled;
    State state;
    bool drawn;
    Bgra colour;
    bool shifted;  // by the push deltas (2, 1)
  };
  const Case cases[] = {
      {"only normal, normal", 0, -1, -1, -1, State::Normal, true, kRed, false},
      {"only normal, hot", 0, -1, -1, -1, State::Hot, true, kRed, false},
      {"only normal, pushed", 0, -1, -1, -1, State::Pushed, true, kRed, true},
      {"only normal, disabled", 0, -1, -1, -1, State::Disabled, true, kRed, false},
      {"hot picture", 0, 1, -1, -1, State::Hot, true, kGreen, false},
      {"pushed picture", 0, 1, 2, -1, State::Pushed, true, kBlue, true},
      {"disabled wins over hot", 0, 1, 2, 2, State::Disabled, true, kBlue, false},
      {"hot beyond the count", 1, 7, -1, -1, State::Hot, true, kGreen, false},
      {"pushed beyond the count", 1, -1, 3, -1, State::Pushed, true, kGreen, true},
      {"normal beyond the count", 5, -1, -1, -1, State::Normal, false, kYellow, false},
      {"hot and normal beyond the count", 5, 6, -1, -1, State::Hot, false, kYellow, false},
      {"nothing set", -1, -1, -1, -1, State::Pushed, false, kYellow, false},
      // Only -1 means "none": another negative index is the list's to draw, which has no picture for it.
      {"hot of -2", 0, -2, -1, -1, State::Hot, false, kYellow, false},
      {"pushed of -2", 1, -1, -2, -1, State::Pushed, false, kYellow, true},
      {"disabled of -2", 1, -1, -1, -2, State::Disabled, false, kYellow, false},
  };
  Owned<TImageListEx> list(TImageListEx::New(nullptr));
  list->SetSize(4, 4);
  Owned<TBitmap> strip = Strip(4, {kRed, kGreen, kBlue});
  ASSERT_EQ(list->Add(strip.get(), nullptr), 0);
  for (const Case& c : cases) {
    Owned<TProbeButton> button(TProbeButton::New(nullptr));
    button->SetBounds(0, 0, 10, 10);
    button->SetImages(list.get());
    button->SetNormalIndex(c.normal);
    button->SetHotIndex(c.hot);
    button->SetPushedIndex(c.pushed);
    button->SetDisabledIndex(c.disabled);
    button->SetPushDeltaX(2);
    button->SetPushDeltaY(1);
    if (c.state == State::Hot) button->Perform(CM_MOUSEENTER, 0, 0);
    if (c.state == State::Pushed) button->Press();
    if (c.state == State::Disabled) {
      button->Perform(CM_MOUSEENTER, 0, 0);
      button->SetEnabled(false);
    }
    // The button paints no background of its own: the parent's yellow shows round the picture.
    Owned<TBitmap> target = Canvas(10, 10, clYellow);
    button->Perform(WM_PAINT, reinterpret_cast<WPARAM>(target->GetCanvas()->GetHandle()), 0);
    // Centred at (3, 3) to (6, 6), or shifted to (5, 4) to (8, 7).
    const Integer left = c.shifted ? 5 : 3, top = c.shifted ? 4 : 3;
    EXPECT_TRUE(Near(At(*target, left, top), c.colour)) << c.what;
    EXPECT_TRUE(Near(At(*target, left + 3, top + 3), c.colour)) << c.what;
    EXPECT_TRUE(Near(At(*target, left - 1, top - 1), kYellow)) << c.what;
    EXPECT_TRUE(Near(At(*target, left + 4, top + 4), kYellow)) << c.what;
  }
}

TEST(ImageButton, RepaintsOnlyWhenItsLookChanges) {
  Owned<TImageListEx> list(TImageListEx::New(nullptr));
  struct Step { const char* what; std::function<void(TProbeButton&)> act; int invalidations; };
  const Step steps[] = {
      {"enter without a hot picture", [](TProbeButton& b) { b.Perform(CM_MOUSEENTER, 0, 0); }, 0},
      {"leave without a hot picture", [](TProbeButton& b) { b.Perform(CM_MOUSELEAVE, 0, 0); }, 0},
      {"hot picture set", [](TProbeButton& b) { b.SetHotIndex(1); }, 0},
      {"enter with a hot picture", [](TProbeButton& b) { b.Perform(CM_MOUSEENTER, 0, 0); }, 1},
      {"enter again", [](TProbeButton& b) { b.Perform(CM_MOUSEENTER, 0, 0); }, 0},
      {"leave with a hot picture", [](TProbeButton& b) { b.Perform(CM_MOUSELEAVE, 0, 0); }, 1},
      {"press", [](TProbeButton& b) { b.Press(); }, 1},
      {"press again", [](TProbeButton& b) { b.Press(); }, 0},
      {"release", [](TProbeButton& b) { b.Release(); }, 1},
      {"disabled picture while enabled", [](TProbeButton& b) { b.SetDisabledIndex(2); }, 0},
      {"normal picture", [](TProbeButton& b) { b.SetNormalIndex(0); }, 1},
      {"same normal picture", [](TProbeButton& b) { b.SetNormalIndex(0); }, 0},
      {"disabled", [](TProbeButton& b) { b.SetEnabled(false); }, -1},
      {"disabled picture while disabled", [](TProbeButton& b) { b.SetDisabledIndex(1); }, 1},
      {"no pictures", [](TProbeButton& b) { b.SetImages(nullptr); }, 1},
      {"enter without pictures", [](TProbeButton& b) { b.Perform(CM_MOUSEENTER, 0, 0); }, 0},
  };
  Owned<TProbeButton> button(TProbeButton::New(nullptr));
  button->SetImages(list.get());
  int enters = 0, leaves = 0;
  button->OnMouseEnter = [&](TObject*) { ++enters; };
  button->OnMouseLeave = [&](TObject*) { ++leaves; };
  for (const Step& s : steps) {
    button->Invalidations = 0;
    s.act(*button);
    if (s.invalidations >= 0) {
      EXPECT_EQ(button->Invalidations, s.invalidations) << s.what;
    }
  }
  EXPECT_EQ(enters, 4);
  EXPECT_EQ(leaves, 2);
}

// The panel's pictures ship inside the program: five 16 × 16 button pictures with an alpha
// channel (each has see-through and opaque pixels) and the 250 × 70 logo.
TEST(ShippedPictures, LoadIntoThePanelsImageList) {
  Owned<TBitmap> logo(TBitmap::New());
  logo->LoadFromResourceName(u"LOGO");
  EXPECT_EQ(logo->GetWidth(), 250);
  EXPECT_EQ(logo->GetHeight(), 70);
  Owned<TBitmap> strip(TBitmap::New());
  strip->LoadFromResourceName(u"PANELBUTTONS");
  ASSERT_EQ(strip->GetWidth(), 80);
  ASSERT_EQ(strip->GetHeight(), 16);
  Owned<TImageListEx> list(TImageListEx::New(nullptr));
  list->SetSize(16, 16);
  ASSERT_EQ(list->Add(strip.get(), nullptr), 0);
  EXPECT_EQ(list->GetCount(), 5);
  for (Integer i = 0; i < 5; ++i) {
    Owned<TBitmap> picture(TBitmap::New());
    ASSERT_TRUE(list->GetBitmap(i, picture.get()));
    int clear = 0, opaque = 0;
    for (Integer y = 0; y < 16; ++y)
      for (Integer x = 0; x < 16; ++x) {
        const int a = At(*picture, x, y).a;
        clear += a == 0;
        opaque += a == 255;
      }
    EXPECT_GT(clear, 16) << "picture " << i;
    EXPECT_GT(opaque, 16) << "picture " << i;
  }
}

}  // namespace
