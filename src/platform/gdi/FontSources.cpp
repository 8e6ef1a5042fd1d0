// The font sources: the toolkit's rendering of the program's face, the fixed-metrics source of the
// tests and the glyph painter standing in for the Marlett face.

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>

#include "platform/gdi/Gdi_p.h"
#include "platform/gdi/QtConvert_p.h"

namespace pf {

using namespace gdi;

namespace {

String FaceOf(const LOGFONTW& lf) {
  String s;
  for (Char c : lf.lfFaceName) {
    if (!c) break;
    s += c;
  }
  return s;
}

// ---- Fixed metrics ----

class FixedSource : public TFontSource {
public:
  explicit FixedSource(TFixedFontMetrics m) : M(std::move(m)) {}
  TEXTMETRICW Metrics() const override {
    TEXTMETRICW tm;
    tm.tmHeight = M.Height;
    tm.tmAscent = M.Ascent;
    tm.tmDescent = M.Height - M.Ascent;
    tm.tmInternalLeading = M.InternalLeading;
    tm.tmAveCharWidth = M.AveCharWidth;
    tm.tmMaxCharWidth = M.MaxCharWidth;
    tm.tmWeight = FW_NORMAL;
    return tm;
  }
  Integer Advance(Char ch) const override {
    auto it = M.Advances.find(ch);
    return it == M.Advances.end() ? M.Advance : it->second;
  }
  void Render(StringView text, TGlyphMask& mask, Integer x, Integer y) const override {
    for (Char ch : text) {
      int adv = Advance(ch);
      if (ch != u' ' && ch != u'\t' && ch != u'\r' && ch != u'\n') {
        for (int yy = y + M.InternalLeading; yy < y + M.Ascent; ++yy)
          for (int xx = x + 1; xx < x + adv - 1; ++xx)
            if (xx >= 0 && yy >= 0 && xx < mask.Width && yy < mask.Height) mask.At(xx, yy) = 255;
      }
      x += adv;
    }
  }

private:
  TFixedFontMetrics M;
};

// ---- The check-box and radio glyphs ----

class MarlettSource : public TFontSource {
public:
  explicit MarlettSource(int cell) : H(std::max(1, cell)) {}
  TEXTMETRICW Metrics() const override {
    TEXTMETRICW tm;
    tm.tmHeight = H;
    tm.tmAscent = H;
    tm.tmDescent = 0;
    tm.tmAveCharWidth = H;
    tm.tmMaxCharWidth = H;
    tm.tmWeight = FW_NORMAL;
    tm.tmCharSet = 2;  // symbol
    return tm;
  }
  Integer Advance(Char) const override { return H; }
  void Render(StringView text, TGlyphMask& mask, Integer x, Integer y) const override {
    for (Char ch : text) {
      for (int gy = 0; gy < H; ++gy)
        for (int gx = 0; gx < H; ++gx)
          if (Covers(ch, gx, gy)) {
            int px = x + gx, py = y + gy;
            if (px >= 0 && py >= 0 && px < mask.Width && py < mask.Height) mask.At(px, py) = 255;
          }
      x += H;
    }
  }

  // Check box: a one-pixel outer ring (top-left "c", bottom-right "d"), a one-pixel inner ring
  // ("e", "f"), the background "g" filling inside the outer ring, and the tick "b".
  // Radio button: the same layering on circles.
  bool Covers(Char ch, int x, int y) const {
    int last = H - 1;
    switch (ch) {
      case u'g': return x >= 1 && y >= 1 && x < last && y < last;
      case u'c': return (y == 0 && x < last) || (x == 0 && y < last);
      case u'd': return y == last || x == last;
      case u'e': return H > 2 && ((y == 1 && x >= 1 && x < last - 1) || (x == 1 && y >= 1 && y < last - 1));
      case u'f': return H > 2 && ((y == last - 1 && x >= 1 && x < last) || (x == last - 1 && y >= 1 && y < last));
      case u'b': return InTick(x, y);
      case u'n': return Dist(x, y) <= H / 2.0 - 1;
      case u'j': return Ring(x, y, 0) && x + y < last;
      case u'k': return Ring(x, y, 0) && x + y >= last;
      case u'l': return Ring(x, y, 1) && x + y < last;
      case u'm': return Ring(x, y, 1) && x + y >= last;
      case u'i': return Dist(x, y) <= H / 6.0 + 0.5;
      default: return false;
    }
  }

private:
  double Dist(int x, int y) const {
    double c = (H - 1) / 2.0;
    return std::hypot(x - c, y - c);
  }
  // Ring 0 is the outermost pixel ring of the circle, ring 1 the one inside it.
  bool Ring(int x, int y, int ring) const {
    double d = Dist(x, y), outer = H / 2.0 - ring;
    return d <= outer && d > outer - 1;
  }
  // A tick inside the inner ring: down from the left to a third of the way, then up to the right;
  // its strokes are a quarter of the cell thick (at least one pixel).
  bool InTick(int x, int y) const {
    int inset = std::max(2, (H * 3) / 13);
    int x0 = inset, x1 = H - 1 - inset;
    if (x < x0 || x > x1 || x1 <= x0) return false;
    int thick = std::max(1, (H * 3) / 13);
    int pivot = x0 + (x1 - x0) / 3;
    int bottom = H - 1 - inset;
    int yc = x <= pivot ? bottom - (pivot - x) : bottom - (x - pivot);
    return y <= yc && y > yc - thick;
  }
  int H;
};

// ---- The toolkit's fonts ----

// Characters that show nothing and take no room (Unicode's default ignorables): byte-order and
// joiner marks, directional marks, variation selectors, the soft hyphen...
bool DefaultIgnorable(char32_t c) {
  return c == 0xAD || c == 0x34F || c == 0x61C || c == 0x115F || c == 0x1160 || c == 0x17B4 || c == 0x17B5 ||
         (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2060 && c <= 0x206F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF ||
         c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFF8) || (c >= 0x1BCA0 && c <= 0x1BCA3) ||
         (c >= 0x1D173 && c <= 0x1D17A) || (c >= 0xE0000 && c <= 0xE0FFF);
}

// Calls `each(c)` for each character of `s`, a surrogate pair as one.
template <class Each>
void EachCharacter(StringView s, Each&& each) {
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (i + 1 < s.size() && QChar::isHighSurrogate(s[i]) && QChar::isLowSurrogate(s[i + 1])) {
      c = QChar::surrogateToUcs4(s[i], s[i + 1]);
      ++i;
    }
    each(c);
  }
}

class QtSource : public TFontSource {
public:
  explicit QtSource(const LOGFONTW& lf) {
    Font.setFamily(gdi::UiFamily());
    Font.setStyleStrategy(QFont::PreferAntialias);
    Font.setKerning(false);
    if (lf.lfWeight >= 600) Font.setWeight(static_cast<QFont::Weight>(gdi::UiBoldWeight()));
    Font.setItalic(lf.lfItalic != 0);
    int px = 11;
    if (lf.lfHeight < 0) {
      px = -lf.lfHeight;
    } else if (lf.lfHeight > 0) {
      // A positive height is the cell's: ascent plus descent.
      QFont probe = Font;
      probe.setPixelSize(100);
      QFontMetricsF fm(probe);
      double ratio = (fm.ascent() + fm.descent()) / 100.0;
      px = std::max(1, static_cast<int>(std::lround(lf.lfHeight / ratio)));
    }
    Font.setPixelSize(px);
    QFontMetricsF fm(Font);
    Tm.tmAscent = static_cast<LONG>(std::ceil(fm.ascent()));
    Tm.tmDescent = static_cast<LONG>(std::ceil(fm.descent()));
    WindowsCell(px, Tm.tmAscent, Tm.tmDescent);
    Tm.tmHeight = Tm.tmAscent + Tm.tmDescent;
    Tm.tmInternalLeading = std::max(0, Tm.tmHeight - px);
    Tm.tmAveCharWidth = static_cast<LONG>(std::lround(fm.averageCharWidth()));
    Tm.tmMaxCharWidth = static_cast<LONG>(std::ceil(fm.maxWidth()));
    Tm.tmWeight = Font.bold() ? FW_BOLD : FW_NORMAL;
    Tm.tmItalic = lf.lfItalic;
    // FreeType's emboldening strength: a 24th of the size, at least a pixel.
    if (Font.bold() && !HasBoldGlyphs(Font)) Embolden = std::max(1, static_cast<int>(std::lround(px / 24.0)));
    Face = QRawFont::fromFont(Font);
  }
  TEXTMETRICW Metrics() const override { return Tm; }
  // Every extent and every drawn run asks for each of its characters: an advance once measured
  // is read without a lock.
  Integer Advance(Char ch) const override {
    const int known = Advances[ch].load(std::memory_order_relaxed);
    if (known >= 0) return known;
    std::lock_guard lock(Mutex);
    QFontMetricsF fm(Font);
    const int adv = static_cast<int>(std::lround(fm.horizontalAdvance(QChar(ch))));
    Advances[ch].store(static_cast<int16_t>(std::clamp(adv, 0, 0x7FFF)), std::memory_order_relaxed);
    return adv;
  }
  bool RunCoverage(StringView text, TRunCoverage& out) const override {
    if (text.empty()) return false;
    std::shared_ptr<const TRun> run = RunOf(text);
    out.Data = run->Coverage.data();
    out.Width = run->Width;
    out.Height = run->Height;
    out.Margin = run->Margin;
    out.Keep = std::move(run);
    return true;
  }
  // The toolkit lays the composed text out as a whole, with its font fallback and bidirectional
  // order, except for the pieces Pieces tells apart; each cluster's extent is the advance of its
  // glyphs there, a glyph that several clusters make together (a ligature) shared equally among
  // them.
  std::shared_ptr<const TShapedText> Shape(StringView text) const override {
    {
      std::lock_guard lock(RunMutex);
      auto it = Shapes.find(text);
      if (it != Shapes.end()) return it->second;
    }
    auto shaped = std::make_shared<TShapedText>(Compose(text, [this](char32_t c) {
      std::lock_guard lock(Mutex);
      return Face.supportsCharacter(c);
    }));
    if (NeedsShaping(shaped->Text))
      LayPieces(*shaped);
    else
      LayUnits(*shaped);
    std::lock_guard lock(RunMutex);
    // Only names in scripts that need shaping come here, a screenful at a time.
    if (Shapes.size() >= 4096) Shapes.clear();
    return Shapes.emplace(String(text), std::move(shaped)).first->second;
  }
  std::pair<Integer, Integer> Span(const TShapedText& shaped, size_t k) const override {
    const auto& c = shaped.Clusters[k];
    for (const TPiece& piece : Pieces(shaped)) {
      if (k < piece.First || k >= piece.Last || piece.Kind != TPiece::Laid) continue;
      const int x = Start(shaped, piece);
      const size_t from = shaped.Clusters[piece.First].ComposedFrom;
      const auto layout = LayoutOf(PieceText(shaped, piece));
      double left = 0, right = 0;
      bool any = false;
      for (const QGlyphRun& run : layout->lineAt(0).glyphRuns(static_cast<int>(c.ComposedFrom - from),
                                                               static_cast<int>(c.ComposedTo - c.ComposedFrom))) {
        const QList<QPointF> positions = run.positions();
        const QList<QPointF> advances = run.rawFont().advancesForGlyphIndexes(run.glyphIndexes());
        for (qsizetype i = 0; i < std::min(positions.size(), advances.size()); ++i) {
          left = any ? std::min(left, positions[i].x()) : positions[i].x();
          right = any ? std::max(right, positions[i].x() + advances[i].x()) : positions[i].x() + advances[i].x();
          any = true;
        }
      }
      if (any) return {x + static_cast<Integer>(std::lround(left)), x + static_cast<Integer>(std::lround(right))};
    }
    return TFontSource::Span(shaped, k);
  }
  void Render(StringView text, TGlyphMask& mask, Integer x, Integer y) const override {
    if (mask.Width <= 0 || mask.Height <= 0 || text.empty()) return;
    std::shared_ptr<const TRun> run = RunOf(text);
    // The run's coverage goes over what the mask holds as the toolkit lays one drawn glyph over
    // another: a pixel that both cover keeps the sum less the product.
    const int left = x - run->Margin, top = y - run->Margin;
    const int x0 = std::max(0, -left), x1 = std::min(run->Width, mask.Width - left);
    const int y0 = std::max(0, -top), y1 = std::min(run->Height, mask.Height - top);
    for (int ry = y0; ry < y1; ++ry) {
      const Byte* from = run->Coverage.data() + static_cast<size_t>(ry) * run->Width;
      Byte* to = &mask.At(left + x0, top + ry);
      for (int rx = x0; rx < x1; ++rx, ++to) {
        const int cov = from[rx];
        if (cov == 0) continue;
        *to = *to == 0 ? static_cast<Byte>(cov) : static_cast<Byte>(*to + cov - (*to * cov + 127) / 255);
      }
    }
  }

private:
  // Coverage of `text` drawn in `font` at 48 pixels, summed.
  static long Ink(QFont font, const QString& text) {
    font.setPixelSize(48);
    QImage img(160, 80, QImage::Format_Alpha8);
    img.fill(0);
    {
      QPainter p(&img);
      p.setFont(font);
      p.setPen(Qt::black);
      p.drawText(QPointF(8, 60), text);
    }
    long sum = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) sum += img.constScanLine(y)[x];
    return sum;
  }
  // Wine's Tahoma Bold (fonts-wine) carries the bold advances over the regular outlines, so the
  // toolkit, finding a bold file, neither draws heavier strokes nor synthesises them: a face whose
  // bold glyphs hold no more ink than its regular ones is emboldened as if it had no bold file.
  static bool HasBoldGlyphs(const QFont& bold) {
    static std::mutex mutex;
    static std::map<QString, bool> known;
    std::lock_guard lock(mutex);
    auto it = known.find(bold.family());
    if (it != known.end()) return it->second;
    QFont regular = bold;
    regular.setBold(false);
    const QString probe = QStringLiteral("lHo");
    const bool heavier = Ink(bold, probe) * 100 > Ink(regular, probe) * 115;
    known.emplace(bold.family(), heavier);
    return heavier;
  }

  // The platform sizes a face's cell by the Windows ascent and descent of its OS/2 table, scaled
  // and rounded; the toolkit may take the typographic ones, which leave Tahoma's accents and
  // descenders outside the cell (11 pixels instead of 13 at 8 points).
  void WindowsCell(int px, LONG& ascent, LONG& descent) const {
    const QRawFont raw = QRawFont::fromFont(Font);
    const QByteArray os2 = raw.fontTable("OS/2"), head = raw.fontTable("head");
    if (os2.size() < 78 || head.size() < 20) return;
    auto be16 = [](const QByteArray& t, int at) {
      return (static_cast<unsigned>(static_cast<uint8_t>(t[at])) << 8) | static_cast<uint8_t>(t[at + 1]);
    };
    const unsigned upem = be16(head, 18), winAscent = be16(os2, 74), winDescent = be16(os2, 76);
    if (upem == 0 || winAscent == 0) return;
    ascent = static_cast<LONG>(std::lround(static_cast<double>(winAscent) * px / upem));
    descent = static_cast<LONG>(std::lround(static_cast<double>(winDescent) * px / upem));
  }

  // A run of text drawn once, with a margin on every side for the parts of glyphs that reach out
  // of their cells; its first cell's top-left corner lies at (Margin, Margin).
  struct TRun {
    int Margin{0}, Width{0}, Height{0};
    std::vector<Byte> Coverage;
  };
  struct TRunHash {
    using is_transparent = void;
    size_t operator()(StringView s) const { return std::hash<StringView>{}(s); }
  };
  using TRunList = std::list<std::pair<String, std::shared_ptr<const TRun>>>;

  // The toolkit shapes and rasterises every character anew on each call, which made the captions
  // of a list the larger part of its paint: drawn runs are kept, the most recently used first,
  // within a budget of bytes.
  static constexpr size_t RunCacheBytes = 2u << 20;

  // A character drawn alone, its coverage cut to its ink; (Left, Top) is where that ink starts
  // from the pen position on the baseline.
  struct TGlyph {
    int Left{0}, Top{0}, Width{0}, Height{0};
    std::vector<Byte> Coverage;
    bool Bounded{true};  // false: the ink reached the edge of the picture it was drawn in
  };

  std::shared_ptr<const TGlyph> GlyphOf(Char ch) const {
    {
      std::lock_guard lock(RunMutex);
      auto it = Glyphs.find(ch);
      if (it != Glyphs.end()) return it->second;
    }
    auto glyph = DrawGlyph(Advance(ch), [&](QPainter& p, QPointF pen) {
      p.setFont(Font);
      p.drawText(pen, QString(QChar(ch)));
    });
    std::lock_guard lock(RunMutex);
    return Glyphs.emplace(ch, std::move(glyph)).first->second;
  }

  // The face's default glyph (its first, a box), which the platform draws for a character that
  // none of its fonts holds.
  std::shared_ptr<const TGlyph> DefaultGlyph() const {
    {
      std::lock_guard lock(RunMutex);
      if (Default) return Default;
    }
    QRawFont face;
    {
      std::lock_guard lock(Mutex);
      face = Face;
    }
    auto glyph = DrawGlyph(DefaultAdvance(), [&](QPainter& p, QPointF pen) {
      QGlyphRun run;
      run.setRawFont(face);
      run.setGlyphIndexes({0});
      run.setPositions({QPointF(0, 0)});
      p.drawGlyphRun(pen, run);
    });
    std::lock_guard lock(RunMutex);
    if (!Default) Default = std::move(glyph);
    return Default;
  }
  Integer DefaultAdvance() const {
    std::lock_guard lock(Mutex);
    if (DefaultWidth < 0) {
      const QList<QPointF> a = Face.isValid() ? Face.advancesForGlyphIndexes(QList<quint32>{0}) : QList<QPointF>();
      DefaultWidth = a.size() == 1 ? std::max(0, static_cast<int>(std::lround(a[0].x()))) : Tm.tmAveCharWidth;
    }
    return DefaultWidth;
  }

  // A glyph `draw` draws with its pen on the baseline, cut to its ink.
  std::shared_ptr<TGlyph> DrawGlyph(int advance, const std::function<void(QPainter&, QPointF)>& draw) const {
    // A cell of room on every side: italic and accented glyphs reach well out of their advance.
    const int room = Tm.tmHeight + 2;
    const int w = advance + 2 * room, h = Tm.tmHeight + 2 * room;
    std::vector<Byte> pixels(static_cast<size_t>(w) * h, 0);
    {
      QImage img(pixels.data(), w, h, w, QImage::Format_Alpha8);
      QPainter p(&img);
      p.setPen(Qt::black);
      p.setRenderHint(QPainter::TextAntialiasing, true);
      draw(p, QPointF(room, room + Tm.tmAscent));
    }
    auto glyph = std::make_shared<TGlyph>();
    int left = w, right = 0, top = h, bottom = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (pixels[static_cast<size_t>(y) * w + x]) {
          left = std::min(left, x);
          right = std::max(right, x + 1);
          top = std::min(top, y);
          bottom = std::max(bottom, y + 1);
        }
    if (left < right) {
      glyph->Bounded = left > 0 && top > 0 && right < w && bottom < h;
      glyph->Left = left - room;
      glyph->Top = top - room - Tm.tmAscent;
      glyph->Width = right - left;
      glyph->Height = bottom - top;
      glyph->Coverage.resize(static_cast<size_t>(glyph->Width) * glyph->Height);
      for (int y = 0; y < glyph->Height; ++y)
        std::copy_n(&pixels[static_cast<size_t>(top + y) * w + left], glyph->Width,
                    &glyph->Coverage[static_cast<size_t>(y) * glyph->Width]);
    }
    return glyph;
  }

  // Lays `glyph` over the run as the toolkit lays a drawn glyph over what an alpha picture holds
  // (the sum less the product, rounded), its pen at (x, baseline), cut to the run.
  static void Lay(TRun& run, const TGlyph& glyph, int x, int baseline) {
    const int left = x + glyph.Left, top = baseline + glyph.Top;
    const int x0 = std::max(0, -left), x1 = std::min(glyph.Width, run.Width - left);
    const int y0 = std::max(0, -top), y1 = std::min(glyph.Height, run.Height - top);
    for (int gy = y0; gy < y1; ++gy) {
      const Byte* from = glyph.Coverage.data() + static_cast<size_t>(gy) * glyph.Width + x0;
      Byte* to = run.Coverage.data() + static_cast<size_t>(top + gy) * run.Width + (left + x0);
      for (int i = 0; i < x1 - x0; ++i) {
        const int cov = from[i];
        if (cov == 0) continue;
        const int d = to[i];
        to[i] = static_cast<Byte>(d + cov - (d * cov + 127) / 255);
      }
    }
  }

  // Text laid out by the toolkit on one line, left to right as the platform's text functions lay a
  // paragraph without a reading order of the caller's.
  std::unique_ptr<QTextLayout> LayoutOf(StringView text) const {
    auto layout = std::make_unique<QTextLayout>(Q(text), Font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    layout->setTextOption(option);
    layout->beginLayout();
    layout->createLine().setLineWidth(1e6);
    layout->endLayout();
    return layout;
  }

  // A face the toolkit answers for a glyph run. Where no installed font holds a script the
  // toolkit stands in a face of its own, which draws a box of the font's size for each character
  // and has no size, no names and no tables: asking it for its family crashes.
  static bool RealFace(const QRawFont& face) { return face.isValid() && face.pixelSize() > 0; }

  // Whether no installed face holds `c`, the toolkit then answering its stand-in for it. Asked
  // once for each character, for every font of the program.
  bool NoFaceHolds(char32_t c) const {
    static std::atomic<uint8_t> bmp[0x10000];  // 0 not yet asked, 1 held, 2 missing
    static std::mutex mutex;
    static std::unordered_map<char32_t, bool> astral;
    if (c < 0x10000) {
      if (const uint8_t known = bmp[c].load(std::memory_order_relaxed)) return known == 2;
    } else {
      std::lock_guard lock(mutex);
      if (auto it = astral.find(c); it != astral.end()) return it->second;
    }
    const QString one = c < 0x10000 ? QString(QChar(static_cast<char16_t>(c))) : QString::fromUcs4(&c, 1);
    bool missing = false;
    for (const QGlyphRun& run : LayoutOf(StringView(reinterpret_cast<const Char*>(one.utf16()), static_cast<size_t>(one.size())))->lineAt(0).glyphRuns())
      missing = missing || !RealFace(run.rawFont());
    if (c < 0x10000) {
      bmp[c].store(missing ? 2 : 1, std::memory_order_relaxed);
    } else {
      std::lock_guard lock(mutex);
      astral.emplace(c, missing);
    }
    return missing;
  }

  // Composed text that needs shaping goes to the toolkit in pieces, each laid out, measured and
  // drawn on its own from where the one before it ends:
  //  - a cluster with a character no installed face holds draws, as the platform draws a
  //    character its fonts lack, the face's default glyph for each such character (and the others
  //    as text that needs no shaping), measuring as that: the toolkit's stand-in would turn the
  //    neighbouring spaces and punctuation into boxes as well;
  //  - a tab goes on as it does in text that needs no shaping, by its own advance (the toolkit
  //    would move it to a tab stop of its own, and leave it out of the runs it draws), and so does
  //    a line separator (where the toolkit would end its line, leaving the rest unlaid);
  //  - a stretch between such clusters that needs no shaping goes character by character;
  //  - the rest is laid out whole.
  struct TPiece {
    enum TKind { Laid, Units, Missing };
    size_t First{0}, Last{0};  // its clusters
    TKind Kind{Laid};
  };
  static StringView PieceText(const TShapedText& shaped, const TPiece& piece) {
    const size_t from = shaped.Clusters[piece.First].ComposedFrom;
    return StringView(shaped.Text).substr(from, shaped.Clusters[piece.Last - 1].ComposedTo - from);
  }
  static int Start(const TShapedText& shaped, const TPiece& piece) {
    return piece.First ? shaped.Clusters[piece.First - 1].End : 0;
  }
  // Whether no installed face holds some character of `s`.
  bool Lacks(StringView s) const {
    bool lacks = false;
    EachCharacter(s, [&](char32_t c) { lacks = lacks || NoFaceHolds(c); });
    return lacks;
  }
  std::vector<TPiece> Pieces(const TShapedText& shaped) const {
    std::vector<TPiece> pieces;
    size_t run = 0;  // the first cluster not yet in a piece
    auto close = [&](size_t last) {
      if (last <= run) return;
      TPiece piece{run, last, TPiece::Laid};
      if (!NeedsShaping(PieceText(shaped, piece))) piece.Kind = TPiece::Units;
      pieces.push_back(piece);
    };
    for (size_t k = 0; k < shaped.Clusters.size(); ++k) {
      const auto& c = shaped.Clusters[k];
      const StringView text = StringView(shaped.Text).substr(c.ComposedFrom, c.ComposedTo - c.ComposedFrom);
      const bool tab = text == u"\t" || text == u"\u2028";
      if (!tab && (!NeedsShaping(text) || !Lacks(text))) continue;
      close(k);
      pieces.push_back({k, k + 1, tab ? TPiece::Units : TPiece::Missing});
      run = k + 1;
    }
    close(shaped.Clusters.size());
    return pieces;
  }

  // Each character of a cluster no face holds: the default glyph where no face holds it, else
  // as a character that needs no shaping; `each(unit, length, advance)`.
  template <class Each>
  void MissingUnits(StringView text, Each&& each) const {
    for (size_t i = 0; i < text.size();) {
      const size_t n = i + 1 < text.size() && QChar::isHighSurrogate(text[i]) && QChar::isLowSurrogate(text[i + 1]) ? 2 : 1;
      const bool held = n == 1 && !NoFaceHolds(text[i]);
      each(i, n, held ? Advance(text[i]) : DefaultAdvance(), held);
      i += n;
    }
  }

  void LayPieces(TShapedText& shaped) const {
    for (const TPiece& piece : Pieces(shaped)) {
      const int x = Start(shaped, piece);
      if (piece.Kind == TPiece::Laid) {
        LayOut(shaped, piece, x);
        continue;
      }
      int end = x;
      for (size_t k = piece.First; k < piece.Last; ++k) {
        auto& c = shaped.Clusters[k];
        const StringView text = StringView(shaped.Text).substr(c.ComposedFrom, c.ComposedTo - c.ComposedFrom);
        if (piece.Kind == TPiece::Missing)
          MissingUnits(text, [&](size_t, size_t, int advance, bool) { end += advance; });
        else
          for (Char u : text) end += Advance(u);
        c.Through = c.End = end;
      }
    }
    shaped.Width = shaped.Clusters.empty() ? 0 : shaped.Clusters.back().End;
  }

  // Lays out a piece that needs shaping from `x` on. The toolkit's glyph runs for one cluster cost
  // a walk over every item (run of one script and direction) of the line and over the item's
  // glyphs before the cluster, and a name mixing scripts has an item for every few letters: a long
  // piece is laid out in segments of some clusters, cut only where the toolkit starts a new item
  // anyway, between two letters that are not of one script or not of one direction, or after a
  // space between two words of one direction, which no shaping reaches across, so that each
  // segment shapes as it does within the whole. Explicit embeddings, overrides and isolates reach
  // across any such place: a piece that holds one is laid out whole.
  void LayOut(TShapedText& shaped, const TPiece& piece, int x) const {
    static constexpr size_t SegmentClusters = 64;
    bool embeds = false;
    for (Char u : PieceText(shaped, piece)) embeds = embeds || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
    auto first = [&](size_t k) { return At(shaped.Text, shaped.Clusters[k].ComposedFrom); };
    double end = 0, through = 0;
    for (size_t from = piece.First; from < piece.Last;) {
      size_t to = piece.Last;
      for (size_t k = from + SegmentClusters; !embeds && k < piece.Last; ++k)
        if (NewItem(first(k - 1), first(k)) || (first(k - 1) == u' ' && Word(first(k - 2), first(k)))) {
          to = k;
          break;
        }
      LaySegment(shaped, from, to, x, end, through);
      from = to;
    }
  }
  static char32_t At(StringView s, size_t i) {
    if (i + 1 < s.size() && QChar::isHighSurrogate(s[i]) && QChar::isLowSurrogate(s[i + 1])) return QChar::surrogateToUcs4(s[i], s[i + 1]);
    return s[i];
  }
  // Whether the toolkit starts a new item between a letter `before` and a letter `next` in a
  // left-to-right paragraph without embeddings: a right-to-left letter lies one level up from a
  // left-to-right one and a number (which lies at 0 or 2) on either side of it; letters of two
  // scripts at one level are two items.
  static bool NewItem(char32_t before, char32_t next) {
    auto leftward = [](QChar::Direction d) { return d == QChar::DirR || d == QChar::DirAL; };
    const QChar::Direction b = QChar::direction(before), n = QChar::direction(next);
    const bool number = b == QChar::DirEN || b == QChar::DirAN;
    if ((n != QChar::DirL && !leftward(n)) || (b != QChar::DirL && !leftward(b) && !number)) return false;
    if (leftward(b) != leftward(n)) return true;
    const QChar::Script sb = QChar::script(before), sn = QChar::script(next);
    return !number && sb != sn && sb > QChar::Script_Common && sn > QChar::Script_Common;
  }

  // Whether `before` and `next` are letters of one direction.
  static bool Word(char32_t before, char32_t next) {
    auto strong = [](QChar::Direction d) { return d == QChar::DirAL ? QChar::DirR : d; };
    const QChar::Direction b = strong(QChar::direction(before)), n = strong(QChar::direction(next));
    return b == n && (n == QChar::DirL || n == QChar::DirR);
  }

  // Lays out clusters [first, last) of `shaped` as one line from `x` on; `end` and `through` run on
  // from the clusters before.
  void LaySegment(TShapedText& shaped, size_t first, size_t last, int x, double& end, double& through) const {
    const size_t from = shaped.Clusters[first].ComposedFrom;
    const auto layout = LayoutOf(StringView(shaped.Text).substr(from, shaped.Clusters[last - 1].ComposedTo - from));
    struct TGlyph {
      double Advance{0};
      int Clusters{0};
    };
    // Glyphs by face, index and place; a cluster's glyphs with their advances. A face is told by
    // its identity, never by its names, which the toolkit's stand-in face lacks.
    std::vector<std::pair<QRawFont, quint32>> faces;  // with the glyph of its space
    std::map<std::tuple<size_t, quint32, qint64, qint64>, TGlyph> glyphs;
    std::vector<std::vector<TGlyph*>> of(last - first);
    for (size_t k = first; k < last; ++k) {
      const auto& c = shaped.Clusters[k];
      // The shaper puts its space glyph, with no advance, where a character shows nothing; the
      // glyph's own advance is a space's. A cluster of such characters alone takes no room at all.
      bool spaces = false, shows = false, hides = false;
      EachCharacter(StringView(shaped.Text).substr(c.ComposedFrom, c.ComposedTo - c.ComposedFrom), [&](char32_t u) {
        spaces = spaces || u == u' ';
        (DefaultIgnorable(u) ? hides : shows) = true;
      });
      for (const QGlyphRun& run : layout->lineAt(0).glyphRuns(static_cast<int>(c.ComposedFrom - from), static_cast<int>(c.ComposedTo - c.ComposedFrom))) {
        const QRawFont font = run.rawFont();
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        const QList<QPointF> advances = font.advancesForGlyphIndexes(indexes);
        if (!font.isValid() || positions.size() != indexes.size() || advances.size() != indexes.size()) continue;
        const size_t face = static_cast<size_t>(std::find_if(faces.begin(), faces.end(), [&](const auto& f) { return f.first == font; }) - faces.begin());
        if (face == faces.size()) faces.emplace_back(font, font.glyphIndexesForString(QStringLiteral(" ")).value(0));
        for (qsizetype i = 0; i < indexes.size(); ++i) {
          auto key = std::make_tuple(face, indexes[i], std::llround(positions[i].x() * 64), std::llround(positions[i].y() * 64));
          TGlyph& g = glyphs[key];
          const bool hidden = hides && (!shows || (!spaces && indexes[i] == faces[face].second));
          g.Advance = hidden ? 0 : advances[i].x();
          ++g.Clusters;
          of[k - first].push_back(&g);
        }
      }
    }
    // A glyph that moves the pen back (a font's own positioning) never makes an extent shrink.
    for (size_t k = first; k < last; ++k) {
      for (const TGlyph* g : of[k - first]) end += g->Advance / g->Clusters;
      through = std::max(through, end);
      auto& c = shaped.Clusters[k];
      c.Through = x + through;
      c.End = x + static_cast<Integer>(std::lround(through));
    }
  }

  // Text that needs shaping drawn as the toolkit draws it, its baseline on the face's.
  void DrawLaidOut(StringView text, TRun& run) const {
    const auto layout = LayoutOf(text);
    const QTextLine line = layout->lineAt(0);
    double width = 0;
    for (const QGlyphRun& glyphs : line.glyphRuns())
      for (const QPointF& a : glyphs.rawFont().advancesForGlyphIndexes(glyphs.glyphIndexes())) width += std::max(0.0, a.x());
    run.Width = static_cast<int>(std::ceil(width)) + 2 * run.Margin;
    run.Coverage.assign(static_cast<size_t>(run.Width) * run.Height, 0);
    QImage img(run.Coverage.data(), run.Width, run.Height, run.Width, QImage::Format_Alpha8);
    QPainter p(&img);
    p.setPen(Qt::black);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    for (int k = 0; k <= Embolden; ++k)
      layout->draw(&p, QPointF(run.Margin + k, run.Margin + Tm.tmAscent - line.ascent()));
  }

  // Each piece drawn where it is measured to start.
  void DrawPieces(const TShapedText& shaped, const std::vector<TPiece>& pieces, TRun& run) const {
    std::vector<std::shared_ptr<const TRun>> drawn(pieces.size());
    run.Width = shaped.Width + 2 * run.Margin;
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (pieces[i].Kind == TPiece::Missing) continue;
      drawn[i] = RunOf(PieceText(shaped, pieces[i]));
      run.Width = std::max(run.Width, Start(shaped, pieces[i]) + drawn[i]->Width);
    }
    run.Coverage.assign(static_cast<size_t>(run.Width) * run.Height, 0);
    const int baseline = run.Margin + Tm.tmAscent;
    for (size_t i = 0; i < pieces.size(); ++i) {
      const int x = Start(shaped, pieces[i]);
      if (drawn[i]) {
        for (int y = 0; y < run.Height; ++y)
          for (int rx = 0; rx < drawn[i]->Width; ++rx) {
            const int cov = drawn[i]->Coverage[static_cast<size_t>(y) * drawn[i]->Width + rx];
            if (cov == 0) continue;
            Byte& to = run.Coverage[static_cast<size_t>(y) * run.Width + x + rx];
            to = static_cast<Byte>(to + cov - (to * cov + 127) / 255);
          }
        continue;
      }
      int pos = run.Margin + x;
      MissingUnits(PieceText(shaped, pieces[i]), [&](size_t at, size_t, int advance, bool held) {
        const Char unit = PieceText(shaped, pieces[i])[at];
        const auto glyph = held ? (unit == u' ' ? nullptr : GlyphOf(unit)) : DefaultGlyph();
        if (glyph)
          for (int k = 0; k <= Embolden; ++k) Lay(run, *glyph, pos + k, baseline);
        pos += advance;
      });
    }
  }

  std::shared_ptr<const TRun> RunOf(StringView text) const {
    {
      std::lock_guard lock(RunMutex);
      auto it = Runs.find(text);
      if (it != Runs.end()) {
        RunOrder.splice(RunOrder.begin(), RunOrder, it->second);
        return it->second->second;
      }
    }
    auto run = std::make_shared<TRun>();
    run->Margin = Tm.tmHeight / 2 + 1;
    run->Height = Tm.tmHeight + 2 * run->Margin;
    if (!NeedsShaping(text)) {
      DrawUnits(text, *run);
    } else {
      const auto shaped = Shape(text);
      const auto pieces = Pieces(*shaped);
      if (pieces.size() == 1 && pieces[0].Kind == TPiece::Laid)
        DrawLaidOut(shaped->Text, *run);
      else
        DrawPieces(*shaped, pieces, *run);
    }
    return Keep(text, std::move(run));
  }

  void DrawUnits(StringView text, TRun& run) const {
    int width = 0;
    for (Char ch : text) width += Advance(ch);
    run.Width = width + 2 * run.Margin;
    run.Coverage.assign(static_cast<size_t>(run.Width) * run.Height, 0);
    // One character at a time, so that drawn positions add up exactly as measured ones do. The
    // toolkit shapes each one anew, which made new captions (a scroll, a filled list) the larger
    // part of a paint: a character is drawn once and its coverage laid at each place it appears,
    // as the toolkit would have laid it there.
    std::vector<std::shared_ptr<const TGlyph>> glyphs;
    glyphs.reserve(text.size());
    bool bounded = true;
    for (Char ch : text) {
      glyphs.push_back(ch == u' ' ? nullptr : GlyphOf(ch));
      if (glyphs.back()) bounded = bounded && glyphs.back()->Bounded;
    }
    const int baseline = run.Margin + Tm.tmAscent;
    if (bounded) {
      int pos = run.Margin;
      for (size_t i = 0; i < text.size(); ++i) {
        if (glyphs[i])
          for (int k = 0; k <= Embolden; ++k) Lay(run, *glyphs[i], pos + k, baseline);
        pos += Advance(text[i]);
      }
    } else {
      QImage img(run.Coverage.data(), run.Width, run.Height, run.Width, QImage::Format_Alpha8);
      QPainter p(&img);
      p.setFont(Font);
      p.setPen(Qt::black);
      p.setRenderHint(QPainter::TextAntialiasing, true);
      int pos = run.Margin;
      for (Char ch : text) {
        if (ch != u' ')
          for (int k = 0; k <= Embolden; ++k) p.drawText(QPointF(pos + k, baseline), QString(QChar(ch)));
        pos += Advance(ch);
      }
    }
  }

  std::shared_ptr<const TRun> Keep(StringView text, std::shared_ptr<TRun> run) const {
    const size_t bytes = run->Coverage.size() + text.size() * sizeof(Char);
    std::lock_guard lock(RunMutex);
    auto it = Runs.find(text);
    if (it != Runs.end()) return it->second->second;  // another thread drew it meanwhile
    RunOrder.emplace_front(String(text), run);
    Runs.emplace(RunOrder.front().first, RunOrder.begin());
    RunBytes += bytes;
    while (RunBytes > RunCacheBytes && RunOrder.size() > 1) {
      auto& last = RunOrder.back();
      RunBytes -= last.second->Coverage.size() + last.first.size() * sizeof(Char);
      Runs.erase(last.first);
      RunOrder.pop_back();
    }
    return run;
  }

  QFont Font;
  TEXTMETRICW Tm;
  // Pixels a bold face without bold glyphs is widened by, drawn over again one pixel apart as
  // FreeType emboldens a bitmap glyph.
  int Embolden{0};
  mutable std::mutex Mutex;
  // Every UTF-16 unit's advance, -1 until measured.
  mutable std::unique_ptr<std::atomic<int16_t>[]> Advances = NewAdvances();
  static std::unique_ptr<std::atomic<int16_t>[]> NewAdvances() {
    auto a = std::make_unique<std::atomic<int16_t>[]>(0x10000);
    for (size_t i = 0; i < 0x10000; ++i) a[i].store(-1, std::memory_order_relaxed);
    return a;
  }
  mutable std::mutex RunMutex;
  mutable TRunList RunOrder;
  mutable std::unordered_map<String, TRunList::iterator, TRunHash, std::equal_to<>> Runs;
  mutable size_t RunBytes{0};
  mutable std::unordered_map<Char, std::shared_ptr<const TGlyph>> Glyphs;
  mutable std::shared_ptr<const TGlyph> Default;  // the default glyph, once drawn
  mutable std::unordered_map<String, std::shared_ptr<const TShapedText>, TRunHash, std::equal_to<>> Shapes;
  // The face alone, without the toolkit's fallback, and the advance of its default glyph (-1 until
  // measured); read under Mutex.
  QRawFont Face;
  mutable int DefaultWidth{-1};
};

struct FactoryState {
  std::mutex Mutex;
  TFontSourceFactory Factory;
  unsigned Generation{1};
  std::map<std::tuple<String, LONG, LONG, BYTE>, std::shared_ptr<TFontSource>> Cache;
};
FactoryState& Factories() {
  static FactoryState s;
  return s;
}

int MarlettCell(LONG height) {
  if (height < 0) return -height;
  if (height > 0) return height;
  return 13;
}

std::shared_ptr<TFontSource> DefaultSource(const LOGFONTW& lf) {
  String face = FaceOf(lf);
  if (IsMarlettFace(face)) return MakeMarlettSource(MarlettCell(lf.lfHeight));
  // Without the toolkit (a tool that measures only) the fixed metrics stand in.
  if (!QGuiApplication::instance()) return MakeFixedFontSource(TFixedFontMetrics{});
  auto& st = Factories();
  auto key = std::make_tuple(String(), lf.lfHeight, lf.lfWeight >= 600 ? 700 : 400, lf.lfItalic);
  std::lock_guard lock(st.Mutex);
  auto it = st.Cache.find(key);
  if (it != st.Cache.end()) return it->second;
  auto src = std::make_shared<QtSource>(lf);
  st.Cache.emplace(key, src);
  return src;
}

}  // namespace

bool IsMarlettFace(StringView face) {
  static constexpr std::u16string_view name = u"marlett";
  if (face.size() != name.size()) return false;
  for (size_t i = 0; i < face.size(); ++i) {
    Char c = face[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<Char>(c + 32);
    if (c != name[i]) return false;
  }
  return true;
}

std::shared_ptr<TFontSource> MakeFixedFontSource(const TFixedFontMetrics& metrics) {
  return std::make_shared<FixedSource>(metrics);
}

TFontSourceFactory FixedFontSourceFactory(const TFixedFontMetrics& metrics) {
  auto fixed = MakeFixedFontSource(metrics);
  return [fixed](const LOGFONTW& lf) -> std::shared_ptr<TFontSource> {
    if (IsMarlettFace(FaceOf(lf))) return MakeMarlettSource(MarlettCell(lf.lfHeight));
    return fixed;
  };
}

std::shared_ptr<TFontSource> MakeMarlettSource(Integer cellSize) { return std::make_shared<MarlettSource>(cellSize); }

void SetFontSourceFactory(TFontSourceFactory factory) {
  auto& st = Factories();
  std::lock_guard lock(st.Mutex);
  st.Factory = std::move(factory);
  ++st.Generation;
}

namespace {

// Offset of the table `tag` in a TrueType file, or -1.
qsizetype TableAt(const QByteArray& file, const char* tag, qsizetype length) {
  auto u16 = [&](qsizetype at) { return (static_cast<unsigned>(static_cast<uint8_t>(file[at])) << 8) | static_cast<uint8_t>(file[at + 1]); };
  if (file.size() < 12) return -1;
  const qsizetype tables = u16(4);
  for (qsizetype i = 0; i < tables; ++i) {
    const qsizetype record = 12 + 16 * i;
    if (record + 16 > file.size()) return -1;
    if (file.mid(record, 4) != tag) continue;
    const qsizetype at = static_cast<qsizetype>((u16(record + 8) << 16) | u16(record + 10));
    return at >= 0 && at + length <= file.size() ? at : -1;
  }
  return -1;
}

// Whether two faces draw the same outlines for a few letters of differing stems.
bool SameOutlines(const QByteArray& a, const QByteArray& b) {
  QRawFont ra(a, 48), rb(b, 48);
  if (!ra.isValid() || !rb.isValid()) return false;
  const QString probe = QStringLiteral("lHoM");
  const QList<quint32> ga = ra.glyphIndexesForString(probe), gb = rb.glyphIndexesForString(probe);
  if (ga.size() != gb.size()) return false;
  for (qsizetype i = 0; i < ga.size(); ++i)
    if (ga[i] == 0 || ra.pathForGlyph(ga[i]) != rb.pathForGlyph(gb[i])) return false;
  return true;
}

// Wine's Tahoma Bold (fonts-wine) carries the bold advances over the regular outlines. Registered
// as it is, the toolkit takes it for a real bold face and its widgets draw thin strokes wide apart.
// Marked a step below bold (weight 600, the bold flags cleared), it is still the face a bold font
// finds, its advances kept, and the toolkit's FreeType engine emboldens its strokes as it does for
// any face lighter than bold that a bold font lands on.
QByteArray LighterThanBold(QByteArray file) {
  const qsizetype os2 = TableAt(file, "OS/2", 64), head = TableAt(file, "head", 46);
  if (os2 < 0 || head < 0) return {};
  file[os2 + 4] = 0x02;  // usWeightClass 600
  file[os2 + 5] = 0x58;
  file[os2 + 63] = static_cast<char>(static_cast<uint8_t>(file[os2 + 63]) & ~0x20);  // fsSelection: bold
  file[head + 45] = static_cast<char>(static_cast<uint8_t>(file[head + 45]) & ~0x01);  // macStyle: bold
  return file;
}

}  // namespace

namespace gdi {

namespace {
bool BoldFileLighter = false;
}

int UiBoldWeight() {
  UiFamily();
  return BoldFileLighter ? QFont::DemiBold : QFont::Bold;
}

QString UiFamily() {
  static const QString family = [] {
    const QString tahoma = QStringLiteral("Tahoma");
    if (QFontDatabase::families().contains(tahoma)) return tahoma;
    // fonts-wine keeps its faces out of fontconfig's folders, for Wine alone: the program adds
    // them for itself.
    const QString regularFile = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
    const QString boldFile = QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf");
    auto read = [](const QString& name) {
      QFile file(name);
      return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    bool added = false;
    auto note = [&](int id) { added = added || (id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(tahoma)); };
    if (QFile::exists(regularFile)) note(QFontDatabase::addApplicationFont(regularFile));
    if (QFile::exists(boldFile)) {
      const QByteArray regular = read(regularFile), bold = read(boldFile);
      const QByteArray lighter = SameOutlines(regular, bold) ? LighterThanBold(bold) : QByteArray();
      BoldFileLighter = !lighter.isEmpty();
      note(BoldFileLighter ? QFontDatabase::addApplicationFontFromData(lighter) : QFontDatabase::addApplicationFont(boldFile));
    }
    return added ? tahoma : QStringLiteral("DejaVu Sans Condensed");
  }();
  return family;
}

FontObj* CurrentFont(HDC dc) {
  // Alive while selected, as TargetOf explains.
  if (dc->S.Font && dc->S.Font->ObjType == OBJ_FONT) return static_cast<FontObj*>(dc->S.Font);
  return AsFont(GetStockObject(SYSTEM_FONT));
}

std::shared_ptr<TFontSource> SourceOf(FontObj* font) {
  // Stock fonts are shared by every thread that draws: realising one is done under a lock, and
  // callers keep the source they got even if another thread realises the font anew.
  static std::mutex realise;
  std::lock_guard guard(realise);
  auto& st = Factories();
  TFontSourceFactory factory;
  unsigned generation;
  {
    std::lock_guard lock(st.Mutex);
    generation = st.Generation;
    if (font->Source && font->SourceGeneration == generation) return font->Source;
    factory = st.Factory;
  }
  std::shared_ptr<TFontSource> src = factory ? factory(font->Log) : nullptr;
  if (!src) src = DefaultSource(font->Log);
  font->Source = src;
  font->SourceGeneration = generation;
  return src;
}

}  // namespace gdi

}  // namespace pf
