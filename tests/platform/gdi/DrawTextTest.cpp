// DrawText under the fixed font (advance 8, cell 16, glyph box rows 3..12 of the cell).

#include <gtest/gtest.h>

#include "platform/gdi/GdiTestUtil.h"

namespace {

using namespace gditest;

struct CalcCase {
  const char16_t* text;
  TRect rect;
  UINT flags;
  TRect expected;
  int height;
};

TEST(DrawText, CalculatedRectangles) {
  FixedFontScope font;
  DibCanvas c(4, 4);
  const CalcCase cases[] = {
      // Words wrap at the space that still fits; "aa bb" is exactly 40.
      {u"aa bb cc", {0, 0, 40, 0}, DT_WORDBREAK | DT_CALCRECT, {0, 0, 40, 32}, 32},
      // A word wider than the line stays whole and widens the rectangle...
      {u"abcdefgh", {0, 0, 40, 0}, DT_WORDBREAK | DT_CALCRECT, {0, 0, 64, 16}, 16},
      // ...unless edit-control breaking is asked for.
      {u"abcdefgh", {0, 0, 40, 0}, DT_WORDBREAK | DT_EDITCONTROL | DT_CALCRECT, {0, 0, 40, 32}, 32},
      // Line breaks always end a line without word breaking too.
      {u"ab\r\nc", {5, 5, 100, 0}, DT_CALCRECT, {5, 5, 21, 37}, 32},
      // End ellipsis: "ab..." is 40.
      {u"abcdefgh", {0, 0, 40, 0}, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT, {0, 0, 40, 16}, 16},
      // Path ellipsis keeps the name after the last separator: "...\file" is 64, "c...\file" 72.
      {u"c:\\dir\\file", {0, 0, 64, 0}, DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_CALCRECT, {0, 0, 64, 16}, 16},
      {u"c:\\dir\\file", {0, 0, 72, 0}, DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_CALCRECT, {0, 0, 72, 16}, 16},
      // The mnemonic prefix takes no room; with DT_NOPREFIX the ampersand is text.
      {u"&ab", {0, 0, 100, 0}, DT_SINGLELINE | DT_CALCRECT, {0, 0, 16, 16}, 16},
      {u"&ab", {0, 0, 100, 0}, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT, {0, 0, 24, 16}, 16},
      // Empty text: no width, one line high.
      {u"", {3, 4, 100, 100}, DT_SINGLELINE | DT_CALCRECT, {3, 4, 3, 20}, 16},
  };
  for (const auto& k : cases) {
    TRect r = k.rect;
    int h = DrawTextW(c.Dc, k.text, -1, &r, k.flags);
    EXPECT_EQ(r, k.expected) << std::string(k.text, k.text + std::char_traits<char16_t>::length(k.text)).size();
    EXPECT_EQ(h, k.height);
  }
}

// Where the first glyph box of a drawn line starts.
TPoint FirstGlyph(const DibCanvas& c) {
  for (int y = 0; y < c.H; ++y)
    for (int x = 0; x < c.W; ++x)
      if (c.Rgb(x, y) == 0) return TPoint{x, y};
  return TPoint{-1, -1};
}

TEST(DrawText, AlignmentPlacesTheLine) {
  FixedFontScope font;
  struct Case {
    UINT flags;
    TPoint glyph;
    int answer;
  } cases[] = {
      {DT_SINGLELINE, {1, 3}, 16},
      {DT_SINGLELINE | DT_VCENTER, {1, 5}, 18},             // top = (21 - 16) div 2 = 2
      {DT_SINGLELINE | DT_BOTTOM, {1, 8}, 21},              // top = 21 - 16 = 5
      {DT_SINGLELINE | DT_CENTER, {13, 3}, 16},             // left = (40 - 16) div 2 = 12
      {DT_SINGLELINE | DT_RIGHT, {25, 3}, 16},              // left = 40 - 16 = 24
  };
  for (const auto& k : cases) {
    DibCanvas c(40, 21);
    c.Clear(0xFFFFFF);
    SetBkMode(c.Dc, TRANSPARENT);
    TRect r{0, 0, 40, 21};
    EXPECT_EQ(DrawTextW(c.Dc, u"ab", 2, &r, k.flags), k.answer);
    EXPECT_EQ(FirstGlyph(c), k.glyph) << k.flags;
  }
}

// Drawn through ExtTextOut with ETO_CLIPPED unless DT_NOCLIP.
TEST(DrawText, ClipsToTheRectangleUnlessNoClip) {
  FixedFontScope font;
  for (UINT noclip : {0u, DT_NOCLIP}) {
    DibCanvas c(40, 16);
    c.Clear(0xFFFFFF);
    SetBkMode(c.Dc, TRANSPARENT);
    TRect r{0, 0, 12, 16};
    DrawTextW(c.Dc, u"ab", 2, &r, DT_SINGLELINE | noclip);
    EXPECT_EQ(c.Row(5, 0), noclip ? ".######..######........................." : ".######..###............................");
  }
}

}  // namespace
