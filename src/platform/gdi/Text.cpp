// Text metrics, extents, text output and DrawText.

#include <algorithm>
#include <vector>

#include "platform/gdi/Gdi_p.h"
#include "platform/rtl/Strings.h"

namespace pf {

using namespace gdi;

namespace {

std::shared_ptr<TFontSource> Source(HDC dc) { return SourceOf(CurrentFont(dc)); }

int Width(TFontSource& src, StringView s) {
  if (NeedsShaping(s)) return src.Shape(s)->Width;
  int w = 0;
  for (Char c : s) w += src.Advance(c);
  return w;
}

// Where a text may be cut: the end of each of its clusters, in units, and the extent of the text
// through it, also before rounding. Each unit of text that needs no shaping is a cluster of its own.
struct TCut {
  size_t End;
  int Extent;
  double Through;
};
std::vector<TCut> Cuts(TFontSource& src, StringView s) {
  std::vector<TCut> cuts;
  if (NeedsShaping(s)) {
    for (const auto& c : src.Shape(s)->Clusters) cuts.push_back({c.To, c.End, c.Through});
  } else {
    int w = 0;
    for (size_t i = 0; i < s.size(); ++i) {
      w += src.Advance(s[i]);
      cuts.push_back({i + 1, w, static_cast<double>(w)});
    }
  }
  return cuts;
}

// Fills what the options and the background mode ask for behind a text `width` wide whose cell's
// top-left corner lies at `origin` (target coordinates), and answers where its glyphs may show.
QRegion TextArea(HDC dc, QPoint origin, UINT options, const TRect* rect, int width, int height) {
  QRegion clip(QRect(-1000000, -1000000, 2000000, 2000000));
  if (rect && (options & ETO_CLIPPED)) clip = QRegion(ToTarget(dc, *rect));
  if (rect && (options & ETO_OPAQUE)) FillRegion(dc, QRegion(ToTarget(dc, *rect)) & PaintableRegion(dc), dc->S.BkColor);
  QRect cell(origin, QSize(width, height));
  if (dc->S.BkMode == OPAQUE && width > 0) FillRegion(dc, QRegion(cell) & clip, dc->S.BkColor);
  return clip & PaintableRegion(dc) & cell;
}

// The font's underline and strike-out over the text from `shift` on, and the mnemonic's underline
// from `from` to `to`.
void DrawRules(TGlyphMask& mask, const LOGFONTW& lf, const TEXTMETRICW& tm, int shift, int width, int from, int to) {
  auto line = [&](int row, int left, int right) {
    if (row < 0 || row >= mask.Height) return;
    for (int xx = std::max(0, left); xx < std::min(mask.Width, right); ++xx) mask.At(xx, row) = 255;
  };
  if (lf.lfUnderline) line(tm.tmAscent + 1, shift, shift + width);
  if (lf.lfStrikeOut) line(tm.tmAscent - tm.tmAscent / 3, shift, shift + width);
  if (from < to) line(tm.tmAscent + 1, from, to);
}

void OutputShaped(HDC dc, int x, int y, UINT options, const TRect* rect, StringView text, const int* dx,
                  int underlineIndex);

// Draws one run of text with its cell's top-left corner at logical (x, y).
void OutputText(HDC dc, int x, int y, UINT options, const TRect* rect, StringView text, const int* dx,
                int underlineIndex = -1) {
  if (NeedsShaping(text)) {
    OutputShaped(dc, x, y, options, rect, text, dx, underlineIndex);
    return;
  }
  FontObj* font = CurrentFont(dc);
  auto holder = SourceOf(font);
  TFontSource& src = *holder;
  TEXTMETRICW tm = src.Metrics();
  std::vector<int> adv(text.size());
  int width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    adv[i] = dx ? dx[i] : src.Advance(text[i]);
    width += adv[i];
  }
  QPoint origin = ToTarget(dc, x, y);
  QRegion visible = TextArea(dc, origin, options, rect, width, tm.tmHeight);
  if (visible.isEmpty() || text.empty()) return;
  // Only the visible part of a long run is rendered.
  QRect vb = visible.boundingRect();
  int shift = origin.x() - vb.left();
  // Without spacing of the caller's, rendering starts at the first character that shows.
  size_t first = 0, last = 0;
  int pos = shift;
  if (!dx) {
    while (first < text.size() && pos + adv[first] <= 0) pos += adv[first++];
    last = first;
    int end = pos;
    while (last < text.size() && end < vb.width()) end += adv[last++];
  }
  const bool marked = font->Log.lfUnderline || font->Log.lfStrikeOut ||
                      (underlineIndex >= 0 && underlineIndex < static_cast<int>(text.size()));
  TRunCoverage run;
  if (!dx && !marked && last > first && src.RunCoverage(text.substr(first, last - first), run)) {
    // Every caption of a list is plain text: the run the source keeps is blended where it lies
    // instead of being copied into a mask of the visible part first, which would hold exactly
    // that coverage and nothing else.
    const int left = pos - run.Margin, top = -run.Margin;
    const int x0 = std::max(0, -left), x1 = std::min(run.Width, vb.width() - left);
    const int y0 = std::max(0, -top), y1 = std::min(run.Height, tm.tmHeight - top);
    TCoverageView view;
    view.Size = QSize(vb.width(), tm.tmHeight);
    view.Stride = run.Width;
    if (x1 > x0 && y1 > y0) {
      view.Inked = QRect(left + x0, top + y0, x1 - x0, y1 - y0);
      view.Data = run.Data + static_cast<ptrdiff_t>(y0) * run.Width + x0;
    }
    BlendCoverage(dc, view, QPoint(vb.left(), origin.y()), visible, dc->S.TextColor);
    return;
  }
  TGlyphMask mask;
  mask.Width = vb.width();
  mask.Height = tm.tmHeight;
  mask.Coverage.assign(static_cast<size_t>(mask.Width) * mask.Height, 0);
  if (dx) {
    for (size_t i = 0; i < text.size(); ++i) {
      if (pos + adv[i] > 0 && pos < mask.Width) src.Render(text.substr(i, 1), mask, pos, 0);
      pos += adv[i];
    }
  } else {
    src.Render(text.substr(first, last - first), mask, pos, 0);
  }
  int from = 0, to = 0;
  if (underlineIndex >= 0 && underlineIndex < static_cast<int>(text.size())) {
    from = shift;
    for (int i = 0; i < underlineIndex; ++i) from += adv[static_cast<size_t>(i)];
    to = from + adv[static_cast<size_t>(underlineIndex)];
  }
  DrawRules(mask, font->Log, tm, shift, width, from, to);
  BlendMask(dc, mask, QPoint(vb.left(), origin.y()), visible, dc->S.TextColor);
}

// Text that needs shaping, drawn as its source lays it out; where its clusters composed need no
// shaping, exactly as that composed text. With spacing of the caller's, each cluster is laid out
// on its own at its place.
void OutputShaped(HDC dc, int x, int y, UINT options, const TRect* rect, StringView text, const int* dx,
                  int underlineIndex) {
  FontObj* font = CurrentFont(dc);
  auto holder = SourceOf(font);
  TFontSource& src = *holder;
  const auto shaped = src.Shape(text);
  const TShapedText::TCluster* mnemonic = nullptr;
  for (const auto& c : shaped->Clusters)
    if (underlineIndex >= static_cast<int>(c.From) && underlineIndex < static_cast<int>(c.To)) mnemonic = &c;
  const size_t mnemonicIndex = mnemonic ? static_cast<size_t>(mnemonic - shaped->Clusters.data()) : 0;
  if (!dx && !NeedsShaping(shaped->Text)) {
    OutputText(dc, x, y, options, rect, shaped->Text, nullptr, mnemonic ? static_cast<int>(mnemonic->ComposedFrom) : -1);
    return;
  }
  const TEXTMETRICW tm = src.Metrics();
  std::vector<int> at(shaped->Clusters.size() + 1, 0);  // with spacing: where each cluster starts
  int width = shaped->Width;
  if (dx) {
    size_t i = 0;
    for (size_t k = 0; k < shaped->Clusters.size(); ++k)
      for (at[k + 1] = at[k]; i < shaped->Clusters[k].To; ++i) at[k + 1] += dx[i];
    width = at.back();
  }
  const QPoint origin = ToTarget(dc, x, y);
  const QRegion visible = TextArea(dc, origin, options, rect, width, tm.tmHeight);
  if (visible.isEmpty()) return;
  const QRect vb = visible.boundingRect();
  const int shift = origin.x() - vb.left();
  TGlyphMask mask;
  mask.Width = vb.width();
  mask.Height = tm.tmHeight;
  mask.Coverage.assign(static_cast<size_t>(mask.Width) * mask.Height, 0);
  int from = 0, to = 0;
  if (dx) {
    for (size_t k = 0; k < shaped->Clusters.size(); ++k) {
      const auto& c = shaped->Clusters[k];
      src.Render(src.Shape(text.substr(c.From, c.To - c.From))->Text, mask, shift + at[k], 0);
      if (&c == mnemonic) from = shift + at[k], to = shift + at[k + 1];
    }
  } else {
    src.Render(shaped->Text, mask, shift, 0);
    if (mnemonic) {
      const auto [left, right] = src.Span(*shaped, mnemonicIndex);
      from = shift + left, to = shift + right;
    }
  }
  DrawRules(mask, font->Log, tm, shift, width, from, to);
  BlendMask(dc, mask, QPoint(vb.left(), origin.y()), visible, dc->S.TextColor);
}

}  // namespace

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* tm) {
  if (!IsLiveDC(dc) || !tm) return 0;
  FontObj* f = CurrentFont(dc);
  *tm = SourceOf(f)->Metrics();
  tm->tmUnderlined = f->Log.lfUnderline;
  tm->tmStruckOut = f->Log.lfStrikeOut;
  return 1;
}

BOOL GetTextExtentPoint32W(HDC dc, const Char* text, int count, TSize* size) {
  if (!IsLiveDC(dc) || !size || count < 0 || (!text && count > 0)) return 0;
  auto holder = Source(dc);
  TFontSource& src = *holder;
  size->cx = Width(src, StringView(text ? text : u"", static_cast<size_t>(count)));
  size->cy = src.Metrics().tmHeight;
  return 1;
}

BOOL GetTextExtentExPointW(HDC dc, const Char* text, int count, int maxExtent, int* fit, int* dx, TSize* size) {
  if (!IsLiveDC(dc) || !size || count < 0 || (!text && count > 0)) return 0;
  auto holder = Source(dc);
  TFontSource& src = *holder;
  const StringView s(text ? text : u"", static_cast<size_t>(count));
  if (NeedsShaping(s)) {
    // A cluster fits whole or not at all, and its units share one extent: through its end.
    const auto shaped = src.Shape(s);
    size_t fitting = 0;
    for (const auto& c : shaped->Clusters) {
      if (fit && c.End > maxExtent) break;
      fitting = c.To;
      if (dx) std::fill(dx + c.From, dx + c.To, c.End);
    }
    if (fit) *fit = static_cast<int>(fitting);
    size->cx = shaped->Width;
    size->cy = src.Metrics().tmHeight;
    return 1;
  }
  int width = 0, fitting = 0;
  bool fits = true;
  for (int i = 0; i < count; ++i) {
    width += src.Advance(text[i]);
    fits = fits && (!fit || width <= maxExtent);
    if (!fits) continue;
    fitting = i + 1;
    if (dx) dx[i] = width;
  }
  if (fit) *fit = fitting;
  size->cx = width;
  size->cy = src.Metrics().tmHeight;
  return 1;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int count, TSize* size) {
  if (count < 0 || (!text && count > 0)) return 0;
  String w = CodePageToString(std::string_view(text ? text : "", static_cast<size_t>(count)), CP_ACP);
  return GetTextExtentPoint32W(dc, w.data(), static_cast<int>(w.size()), size);
}

BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const TRect* r, const Char* text, UINT count,
                 const int* dx) {
  if (!IsLiveDC(dc)) return 0;
  if (!TargetOf(dc).Valid()) return 1;
  StringView s(text ? text : u"", text ? count : 0);
  auto holder = Source(dc);
  TFontSource& src = *holder;
  TEXTMETRICW tm = src.Metrics();
  UINT align = dc->S.TextAlign;
  if (align & TA_UPDATECP) {
    x = dc->S.PenPos.X;
    y = dc->S.PenPos.Y;
  }
  int width = 0;
  if (dx)
    for (size_t i = 0; i < s.size(); ++i) width += dx[i];
  else
    width = Width(src, s);
  int left = x;
  if ((align & TA_CENTER) == TA_CENTER)
    left = x - width / 2;
  else if (align & TA_RIGHT)
    left = x - width;
  int top = y;
  if ((align & TA_BASELINE) == TA_BASELINE)
    top = y - tm.tmAscent;
  else if (align & TA_BOTTOM)
    top = y - tm.tmHeight;
  OutputText(dc, left, top, options, r, s, dx);
  if (align & TA_UPDATECP) dc->S.PenPos.X = (align & TA_RIGHT) ? x - width : x + width;
  return 1;
}

BOOL TextOutW(HDC dc, int x, int y, const Char* text, int count) {
  if (count < 0) return 0;
  return ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

// ---- DrawText ----

namespace {

const StringView Ellipsis = u"...";

// Lays the stretches of `s` between tabs one after another, each tab moving on to the next stop:
// calls `lay(part, from, pos)` for each (its place in `s` and where it starts) and answers the width.
template <class Lay>
int LayTabStretches(TFontSource& src, StringView s, int tabStop, Lay&& lay) {
  int w = 0;
  for (size_t from = 0;;) {
    const size_t tab = s.find(u'\t', from);
    const StringView part = s.substr(from, tab == StringView::npos ? StringView::npos : tab - from);
    lay(part, from, w);
    w += Width(src, part);
    if (tab == StringView::npos) return w;
    w = (w / tabStop + 1) * tabStop;
    from = tab + 1;
  }
}

int TabbedWidth(TFontSource& src, StringView s, bool tabs, int tabStop) {
  if (!tabs || tabStop <= 0) return Width(src, s);
  return LayTabStretches(src, s, tabStop, [](StringView, size_t, int) {});
}

// A line of DrawText and its width; -1: as it is drawn.
struct TLine {
  String Text;
  int Width{-1};
};

// The width of a line of a paragraph that starts with cluster `first`, through each of its
// clusters in turn. Both the breaking of a paragraph and the rectangle DT_CALCRECT answers for it
// measure a line by this one rule, so that the rectangle answered breaks the text into the same
// lines again: from the line's own start, the paragraph's extents before rounding, a tab moving on
// to the next stop when tabs are expanded.
class TLineWidth {
public:
  TLineWidth(const std::vector<TCut>& cuts, StringView p, size_t first, int tabStop)
      : Cuts(cuts), P(p), TabStop(tabStop), Origin(first ? cuts[first - 1].Through : 0) {}
  // The width through cluster `k`, the next one of the line.
  int Through(size_t k) {
    const size_t from = k ? Cuts[k - 1].End : 0;
    if (TabStop > 0 && P[from] == u'\t') {
      Base = Width = (Width / TabStop + 1) * TabStop;
      Origin = Cuts[k].Through;
    } else {
      Width = Base + static_cast<int>(std::lround(Cuts[k].Through - Origin));
    }
    return Width;
  }

private:
  const std::vector<TCut>& Cuts;
  StringView P;
  int TabStop;
  double Origin;  // the extent where the stretch since the last tab starts
  int Base{0}, Width{0};
};

// The start of `s` that fits `room` with what follows it (an ellipsis, the rest of a path), cut
// between clusters. A start of shaped text may measure more alone than within the whole (a letter
// takes its final form): the cut is measured as it is drawn.
// With tabs expanded (`tabStop` above 0), a tab in the kept text moves on to its stop there too.
String CutToFit(TFontSource& src, StringView s, int room, StringView after, int maxWidth, int tabStop) {
  const auto cuts = Cuts(src, s);
  TLineWidth line(cuts, s, 0, tabStop);
  size_t k = 0;
  while (room >= 0 && k < cuts.size() && line.Through(k) <= room) ++k;
  auto cut = [&](size_t n) { return String(s.substr(0, n ? cuts[n - 1].End : 0)) + String(after); };
  while (k > 0 && TabbedWidth(src, cut(k), tabStop > 0, tabStop) > maxWidth) --k;
  return cut(k);
}

String EndEllipsis(TFontSource& src, StringView s, int maxWidth, int tabStop) {
  if (TabbedWidth(src, s, tabStop > 0, tabStop) <= maxWidth) return String(s);
  return CutToFit(src, s, maxWidth - Width(src, Ellipsis), Ellipsis, maxWidth, tabStop);
}

// Keeps the part after the last path separator and as much of the beginning as fits.
String PathEllipsis(TFontSource& src, StringView s, int maxWidth, int tabStop) {
  if (TabbedWidth(src, s, tabStop > 0, tabStop) <= maxWidth) return String(s);
  size_t sep = s.find_last_of(u"\\/");
  if (sep == StringView::npos || sep == 0) return EndEllipsis(src, s, maxWidth, tabStop);
  StringView tail = s.substr(sep);
  const String after = String(Ellipsis) + String(tail);
  return CutToFit(src, s.substr(0, sep), maxWidth - Width(src, Ellipsis) - Width(src, tail), after, maxWidth, tabStop);
}

// Breaks one paragraph between words; a word wider than the line stays whole unless the caller
// asked for edit-control breaking. `tabStop` is 0 unless tabs are expanded.
std::vector<TLine> WrapParagraph(TFontSource& src, StringView p, int maxWidth, bool breakWords, int tabStop) {
  std::vector<TLine> lines;
  const auto cuts = Cuts(src, p);
  // Each line of a paragraph that needs shaping is drawn on its own, where a stretch that needs no
  // shaping by itself goes a character at a time and a reserved character the shaper hides shows:
  // it may draw wider than within its paragraph. Such a line ends, before the last place it fits
  // by the paragraph's extents if need be, where it fits as it is drawn too, and its width is the
  // wider of the two, so that within that width it breaks the same way again.
  const bool apart = NeedsShaping(p) && NeedsShaping(src.Shape(p)->Text);
  auto startOf = [&](size_t k) { return k ? cuts[k - 1].End : 0; };
  auto drawn = [&](size_t first, size_t last) {
    return TabbedWidth(src, p.substr(startOf(first), startOf(last) - startOf(first)), tabStop > 0, tabStop);
  };
  size_t pos = 0, k = 0;  // k: the cluster that starts at pos
  while (true) {
    const size_t first = k;
    TLineWidth line(cuts, p, k, tabStop);
    // A space that starts a cluster is where a line may end (one that a cluster holds, as after
    // an Arabic number sign, is not).
    int w = 0, beforeSpace = 0, next = 0;
    size_t i = pos, lastSpace = StringView::npos, spaceCluster = 0;
    bool runsOn = false;
    while (i < p.size()) {
      next = line.Through(k);
      if (next > maxWidth && i > pos) break;
      if (p[i] == u' ') lastSpace = i, spaceCluster = k, beforeSpace = w;
      w = next;
      i = cuts[k++].End;
    }
    if (i < p.size() && p[i] != u' ' && lastSpace != StringView::npos && lastSpace > pos) {
      i = lastSpace;
      k = spaceCluster;
      w = beforeSpace;
    } else if (i < p.size() && p[i] != u' ' && !breakWords) {
      // The word runs on to its end.
      for (w = next, i = cuts[k++].End; i < p.size() && p[i] != u' '; i = cuts[k++].End) w = line.Through(k);
      runsOn = true;
    }
    if (apart) {
      for (w = drawn(first, k); w > maxWidth && !runsOn;) {
        size_t back = 0;  // an earlier space, or breaking words, the cluster before
        for (size_t j = k - 1; j > first && !back; --j)
          if (p[startOf(j)] == u' ') back = j;
        if (!back && breakWords && k - 1 > first) back = k - 1;
        if (!back) break;
        k = back;
        w = drawn(first, k);
      }
      TLineWidth broken(cuts, p, first, tabStop);
      for (size_t j = first; j < k; ++j) w = std::max(w, broken.Through(j));
      i = startOf(k);
    }
    lines.push_back({String(p.substr(pos, i - pos)), w});
    // The spaces after a line start no other.
    while (k < cuts.size() && p[i] == u' ' && cuts[k].End == i + 1) i = cuts[k++].End;
    if (i >= p.size()) break;
    pos = i;
  }
  return lines;
}

}  // namespace

int DrawTextW(HDC dc, const Char* text, int count, TRect* r, UINT fmt) {
  if (!IsLiveDC(dc) || !r) return 0;
  if (!text) count = 0;
  if (count < 0) count = static_cast<int>(std::char_traits<Char>::length(text));
  auto holder = Source(dc);
  TFontSource& src = *holder;
  TEXTMETRICW tm = src.Metrics();
  int lineH = tm.tmHeight + ((fmt & 0x200) ? tm.tmExternalLeading : 0);
  bool tabs = (fmt & DT_EXPANDTABS) != 0;
  int tabStop = 8 * tm.tmAveCharWidth;

  // Mnemonic prefixes: "&x" underlines x, "&&" is one ampersand.
  String s;
  int underline = -1;
  StringView in(text ? text : u"", static_cast<size_t>(count));
  for (size_t i = 0; i < in.size(); ++i) {
    if (!(fmt & DT_NOPREFIX) && in[i] == u'&' && i + 1 < in.size()) {
      ++i;
      if (in[i] != u'&' && underline < 0 && !(fmt & DT_HIDEPREFIX)) underline = static_cast<int>(s.size());
    }
    s += in[i];
  }

  int maxWidth = r->Right - r->Left;
  // The lines of the text within `width`.
  auto lay = [&](int width) {
    std::vector<TLine> lines;
    if (fmt & DT_SINGLELINE) {
      lines.push_back({s});
    } else {
      size_t pos = 0;
      while (true) {
        size_t br = s.find_first_of(u"\r\n", pos);
        StringView para = StringView(s).substr(pos, br == String::npos ? String::npos : br - pos);
        if (fmt & DT_WORDBREAK) {
          for (auto& l : WrapParagraph(src, para, width, (fmt & DT_EDITCONTROL) != 0, tabs ? tabStop : 0))
            lines.push_back(std::move(l));
        } else {
          lines.push_back({String(para)});
        }
        if (br == String::npos) break;
        pos = br + ((s[br] == u'\r' && br + 1 < s.size() && s[br + 1] == u'\n') ? 2 : 1);
        if (pos >= s.size()) break;
      }
    }
    if (fmt & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) {
      for (auto& l : lines) {
        if (l.Width >= 0 && l.Width <= width) continue;  // a broken line that fits by the rule it was broken by
        const int stop = tabs ? tabStop : 0;
        String cut = (fmt & DT_PATH_ELLIPSIS) ? PathEllipsis(src, l.Text, width, stop) : EndEllipsis(src, l.Text, width, stop);
        if (cut != l.Text) l = {std::move(cut)};
      }
    }
    return lines;
  };
  const std::vector<TLine> lines = lay(maxWidth);

  int total = static_cast<int>(lines.size()) * lineH;
  int top = r->Top;
  if (fmt & DT_SINGLELINE) {
    if (fmt & DT_VCENTER)
      top = r->Top + (r->Bottom - r->Top - lineH) / 2;
    else if (fmt & DT_BOTTOM)
      top = r->Bottom - lineH;
  }
  if (fmt & DT_CALCRECT) {
    // The width holds each line both as it was broken and as it is drawn, on its own. In text that
    // needs shaping the two may differ (a stretch of a line that needs no shaping on its own is
    // drawn a character at a time, where its paragraph laid it out whole), and the text may break
    // otherwise within that width: the rectangle widens until the lines broken within it fit it as
    // well. Plain text is drawn as it is broken.
    auto widestOf = [&](const std::vector<TLine>& ls) {
      int widest = 0;
      for (auto& l : ls) widest = std::max({widest, l.Width, TabbedWidth(src, l.Text, tabs, tabStop)});
      return widest;
    };
    int widest = widestOf(lines);
    const bool shaped = (fmt & DT_WORDBREAK) && !(fmt & DT_SINGLELINE) && NeedsShaping(s);
    for (int i = 0; shaped && i < 8; ++i) {
      const int within = widestOf(lay(widest));
      if (within <= widest) break;
      widest = within;
    }
    r->Right = r->Left + widest;
    r->Bottom = r->Top + total;
    return total;
  }
  UINT oldAlign = dc->S.TextAlign;
  dc->S.TextAlign = 0;
  UINT options = (fmt & DT_NOCLIP) ? 0 : ETO_CLIPPED;
  int y = top;
  int charsBefore = 0;
  for (const auto& line : lines) {
    const String& l = line.Text;
    int w = TabbedWidth(src, l, tabs, tabStop);
    int x = r->Left;
    if (fmt & DT_CENTER)
      x = r->Left + (maxWidth - w) / 2;
    else if (fmt & DT_RIGHT)
      x = r->Right - w;
    int u = underline >= charsBefore && underline < charsBefore + static_cast<int>(l.size())
                ? underline - charsBefore
                : -1;
    if (tabs && tabStop > 0 && l.find(u'\t') != String::npos && NeedsShaping(l)) {
      // Each stretch between tabs is laid out on its own at its tab stop.
      LayTabStretches(src, l, tabStop, [&](StringView part, size_t from, int pos) {
        const int mark = u >= static_cast<int>(from) && u < static_cast<int>(from + part.size()) ? u - static_cast<int>(from) : -1;
        OutputText(dc, x + pos, y, options, r, part, nullptr, mark);
      });
    } else if (tabs && l.find(u'\t') != String::npos) {
      std::vector<int> dx(l.size());
      int pos = 0;
      for (size_t i = 0; i < l.size(); ++i) {
        int next = (l[i] == u'\t' && tabStop > 0) ? (pos / tabStop + 1) * tabStop : pos + src.Advance(l[i]);
        dx[i] = next - pos;
        pos = next;
      }
      OutputText(dc, x, y, options, r, l, dx.data(), u);
    } else {
      OutputText(dc, x, y, options, r, l, nullptr, u);
    }
    charsBefore += static_cast<int>(l.size());
    y += lineH;
  }
  dc->S.TextAlign = oldAlign;
  if (fmt & DT_SINGLELINE && (fmt & (DT_VCENTER | DT_BOTTOM))) return top - r->Top + lineH;
  return total;
}

}  // namespace pf
