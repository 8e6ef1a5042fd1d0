#pragma once
// Where the canvas gets its fonts. A font source realises one LOGFONT: its metrics, the advance of
// each character (extents add up, without kerning, as GDI's do) and the coverage of drawn text.
// Text that needs shaping (NeedsShaping) is laid out by the source as a whole instead (Shape).
// The program uses its one face (Tahoma) through the toolkit; tests install the fixed-metrics
// source, in which every character has the same advance unless a table says otherwise.

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/gdi/Gdi.h"

namespace pf {

// Coverage of drawn text, 0 (none) to 255 (full), one byte per pixel, rows top-down.
struct TGlyphMask {
  Integer Width{0};
  Integer Height{0};
  std::vector<Byte> Coverage;
  Byte& At(Integer x, Integer y) { return Coverage[static_cast<size_t>(y) * Width + x]; }
};

// A run of text a source drew and keeps: Height rows of Width bytes of coverage from Data, the
// first cell's top-left corner at (Margin, Margin); Keep holds it while it is read.
struct TRunCoverage {
  const Byte* Data{nullptr};
  Integer Width{0};
  Integer Height{0};
  Integer Margin{0};
  std::shared_ptr<const void> Keep;
};

// Whether `text` must be laid out as a whole rather than one UTF-16 unit at a time: it holds a
// combining mark, a surrogate, a letter of a right-to-left or other complex script, a joiner, a
// variation selector or a directional mark. Every caption is asked, so the answer costs a look at
// each unit.
bool NeedsShaping(StringView text);

// Text that needs shaping, laid out. Each grapheme cluster is composed canonically where the face
// holds the composed characters, as a shaper composes them, so that a decomposed name draws and
// measures as the composed one; a cut of the text falls only between clusters.
struct TShapedText {
  struct TCluster {
    size_t From{0}, To{0};                  // its units in the given text
    size_t ComposedFrom{0}, ComposedTo{0};  // and in Text
    Integer End{0};                         // the extent of the text from its start through this cluster
    double Through{0};                      // the same before rounding (End is its nearest whole)
  };
  String Text;  // what is drawn: the clusters composed
  std::vector<TCluster> Clusters;
  Integer Width{0};
};

class TFontSource {
public:
  virtual ~TFontSource() = default;
  virtual TEXTMETRICW Metrics() const = 0;
  virtual Integer Advance(Char ch) const = 0;
  // Draws `text` with the top-left corner of its first cell at (x, y) of `mask`, each character
  // at the sum of the advances before it.
  virtual void Render(StringView text, TGlyphMask& mask, Integer x, Integer y) const = 0;
  // The coverage Render lays for `text`, where the source keeps its drawn runs; false otherwise.
  virtual bool RunCoverage(StringView, TRunCoverage&) const { return false; }
  // `text`, which needs shaping, laid out: by default the units of its composed clusters one after
  // another, each at the sum of the advances before it, as Render draws them.
  virtual std::shared_ptr<const TShapedText> Shape(StringView text) const;
  // Where the glyphs of cluster `k` of `shaped` lie, from the left end of the drawn text: by
  // default from the end of the cluster before it to its own.
  virtual std::pair<Integer, Integer> Span(const TShapedText& shaped, size_t k) const;

protected:
  // Splits `text` into its grapheme clusters and composes each where `held` holds every character
  // of the composed form; the extents are left to the caller.
  static TShapedText Compose(StringView text, const std::function<bool(char32_t)>& held);
  // The extents of composed text laid out unit by unit.
  void LayUnits(TShapedText& shaped) const;
};

using TFontSourceFactory = std::function<std::shared_ptr<TFontSource>(const LOGFONTW&)>;

// Replaces the source of every font realised from now on (nil: the default one). Fonts already
// made keep theirs until they are made again, so tests set it before they make fonts.
void SetFontSourceFactory(TFontSourceFactory factory);

// Metrics of the fixed source. Glyphs are drawn as solid boxes: one pixel in from each side of the
// advance, from the row below the internal leading to the baseline; spaces draw nothing.
struct TFixedFontMetrics {
  Integer Advance{8};
  Integer Height{16};
  Integer Ascent{13};
  Integer AveCharWidth{7};
  Integer MaxCharWidth{8};
  Integer InternalLeading{3};
  std::map<Char, Integer> Advances;  // characters with another advance
};
std::shared_ptr<TFontSource> MakeFixedFontSource(const TFixedFontMetrics& metrics);
// A factory answering the fixed source for every font except the check-box glyph face ("marlett"),
// which keeps the layer's glyph painter.
TFontSourceFactory FixedFontSourceFactory(const TFixedFontMetrics& metrics);

// The glyph painter that stands in for the Marlett face: square cells of the font's pixel height;
// check-box glyphs "g" (background), "c"/"d" (outer frame, top-left / bottom-right), "e"/"f"
// (inner frame), "b" (tick); radio-button glyphs "n", "j"/"k", "l"/"m", "i" (dot).
std::shared_ptr<TFontSource> MakeMarlettSource(Integer cellSize);
bool IsMarlettFace(StringView face);

}  // namespace pf
