// Shortening, wrapping and the multi-line text painter under the fixed font.

#include <gtest/gtest.h>

#include "CommonTestUtil.h"
#include "platform/kernel/Version.h"
#include "platform/rtl/Strings.h"

namespace {

using namespace commontest;
using namespace common;

std::vector<String> Lines(const TCommonWideCharArray& buf, int count) {
  std::vector<String> out;
  size_t at = 0;
  for (int i = 0; i < count; ++i) {
    String s;
    while (at < buf.size() && buf[at]) s += buf[at++];
    ++at;
    out.push_back(s);
  }
  return out;
}

struct TextFixture : ::testing::Test {
  FixedFont font;
  Dib dib{100, 60};
};

TEST_F(TextFixture, ShortenTextW) {
  struct Case {
    const char16_t* text;
    int width;
    const char16_t* expected;
  } cases[] = {
      {u"", 10, u""},
      {u"abcdef", 48, u"abcdef"},    // fits exactly
      {u"abcdef", 47, u"ab..."},     // prefix <= 23: two characters
      {u"abcdef", 32, u"a..."},
      {u"abcdef", 31, u"..."},       // no character fits beside "..."
      {u"abcdef", 20, u"..."},       // narrower than "..." itself
  };
  for (const auto& k : cases) EXPECT_EQ(ShortenTextW(dib.Dc, k.text, k.width), k.expected) << k.width;
}

TEST_F(TextFixture, WrapTextW) {
  struct Case {
    const char16_t* text;
    int width, maxLines;
    std::vector<String> lines;
  } cases[] = {
      // Words stay whole where a space exists on the line; "aa bb" is exactly 40.
      {u"aa bb cc", 40, -1, {u"aa bb", u"cc"}},
      // A space just past the width still ends the line before it.
      {u"aaaaa bb", 40, -1, {u"aaaaa", u"bb"}},
      // One word wider than the line breaks before the character that overflows...
      {u"abcdefgh", 40, -1, {u"abcde", u"fgh"}},
      // ...but the last permitted line takes all the rest.
      {u"abcdefgh", 40, 1, {u"abcdefgh"}},
      {u"abcdefgh", 40, 2, {u"abcde", u"fgh"}},
      // Line breaks end lines; CR, LF and spaces after a line are skipped.
      {u"ab\r\ncd", 100, -1, {u"ab", u"cd"}},
      {u"ab\n\n  cd", 100, -1, {u"ab", u"cd"}},
      // A break at the start makes an empty first line.
      {u"\r\nab", 100, -1, {u"", u"ab"}},
      // Narrower than the widest character (8): the whole text is one line.
      {u"aa bb\r\ncc", 7, -1, {u"aa bb\r\ncc"}},
  };
  for (const auto& k : cases) {
    TCommonWideCharArray buf;
    int n = WrapTextW(dib.Dc, k.text, k.width, k.maxLines, buf);
    SCOPED_TRACE(pf::StringToUtf8(k.text));
    EXPECT_EQ(n, static_cast<int>(k.lines.size()));
    EXPECT_EQ(Lines(buf, n), k.lines);
    ASSERT_FALSE(buf.empty());
    EXPECT_EQ(buf.back(), 0);
  }
  TCommonWideCharArray buf;
  EXPECT_EQ(WrapTextW(dib.Dc, u"abc", 0, -1, buf), 0);
  EXPECT_EQ(buf, (TCommonWideCharArray{0, 0}));
  EXPECT_EQ(WrapTextW(dib.Dc, u"", 7, -1, buf), 0);
}

TEST_F(TextFixture, WrapTextWGrowsItsBufferForManyShortLines) {
  // 300 lines of one character: 601 characters of result from a text of 300.
  String text(300, u'x');
  TCommonWideCharArray buf;
  ASSERT_EQ(WrapTextW(dib.Dc, text, 8, -1, buf), 300);
  EXPECT_EQ(buf.size(), 601u);
  EXPECT_EQ(Lines(buf, 300).back(), u"x");
}

TEST(TextEngine, ACharacterWiderThanTheLineStillMovesOn) {
  // 'W' is 12 wide while the widest character claimed is 8: it gets a line of its own.
  TFixedFontMetrics m;
  m.Advances[u'W'] = 12;
  FixedFont font(m);
  Dib dib(10, 10);
  TCommonWideCharArray buf;
  ASSERT_EQ(WrapTextW(dib.Dc, u"aWb", 8, -1, buf), 3);
  EXPECT_EQ(Lines(buf, 3), (std::vector<String>{u"a", u"W", u"b"}));
}

// Off the wide platform only the measuring goes through the 8-bit code page: the caption is drawn
// as it is, so "ā" (16 wide here) is no question mark (8).
TEST(TextEngine, OffTheWidePlatformTheCaptionIsStillDrawnWide) {
  TFixedFontMetrics m;
  m.Advances[u'ā'] = 16;
  FixedFont font(m);
  Dib dib(40, 16);
  dib.Fill(255, 255, 255, 0);
  SetBkMode(dib.Dc, TRANSPARENT);
  SetTextColor(dib.Dc, 0);
  SetPlatformVersion({VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222});
  TRect r{0, 0, 40, 16};
  DrawTextWEx(dib.Dc, u"ā", r, -1, dtwSingleLine);
  ResetPlatformVersion();
  EXPECT_EQ(dib.Rgb(10, 5), 0u);
}

// Captions are cut only between clusters: "é" given as "e" and a combining acute measures as the
// composed letter (8), an emoji's surrogate pair 16; "..." is 24.
TEST_F(TextFixture, WrappingAndShorteningCutBetweenClusters) {
  const String cafe = u"Cafe\u0301 ete\u0301", grin = u"\U0001F600", grins = grin + grin;
  EXPECT_EQ(ShortenTextW(dib.Dc, cafe, 64), cafe);  // "Café été" is 64
  EXPECT_EQ(ShortenTextW(dib.Dc, cafe, 56), u"Cafe\u0301...");
  EXPECT_EQ(ShortenTextW(dib.Dc, cafe, 55), u"Caf...");
  EXPECT_EQ(ShortenTextW(dib.Dc, grins + grins, 48), grin + u"...");
  TCommonWideCharArray buf;
  EXPECT_EQ(Lines(buf, WrapTextW(dib.Dc, cafe, 32, -1, buf)), (std::vector<String>{u"Cafe\u0301", u"ete\u0301"}));
  EXPECT_EQ(Lines(buf, WrapTextW(dib.Dc, grins + grin, 40, -1, buf)), (std::vector<String>{grins, grin}));
  // An emoji wider than the line gets a line of its own, whole.
  EXPECT_EQ(Lines(buf, WrapTextW(dib.Dc, u"a" + grin + u"b", 8, -1, buf)), (std::vector<String>{u"a", grin, u"b"}));
  // Nor is a pair cut after a Thai letter and its mark ("ก่" is 16), where the toolkit's cluster
  // finder would cut it.
  const String thai = u"\u0e01\u0e481";
  EXPECT_EQ(ShortenTextW(dib.Dc, thai + grin + u"vvvv", 56), thai + u"...");
  EXPECT_EQ(Lines(buf, WrapTextW(dib.Dc, thai + grin + u"v", 32, -1, buf)), (std::vector<String>{thai, grin + u"v"}));
  // Off the wide platform each unit is measured as its code page's character (a pair is "?"): a
  // line still ends before a pair, never between its halves.
  SetPlatformVersion({VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2222});
  EXPECT_EQ(Lines(buf, WrapTextW(dib.Dc, u"abc" + grin, 32, -1, buf)), (std::vector<String>{u"abc", grin}));
  EXPECT_EQ(Lines(buf, WrapTextW(dib.Dc, grin + u"a", 8, -1, buf)), (std::vector<String>{grin, u"a"}));
  ResetPlatformVersion();
}

// Wrapping and shortening go by each character's own advance ('i' 3, 'W' 12, the rest 8; "..."
// is 24), whatever the widest character the font claims.
TEST(TextEngine, WrappingAndShorteningGoByEachCharactersAdvance) {
  TFixedFontMetrics m;
  m.Advances[u'i'] = 3;
  m.Advances[u'W'] = 12;
  FixedFont font(m);
  Dib dib(10, 10);
  struct WrapCase {
    int width;
    std::vector<String> lines;
  } wraps[] = {
      // "iiWii" is 24 and the space after it 8: the line ends at the space.
      {30, {u"iiWii", u"Wi"}},
      // The fifth character overflows 23 before any space: the line breaks there, and the next
      // one ends at the space before "Wi", which would overflow.
      {23, {u"iiWi", u"i", u"Wi"}},
  };
  for (const WrapCase& k : wraps) {
    SCOPED_TRACE(k.width);
    TCommonWideCharArray buf;
    const int n = WrapTextW(dib.Dc, u"iiWii Wi", k.width, -1, buf);
    EXPECT_EQ(Lines(buf, n), k.lines);
  }
  // "WiiWW" is 42; its starts 12, 15, 18, 30.
  struct ShortenCase {
    int width;
    const char16_t* expected;
  } shortens[] = {{42, u"WiiWW"}, {41, u"Wi..."}, {36, u"W..."}, {35, u"..."}};
  for (const ShortenCase& k : shortens) EXPECT_EQ(ShortenTextW(dib.Dc, u"WiiWW", k.width), k.expected) << k.width;
  EXPECT_EQ(ShortenTextW(dib.Dc, u"WiiWWa", 24 + 18), u"Wii...");
}

TEST_F(TextFixture, DrawTextWExCalculatesRectangles) {
  const Word C = dtwCalcRect;
  struct Case {
    const char16_t* text;
    TRect rect;
    int maxLines;
    Word flags;
    TRect expected;
    int answer;
  } cases[] = {
      // Centred: (100 - 24) div 2 = 38; right-aligned: 100 - 24; centre wins over right.
      {u"abc", {0, 0, 100, 50}, -1, Word(dtwSingleLine | dtwCenter | C), {38, 0, 62, 16}, 1},
      {u"abc", {0, 0, 100, 50}, -1, Word(dtwSingleLine | dtwRight | C), {76, 0, 100, 16}, 1},
      {u"abc", {0, 0, 100, 50}, -1, Word(dtwSingleLine | dtwRight | dtwCenter | C), {38, 0, 62, 16}, 1},
      // Vertical: (50 - 16) div 2 = 17; bottom: 34; centring is tested before bottom.
      {u"abc", {0, 0, 100, 50}, -1, Word(dtwSingleLine | dtwVCenter | C), {0, 17, 24, 33}, 1},
      {u"abc", {0, 0, 100, 50}, -1, Word(dtwSingleLine | dtwBottom | C), {0, 34, 24, 50}, 1},
      {u"abc", {0, 0, 100, 50}, -1, Word(dtwSingleLine | dtwBottom | dtwVCenter | C), {0, 17, 24, 33}, 1},
      // A rectangle lower than a line: (13 - 16) div 2 rounds toward zero, to -1.
      {u"abc", {0, 0, 100, 13}, -1, Word(dtwSingleLine | dtwVCenter | C), {0, -1, 24, 15}, 1},
      // Narrower than the text (48 in 20): 512 keeps the rectangle's sides, 256 then the width.
      {u"abcdef", {10, 0, 30, 16}, -1, Word(dtwSingleLine | C), {10, 0, 58, 16}, 1},
      {u"abcdef", {10, 0, 30, 16}, -1, Word(dtwSingleLine | dtwCalcKeepRectWidth | C), {10, 0, 30, 16}, 1},
      {u"abcdef", {10, 0, 30, 16}, -1,
       Word(dtwSingleLine | dtwCalcKeepRectWidth | dtwCalcKeepTextWidth | C), {10, 0, 58, 16}, 1},
      {u"abcdef", {10, 0, 30, 16}, -1, Word(dtwSingleLine | dtwCenter | C), {-4, 0, 44, 16}, 1},
      // End ellipsis: "ab..." is 40.
      {u"abcdef", {0, 0, 40, 16}, -1, Word(dtwSingleLine | dtwEndEllipsis | C), {0, 0, 40, 16}, 1},
      // Several lines: the union of the lines; the answer is min(lines, MaxLines).
      {u"aa bb cc", {0, 0, 40, 100}, -1, C, {0, 0, 40, 32}, -1},
      {u"aa bb cc", {0, 0, 40, 100}, 5, C, {0, 0, 40, 32}, 2},
      {u"aa bb cc", {0, 0, 40, 100}, -1, Word(dtwVCenter | C), {0, 34, 40, 66}, -1},
      {u"aa bb cc", {0, 0, 40, 100}, -1, Word(dtwBottom | C), {0, 68, 40, 100}, -1},
      // One line allowed: it holds everything, shortened with the ellipsis.
      {u"aa bb cc", {0, 0, 40, 100}, 1, C, {0, 0, 64, 16}, 1},
      {u"aa bb cc", {0, 0, 40, 100}, 1, Word(dtwEndEllipsis | C), {0, 0, 40, 16}, 1},
      // Narrower than the widest character: one line whatever its length.
      {u"aa bb", {0, 0, 7, 100}, -1, C, {0, 0, 40, 16}, -1},
      // Nothing to show: zero height and the average width, or zero width and one line.
      {u"", {5, 6, 100, 100}, -1, C, {5, 6, 12, 6}, -1},
      {u"", {5, 6, 100, 100}, 3, Word(dtwCalcKeepTextWidth | C), {5, 6, 5, 22}, 0},
      // The first line is empty: nothing after it counts, though it was wrapped.
      {u"\r\nab", {0, 0, 100, 100}, 5, C, {0, 0, 7, 0}, 2},
  };
  for (const auto& k : cases) {
    TRect r = k.rect;
    int answer = DrawTextWEx(dib.Dc, k.text, r, k.maxLines, k.flags);
    EXPECT_EQ(r, k.expected) << "flags " << k.flags << " rect " << k.rect.Left << "," << k.rect.Right;
    EXPECT_EQ(answer, k.answer) << "flags " << k.flags;
  }
}

int BlackCount(const Dib& d) {
  int n = 0;
  for (int y = 0; y < d.H; ++y)
    for (int x = 0; x < d.W; ++x) n += d.Rgb(x, y) == 0;
  return n;
}

TEST_F(TextFixture, DrawTextWExPaintsLinesClippedToTheirRectangles) {
  SetBkMode(dib.Dc, TRANSPARENT);
  SetTextColor(dib.Dc, 0);
  dib.Fill(255, 255, 255, 0);
  // Centred in 40: x = 12, so the first glyph box starts at 13, row 3.
  TRect r{0, 0, 40, 20};
  DrawTextWEx(dib.Dc, u"ab", r, -1, Word(dtwSingleLine | dtwCenter));
  EXPECT_EQ(dib.Rgb(12, 3), RGB(255, 255, 255));
  EXPECT_EQ(dib.Rgb(13, 3), 0u);
  // Clipped at x = 20 unless clipping is off: "c" has its box at 17..22.
  for (bool noClip : {false, true}) {
    dib.Fill(255, 255, 255, 0);
    TRect c{0, 0, 20, 16};
    DrawTextWEx(dib.Dc, u"abcdef", c, -1, Word(dtwSingleLine | (noClip ? dtwNoClip : 0)));
    EXPECT_EQ(dib.Rgb(19, 5), 0u);
    EXPECT_EQ(dib.Rgb(21, 5), noClip ? 0u : RGB(255, 255, 255));
  }
  // Two lines, the second one 16 lower.
  dib.Fill(255, 255, 255, 0);
  TRect m{0, 0, 40, 60};
  DrawTextWEx(dib.Dc, u"aa bb cc", m, -1, 0);
  EXPECT_EQ(dib.Rgb(1, 19), 0u);
  EXPECT_EQ(dib.Rgb(1, 35), RGB(255, 255, 255));
  // Nothing at all when the first line is empty.
  dib.Fill(255, 255, 255, 0);
  TRect e{0, 0, 100, 60};
  DrawTextWEx(dib.Dc, u"\r\nab", e, -1, 0);
  EXPECT_EQ(BlackCount(dib), 0);
}

}  // namespace
