// Text that needs shaping, drawn and measured in the program's face at 16 pixels against the
// toolkit's own drawing of the same text composed.

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QPainter>

#include <gtest/gtest.h>

#include <chrono>

#include "platform/gdi/Gdi_p.h"
#include "platform/gdi/GdiTestUtil.h"
#include "platform/rtl/Strings.h"

namespace {

using namespace gditest;

constexpr int W = 240, H = 64;
// Stands in a line drawn by the toolkit for the face's default glyph.
constexpr QChar Missing{0xE000};

// Black on white in the face, set against the toolkit's drawing of composed lines, each cut to its
// cell: laid out whole, or (`plain`) each character at the sum of the rounded advances before it,
// as text that needs no shaping is drawn.
struct Face16 {
  DibCanvas C{W, H};
  LOGFONTW Lf{};
  HFONT Font;
  TEXTMETRICW Tm{};
  QFont Q{gdi::UiFamily()};
  explicit Face16(LONG weight) {
    Lf.lfHeight = -16;
    Lf.lfWeight = weight;
    Font = CreateFontIndirectW(&Lf);
    SelectObject(C.Dc, Font);
    C.Clear(RGB(255, 255, 255));
    SetBkMode(C.Dc, TRANSPARENT);
    GetTextMetricsW(C.Dc, &Tm);
    Q.setKerning(false);
    if (weight >= 600) Q.setWeight(static_cast<QFont::Weight>(gdi::UiBoldWeight()));
    Q.setPixelSize(16);
  }
  ~Face16() { DeleteObject(Font); }
  int Extent(StringView s) {
    TSize size{};
    GetTextExtentPoint32W(C.Dc, s.data(), static_cast<int>(s.size()), &size);
    return size.cx;
  }
  int Toolkit(const QString& s, bool plain) const {
    QFontMetricsF fm(Q);
    int w = plain ? 0 : static_cast<int>(std::lround(fm.horizontalAdvance(s)));
    for (QChar c : plain ? s : QString())
      w += static_cast<int>(std::lround(c == Missing ? Box().rawFont().advancesForGlyphIndexes(Box().glyphIndexes())[0].x() : fm.horizontalAdvance(c)));
    return w;
  }
  // The face's default glyph (its first), drawn where a line shows Missing.
  QGlyphRun Box() const {
    QGlyphRun run;
    run.setRawFont(QRawFont::fromFont(Q));
    run.setGlyphIndexes({0});
    run.setPositions({QPointF(0, 0)});
    return run;
  }
  // A text the toolkit draws with the top-left corner of its cell at (X, Y), cut to its cell.
  struct Drawn {
    QString Text;
    bool Plain;
    int X, Y;
  };
  // The pixels where the DC's ink differs from the toolkit's lines drawn from (8, 8) on, each placed
  // in `width` by `align` (0 left, 1 centred, 2 right).
  int Differing(const std::vector<QString>& lines, bool plain, int width, int align) const {
    std::vector<Drawn> drawn;
    for (int y = 8; const QString& s : lines) {
      drawn.push_back({s, plain, 8 + (width - Toolkit(s, plain)) * align / 2, y});
      y += Tm.tmHeight;
    }
    return Differing(drawn);
  }
  int Differing(const std::vector<Drawn>& drawn) const {
    QImage img(W, H, QImage::Format_Alpha8);
    img.fill(0);
    QPainter p(&img);
    p.setFont(Q);
    p.setLayoutDirection(Qt::LeftToRight);  // as a line without a reading order of its own
    for (const auto& [s, plain, left, y] : drawn) {
      p.setClipRect(left, y, Toolkit(s, plain), Tm.tmHeight);
      for (int k = 0; k <= Tm.tmWeight / FW_BOLD; ++k) {  // bold emboldened by a pixel at 16
        if (!plain) p.drawText(QPointF(left + k, y + Tm.tmAscent), s);
        for (int i = 0, pos = left; plain && i < s.size(); pos += Toolkit(s[i++], true))
          s[i] == Missing ? p.drawGlyphRun(QPointF(pos + k, y + Tm.tmAscent), Box()) : p.drawText(QPointF(pos + k, y + Tm.tmAscent), QString(s[i]));
      }
    }
    int n = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) n += 255 - C.Px(x, y)[1] != img.constScanLine(y)[x];
    return n;
  }
};

QString Q(const char16_t* s) { return QString::fromUtf16(s); }

// TextOutW, GetTextExtentPoint32W and DrawTextW with its cuts, breaks and alignment draw and
// measure text that needs shaping as the toolkit lays out its composed form: marks on their
// letters in the face's composed letters, emoji from the fallback face, Arabic joined and, with
// Hebrew, right to left within a left-to-right line; cut only between clusters.
TEST(Shaping, TextComesOutAsTheToolkitDrawsItComposed) {
  ASSERT_EQ(gdi::UiFamily(), QStringLiteral("Tahoma"));
  const char16_t *cafe = u"Cafe\u0301 e\u0301te\u0301", *ruDecomposed = u"\u041d\u043e\u0432\u0438\u0306 \u0433\u043e\u0434",
                 *ru = u"\u041d\u043e\u0432\u0439 \u0433\u043e\u0434", *salam = u"\u0633\u0644\u0627\u0645",
                 *shalom = u"\u05e9\u05dc\u05d5\u05dd", *grin = u"\U0001F600";
  const QString grins = Q(grin) + Q(grin), box = QString(Missing);
  struct Case {
    const char16_t* given;
    UINT flags;  // TextOutW where 0, else DrawTextW's in a rectangle as wide as the widest line shown
    int extra;   // and this much wider
    std::vector<QString> shown;
    bool plain;  // the composed text needs no shaping
    LONG weight;
    int align;
  } cases[] = {
      {cafe, 0, 0, {Q(u"Caf\u00e9 \u00e9t\u00e9")}, true, FW_NORMAL, 0},
      {ruDecomposed, 0, 0, {Q(ru)}, true, FW_BOLD, 0},
      {u"Cafe\u0301 \U0001F600!", 0, 0, {Q(u"Caf\u00e9 \U0001F600!")}, false, FW_NORMAL, 0},
      {u"\u041d\u043e\u0432\u0438\u0306 \u0433\u043e\u0434 \u0633\u0644\u0627\u0645", 0, 0,
       {Q(ru) + u' ' + Q(salam)}, false, FW_BOLD, 0},
      {shalom, 0, 0, {Q(shalom)}, false, FW_NORMAL, 0},
      {cafe, DT_SINGLELINE | DT_END_ELLIPSIS, 3, {Q(u"Caf\u00e9...")}, true, FW_NORMAL, 0},
      {ruDecomposed, DT_WORDBREAK, 0, {Q(u"\u041d\u043e\u0432\u0439"), Q(u"\u0433\u043e\u0434")}, true, FW_NORMAL, 0},
      {u"\U0001F600\U0001F600\U0001F600\U0001F600", DT_SINGLELINE | DT_END_ELLIPSIS, 5, {grins + Q(u"...")}, false, FW_NORMAL, 0},
      {u"\U0001F600\U0001F600\U0001F600", DT_WORDBREAK | DT_EDITCONTROL, 4, {grins, Q(grin)}, false, FW_NORMAL, 0},
      {u"\u0633\u0644\u0627\u0645 \u0639\u0644\u064a\u0643\u0645", DT_SINGLELINE | DT_END_ELLIPSIS, 1,
       {Q(salam) + Q(u"...")}, false, FW_NORMAL, 0},
      {salam, DT_WORDBREAK | DT_CENTER, 61, {Q(salam)}, false, FW_NORMAL, 1},
      {shalom, DT_SINGLELINE | DT_RIGHT, 50, {Q(shalom)}, false, FW_BOLD, 2},
      // Letters no installed face holds (Devanagari, Thaana, Khmer, Sinhala, Bengali, Tamil,
      // Kannada here) draw the face's default glyph each, and the text around them as it is.
      {u"a\u0915b\u093f", 0, 0, {u'a' + box + u'b' + box}, true, FW_NORMAL, 0},
      {u"\u0780\u1780 \u0d9a\u0995\u0b95\u0c95.", 0, 0, {box + box + u' ' + box + box + box + box + u'.'}, true, FW_BOLD, 0},
      {u"\u092b\u094b\u091f\u094b", DT_SINGLELINE | DT_END_ELLIPSIS, 3, {box + box + QStringLiteral("...")}, true, FW_NORMAL, 0},
      // Joiners, directional marks, the soft hyphen and the like take no room.
      {u"\u0644\u200d\u0627 a\u200db\u00ad\u200e\U0001F600\u200b!", 0, 0,
       {Q(u"\u0644\u200d\u0627 a\u200db\u00ad\u200e\U0001F600\u200b!")}, false, FW_NORMAL, 0},
      // A leading U+FFFE or U+FEFF is text.
      {u"\uFFFEe\u0301AB", 0, 0, {QChar(0xFFFE) + Q(u"\u00e9AB")}, true, FW_NORMAL, 0},
      {u"\uFEFF\u0633\u0644\u0627\u0645", 0, 0, {QChar(0xFEFF) + Q(salam)}, false, FW_NORMAL, 0},
  };
  for (const Case& k : cases) {
    const StringView given = k.given;
    SCOPED_TRACE(StringToUtf8(String(given)) + ", flags " + std::to_string(k.flags));
    Face16 f(k.weight);
    int width = 0;
    for (const QString& s : k.shown) width = std::max(width, f.Toolkit(s, k.plain) + k.extra);
    if (k.flags) {
      TRect r{8, 8, 8 + width, H};
      DrawTextW(f.C.Dc, given.data(), static_cast<int>(given.size()), &r, k.flags);
    } else {
      EXPECT_EQ(f.Extent(given), width);
      EXPECT_EQ(f.Extent(given), f.Extent(reinterpret_cast<const Char*>(k.shown[0].utf16())));
      TextOutW(f.C.Dc, 8, 8, given.data(), static_cast<int>(given.size()));
    }
    EXPECT_EQ(f.Differing(k.shown, k.plain, width, k.align), 0);
  }
}

// Text that needs no shaping is measured and drawn a character at a time: its extent is the sum
// of its characters' even where the toolkit's own layout of it rounds to another width.
TEST(Shaping, PlainTextGoesCharacterByCharacter) {
  const std::pair<StringView, bool> texts[] = {
      {u"IMG_000123.JPG", false}, {u"\u041e\u0442\u043f\u0443\u0441\u043a \u00ab\u0451\u043b\u043a\u0430\u00bb \u2014 \u0419", false},
      {u"\u00c5\u00c9\u00ee\u00e7\u00df \u0391\u03b2\u03b3 \u6771\u4eac", false},
      {u"e\u0301", true}, {u"\u0438\u0306", true}, {u"\U0001F600", true}, {u"\u0633", true}, {u"\u05e9", true},
      {u"a\u200db", true}, {u"\u270c\ufe0f", true}, {u"\u0915", true}, {u"\u0e01", true}};
  for (const auto& [text, shaped] : texts) EXPECT_EQ(NeedsShaping(text), shaped) << StringToUtf8(String(text));
  Face16 f(FW_NORMAL);
  const QString plain = Q(u"IMG_000123.JPG \u041e\u0442\u043f\u0443\u0441\u043a");
  ASSERT_NE(f.Toolkit(plain, false), f.Toolkit(plain, true));
  EXPECT_EQ(f.Extent(reinterpret_cast<const Char*>(plain.utf16())), f.Toolkit(plain, true));
}

// A tab in text that needs shaping draws and measures as in text that needs none: nothing, by its
// own advance, without DT_EXPANDTABS ("v́" laid out, the tab, then "abc" a character at a time);
// with it, the text after it goes to the next tab stop. So does a line separator, where the
// toolkit would end its line.
TEST(Shaping, ATabInShapedTextIsAsInPlainText) {
  const QString shaped = Q(u"v\u0301"), abc = QStringLiteral("abc");
  for (int call = 0; call < 7; ++call) {
    SCOPED_TRACE(call);
    const StringView given = call < 5 ? u"v\u0301\tabc" : u"v\u0301\u2028abc";
    Face16 f(FW_NORMAL);
    const int tab = f.Toolkit(QString(QChar(given[2])), true), stop = 8 * f.Tm.tmAveCharWidth;
    const int width = f.Toolkit(shaped, false) + tab + f.Toolkit(abc, true);
    const int n = static_cast<int>(given.size());
    TRect r{8, 8, W, H};
    int abcAt = 8 + f.Toolkit(shaped, false) + tab;
    switch (call) {
      case 0:
      case 5:
        EXPECT_EQ(f.Extent(given), width);
        TextOutW(f.C.Dc, 8, 8, given.data(), n);
        break;
      case 1: ExtTextOutW(f.C.Dc, 8, 8, ETO_CLIPPED, &r, given.data(), static_cast<UINT>(n), nullptr); break;
      case 2:
      case 6: DrawTextW(f.C.Dc, given.data(), n, &r, DT_SINGLELINE); break;
      case 3:
        DrawTextW(f.C.Dc, given.data(), n, &r, DT_SINGLELINE | DT_EXPANDTABS);
        abcAt = 8 + stop;
        break;
      case 4: {
        TRect calc{8, 8, W, H}, expanded = calc;
        DrawTextW(f.C.Dc, given.data(), n, &calc, DT_SINGLELINE | DT_CALCRECT);
        EXPECT_EQ(calc.Right - calc.Left, width);
        DrawTextW(f.C.Dc, given.data(), n, &expanded, DT_SINGLELINE | DT_EXPANDTABS | DT_CALCRECT);
        EXPECT_EQ(expanded.Right - expanded.Left, stop + f.Toolkit(abc, true));
        continue;
      }
    }
    EXPECT_EQ(f.Differing({{shaped, false, 8, 8}, {abc, true, abcAt, 8}}), 0);
  }
}

// Measuring a long name that mixes scripts, or holds tabs, grows with its length: eight times the
// text takes about eight times as long (it took 64 times as long, a second for 8,000 units).
TEST(Shaping, MeasuringALongMixedTextGrowsWithItsLength) {
  Face16 f(FW_NORMAL);
  for (const StringView unit : {StringView(u"a\u0633"), StringView(u"v\u0301\t")}) {
    SCOPED_TRACE(StringToUtf8(String(unit)));
    auto fastest = [&](size_t units) {
      double best = 1e9;
      for (Char last : {u'x', u'y', u'z'}) {  // a text not measured before
        String s;
        while (s.size() < units) s += unit;
        s.back() = last;
        const auto start = std::chrono::steady_clock::now();
        f.Extent(s);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      }
      return best;
    };
    EXPECT_LT(fastest(8000), 20 * fastest(1000));
  }
}

// The rectangle DT_CALCRECT answers for broken text holds the lines DrawTextW lays out in it: both
// break and measure a line by one rule, so the text breaks the same way again within it ("q́" is a
// little over 11 pixels at 20: four to a line of 45). Tabs, expanded, count where lines break and
// where an ellipsis cuts; a space that a cluster holds (after an Arabic number sign) is no place to
// break. A line that draws wider on its own than within its paragraph (reserved characters the
// shaper hides, drawn as boxes in a line that needs no shaping) widens the rectangle: nothing is
// drawn outside it; one that draws narrower ("W" is 14.4 pixels at 16, 14 drawn a character at a
// time) keeps the width it was broken by.
TEST(Shaping, TheRectangleCalculatedForBrokenTextHoldsItsLines) {
  String marks, arabic, tabbed, plainTabs, numberSign = u"ab " + String(20, u'x') + u"\u0600 cd ef gh", tabWord,
         hidden = u"\uFFF3\uFFF3\uFFF3\uFFF3\uFFF3xx \u05e9\u05dc\u05d5\u05dd",
         wide = String(10, u'W') + u" \u05e9\u05dc\u05d5\u05dd\u05e9\u05dc\u05d5\u05dd\u05e9\u05dc\u05d5\u05dd\u05e9\u05dc";
  for (int i = 0; i < 12; ++i) marks += u"q\u0301";
  const StringView words[] = {u"\u0633\u0644\u0627\u0645", u"\u0639\u0644\u064a\u0643\u0645", u"\u0645\u0631\u062d\u0628\u0627",
                              u"\u0635\u0648\u0631\u0629", u"\u0643\u062a\u0627\u0628", u"\u0628\u064a\u062a"};
  for (int i = 0; i < 30; ++i) arabic += String(words[i * 7 % 6]) + u" ";
  for (int i = 0; i < 20; ++i) tabbed += u"v\u0301 \t", plainTabs += u"v\t", tabWord += u"v\u0301\t";
  struct Case {
    const String& text;
    LONG px;
    int width;
    UINT flags;
    int lines;      // 0: whatever the face gives
    bool longWord;  // a word wider than the line runs on
  } cases[] = {
      {marks, 20, 45, DT_WORDBREAK | DT_EDITCONTROL, 3},
      {arabic, 12, 57, DT_WORDBREAK, 0},
      {arabic, 12, 44, DT_WORDBREAK | DT_EDITCONTROL, 0},
      {arabic, 11, 133, DT_WORDBREAK, 0},
      {tabbed, 11, 300, DT_WORDBREAK | DT_EXPANDTABS, 0},
      {plainTabs, 11, 100, DT_WORDBREAK | DT_EXPANDTABS | DT_EDITCONTROL, 0},
      {numberSign, 11, 40, DT_WORDBREAK, 0, true},
      {tabWord, 11, 60, DT_WORDBREAK | DT_EXPANDTABS | DT_END_ELLIPSIS, 1},
      {plainTabs, 11, 60, DT_SINGLELINE | DT_EXPANDTABS | DT_END_ELLIPSIS, 1},
      {hidden, 11, 20, DT_WORDBREAK, 2, true},
      {wide, 16, 150, DT_WORDBREAK | DT_EDITCONTROL, 2},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(StringToUtf8(k.text.substr(0, 8)) + ", width " + std::to_string(k.width));
    DibCanvas c(400, 600);
    LOGFONTW lf{};
    lf.lfHeight = -k.px;
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(c.Dc, font);
    TEXTMETRICW tm{};
    GetTextMetricsW(c.Dc, &tm);
    const int n = static_cast<int>(k.text.size());
    TRect calc{0, 0, k.width, 0};
    const int height = DrawTextW(c.Dc, k.text.data(), n, &calc, k.flags | DT_CALCRECT);
    if (!k.longWord) {
      EXPECT_LE(calc.Right, k.width);
    }
    if (k.lines) {
      EXPECT_EQ(height, k.lines * tm.tmHeight);
    }
    TRect again = calc;
    EXPECT_LE(DrawTextW(c.Dc, k.text.data(), n, &again, k.flags | DT_CALCRECT), height);
    EXPECT_LE(again.Right, calc.Right);
    TRect in = calc;
    c.Clear(RGB(255, 255, 255));
    SetBkMode(c.Dc, TRANSPARENT);
    EXPECT_LE(DrawTextW(c.Dc, k.text.data(), n, &in, k.flags | DT_NOCLIP), height);
    for (int y = 0; y < c.H; ++y)
      for (int x = calc.Right; x < c.W; ++x) ASSERT_EQ(c.Rgb(x, y), RGB(255, 255, 255)) << x << ", " << y;
    SelectObject(c.Dc, old);
    DeleteObject(font);
  }
}

}  // namespace
