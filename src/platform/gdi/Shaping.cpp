// Which text needs shaping, its grapheme clusters and their composition.

#include <QChar>
#include <QList>
#include <QString>
#include <QTextBoundaryFinder>

#include <bitset>

#include "platform/gdi/FontSource.h"
#include "platform/gdi/QtConvert_p.h"

namespace pf {

namespace {

// Below U+0300 lie Latin, its supplements and the spacing modifiers: nothing there combines,
// joins or runs right to left.
constexpr char16_t FirstShaped = 0x300;

bool SimpleScript(QChar::Script script) {
  switch (script) {
    case QChar::Script_Common:
    case QChar::Script_Inherited:
    case QChar::Script_Unknown:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
    case QChar::Script_Armenian:
    case QChar::Script_Georgian:
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Bopomofo:
    case QChar::Script_Hangul:
    case QChar::Script_Yi:
    case QChar::Script_Ethiopic:
    case QChar::Script_Cherokee:
    case QChar::Script_CanadianAboriginal:
    case QChar::Script_Ogham:
    case QChar::Script_Runic:
    case QChar::Script_Braille:
      return true;
    default:
      return false;
  }
}

bool Shaped(char16_t c) {
  if (QChar::isSurrogate(c)) return true;
  switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:  // variation selectors among them
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
      return true;
    default:
      break;
  }
  // Joiners, directional marks, embeddings and isolates.
  if ((c >= 0x200C && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) return true;
  // Conjoining jamo make Hangul syllables together.
  if ((c >= 0x1100 && c <= 0x11FF) || (c >= 0xA960 && c <= 0xA97F) || (c >= 0xD7B0 && c <= 0xD7FF)) return true;
  switch (QChar::direction(c)) {
    case QChar::DirR:
    case QChar::DirAL:
      return true;
    default:
      break;
  }
  return !SimpleScript(QChar::script(char32_t{c}));
}

const std::bitset<0x10000>& ShapedUnits() {
  static const std::bitset<0x10000> table = [] {
    std::bitset<0x10000> t;
    for (char32_t c = FirstShaped; c < 0x10000; ++c) t[c] = Shaped(static_cast<char16_t>(c));
    return t;
  }();
  return table;
}

// The character of `s` that starts at `at` (a surrogate pair as one), and the one that ends there.
char32_t At(const QString& s, qsizetype at) {
  if (at + 1 < s.size() && s[at].isHighSurrogate() && s[at + 1].isLowSurrogate()) return QChar::surrogateToUcs4(s[at], s[at + 1]);
  return s[at].unicode();
}
char32_t Before(const QString& s, qsizetype at) {
  if (at >= 2 && s[at - 1].isLowSurrogate() && s[at - 2].isHighSurrogate()) return QChar::surrogateToUcs4(s[at - 2], s[at - 1]);
  return s[at - 1].unicode();
}

// Whether a boundary the toolkit's finder puts at `at` (inside `s`) is none: it never falls inside
// a surrogate pair, nor before a mark, a joiner or a skin tone that follows anything but a control
// character or a line break. The finder of Qt 6.4 does both after a Thai letter, where it takes
// over the breaking for that script ("ก่1😀v" is cut between the emoji's two halves, and on its
// first use between "ก" and its tone mark).
bool Inside(const QString& s, qsizetype at) {
  if (s[at].isLowSurrogate() && s[at - 1].isHighSurrogate()) return true;
  const char32_t next = At(s, at), before = Before(s, at);
  const bool extends = next == 0x200C || next == 0x200D || (next >= 0x1F3FB && next <= 0x1F3FF) || next == 0x0E33 ||
                       next == 0x0EB3;
  switch (QChar::category(next)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
      break;
    default:
      if (!extends) return false;
  }
  switch (QChar::category(before)) {
    case QChar::Other_Control:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
      return false;
    case QChar::Other_Format:
      return before == 0x200C || before == 0x200D;
    default:
      return true;
  }
}

}  // namespace

bool NeedsShaping(StringView text) {
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] >= FirstShaped) {
      const auto& table = ShapedUnits();
      for (; i < text.size(); ++i)
        if (text[i] >= FirstShaped && table[text[i]]) return true;
      return false;
    }
  return false;
}

TShapedText TFontSource::Compose(StringView text, const std::function<bool(char32_t)>& held) {
  TShapedText shaped;
  const QString given = Q(text);
  QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, given);
  qsizetype from = 0;
  auto next = [&] {
    qsizetype to = finder.toNextBoundary();
    while (to > 0 && to < given.size() && Inside(given, to)) to = finder.toNextBoundary();
    return to;
  };
  for (qsizetype to = next(); to > from; from = to, to = next()) {
    const QString cluster = given.mid(from, to - from);
    QString composed = cluster.normalized(QString::NormalizationForm_C);
    if (composed != cluster)
      for (char32_t c : composed.toUcs4())
        if (!held(c)) {
          composed = cluster;
          break;
        }
    TShapedText::TCluster c;
    c.From = static_cast<size_t>(from);
    c.To = static_cast<size_t>(to);
    c.ComposedFrom = shaped.Text.size();
    shaped.Text.append(reinterpret_cast<const Char*>(composed.utf16()), static_cast<size_t>(composed.size()));
    c.ComposedTo = shaped.Text.size();
    shaped.Clusters.push_back(c);
  }
  return shaped;
}

void TFontSource::LayUnits(TShapedText& shaped) const {
  Integer x = 0;
  for (auto& c : shaped.Clusters) {
    for (size_t i = c.ComposedFrom; i < c.ComposedTo; ++i) x += Advance(shaped.Text[i]);
    c.Through = c.End = x;
  }
  shaped.Width = x;
}

std::pair<Integer, Integer> TFontSource::Span(const TShapedText& shaped, size_t k) const {
  return {k ? shaped.Clusters[k - 1].End : 0, shaped.Clusters[k].End};
}

std::shared_ptr<const TShapedText> TFontSource::Shape(StringView text) const {
  auto shaped = std::make_shared<TShapedText>(Compose(text, [](char32_t) { return true; }));
  LayUnits(*shaped);
  return shaped;
}

}  // namespace pf
