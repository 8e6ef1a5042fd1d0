// DrawText under the fixed font (advance 8, cell 16, glyph box rows 3..12 of the cell).

#include <gtest/gtest.h>

#include <vector>

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

// The extents of each start of a text, and how many characters fit: 'i' is 3 wide, 'W' 12, the
// rest 8.
TEST(DrawText, TheExtentOfEachStartAndHowManyCharactersFit) {
  TFixedFontMetrics m;
  m.Advances[u'i'] = 3;
  m.Advances[u'W'] = 12;
  FixedFontScope font(m);
  DibCanvas c(4, 4);
  struct Case {
    int maxExtent;
    bool askFit;
    int fit;
    std::vector<int> dx;  // -1: left as it was
  } cases[] = {
      {0, false, -1, {3, 15, 18, 26}},  // without fit every start is measured, whatever the limit
      {18, true, 3, {3, 15, 18, -1}},   // exactly the limit still fits
      {17, true, 2, {3, 15, -1, -1}},
      {2, true, 0, {-1, -1, -1, -1}},
      {100, true, 4, {3, 15, 18, 26}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.maxExtent);
    std::vector<int> dx(4, -1);
    int fit = -1;
    TSize size{};
    ASSERT_TRUE(GetTextExtentExPointW(c.Dc, u"iWia", 4, k.maxExtent, k.askFit ? &fit : nullptr, dx.data(), &size));
    EXPECT_EQ(fit, k.fit);
    EXPECT_EQ(dx, k.dx);
    EXPECT_EQ(size, (TSize{26, 16}));
  }
}

// A cluster fits whole or not at all and its characters share one extent, through its end: "é"
// given as "e" and a combining acute measures as the composed letter (8), an emoji's pair 16.
TEST(DrawText, ClustersFitWholeAndShareTheirExtent) {
  FixedFontScope font;
  DibCanvas c(4, 4);
  const std::vector<int> ends{8, 16, 24, 32, 32, 48, 48};
  for (auto [maxExtent, fit] : {std::pair{31, 3}, {32, 5}, {47, 5}, {48, 7}}) {
    std::vector<int> dx(7, -1);
    int n = -1;
    TSize size{};
    ASSERT_TRUE(GetTextExtentExPointW(c.Dc, u"Cafe\u0301\U0001F600", 7, maxExtent, &n, dx.data(), &size));
    EXPECT_EQ(n, fit) << maxExtent;
    dx.resize(static_cast<size_t>(fit));
    EXPECT_EQ(dx, std::vector<int>(ends.begin(), ends.begin() + fit)) << maxExtent;
    EXPECT_EQ(size.cx, 48);
  }
  // No fit ends inside a surrogate pair or between a letter and its mark, whatever the toolkit's
  // cluster finder says after a Thai letter: "ก่" 16, "1" 24, the emoji 40, "v" 48.
  for (int pass = 0; pass < 2; ++pass)
    for (auto [maxExtent, fit] : {std::pair{15, 0}, {16, 2}, {39, 3}, {40, 5}}) {
      std::vector<int> dx(6, -1);
      int n = -1;
      TSize size{};
      ASSERT_TRUE(GetTextExtentExPointW(c.Dc, u"\u0e01\u0e481\U0001F600v", 6, maxExtent, &n, dx.data(), &size));
      EXPECT_EQ(n, fit) << maxExtent;
      dx.resize(static_cast<size_t>(fit));
      const std::vector<int> ends{16, 16, 24, 40, 40};
      EXPECT_EQ(dx, std::vector<int>(ends.begin(), ends.begin() + fit)) << maxExtent;
    }
  // A leading U+FEFF or U+FFFE is a character like any other, never a byte-order mark.
  const std::pair<StringView, std::vector<int>> marked[] = {{u"\uFFFEe\u0301AB", {8, 16, 16, 24, 32}},
                                                            {u"\uFEFFe\u0301", {8, 16, 16}}};
  for (const auto& [text, ends] : marked) {
    std::vector<int> dx(text.size(), -1);
    TSize size{};
    ASSERT_TRUE(GetTextExtentExPointW(c.Dc, text.data(), static_cast<int>(text.size()), 0, nullptr, dx.data(), &size));
    EXPECT_EQ(dx, ends);
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
