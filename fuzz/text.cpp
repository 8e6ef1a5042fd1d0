// The text calls the windows draw and measure every caption with, in the program's face: extents
// and fits, TextOutW and ExtTextOutW, DrawTextW with any flags and any rectangle, and the common
// library's shortening and wrapping over them. Besides what the sanitizers see, it checks:
//   - no fit, cut or line break falls inside a surrogate pair or between a letter and its mark;
//   - partial extents never decrease, the last is the whole width, and the fit is the number of
//     characters whose extent is within the maximum (so it never grows as the maximum shrinks);
//   - the rectangle DT_CALCRECT answers holds what DrawTextW then lays out and draws in it;
//   - no single call takes a second.
//
// Input: a 12-byte header, then the text.
//   byte 0      bit 0: the text is raw UTF-16 (little endian); otherwise each byte is a token that
//               picks characters from the kinds the shaped path must handle (see Token)
//   bytes 1-4   DrawTextW's flags (little endian)
//   bytes 5-6   the rectangle's width, signed; bytes 7-8 its height, signed
//   byte 9      the face: 6 + (b & 31) pixels; 0x20 bold, 0x40 italic, 0x80 underlined
//   bytes 10-11 the maximum extent asked of GetTextExtentExPointW, signed
#include <QChar>
#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/CommonUtilities.h"
#include "platform/gdi/Gdi.h"
#include "platform/rtl/Strings.h"

using namespace pf;

namespace {

constexpr size_t Header = 12;
constexpr size_t MaxUnits = 8000;

std::string Hex(StringView s) {
  std::string out;
  char buf[8];
  for (Char c : s.substr(0, 64)) {
    std::snprintf(buf, sizeof buf, "%04X ", static_cast<unsigned>(c));
    out += buf;
  }
  if (s.size() > 64) out += "...";
  return out;
}

[[noreturn]] void Fail(const char* what, StringView text, const std::string& detail = {}) {
  std::fprintf(stderr, "text: %s\n  text (%zu units): %s\n  %s\n", what, text.size(), Hex(text).c_str(), detail.c_str());
  std::abort();
}

// A call that takes longer than a second fails: the windows measure text on every paint.
template <class F>
auto Timed(const char* call, StringView text, F&& f) {
  const auto start = std::chrono::steady_clock::now();
  auto result = f();
  if (std::chrono::steady_clock::now() - start > std::chrono::seconds(1)) Fail(call, text, "took more than a second");
  return result;
}

bool High(Char c) { return c >= 0xD800 && c <= 0xDBFF; }
bool Low(Char c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The code point that ends just before `i`.
char32_t Before(StringView s, size_t i) {
  if (i >= 2 && Low(s[i - 1]) && High(s[i - 2])) return QChar::surrogateToUcs4(s[i - 2], s[i - 1]);
  return s[i - 1];
}

char32_t At(StringView s, size_t i) {
  if (i + 1 < s.size() && High(s[i]) && Low(s[i + 1])) return QChar::surrogateToUcs4(s[i], s[i + 1]);
  return s[i];
}

bool Mark(char32_t c) {
  switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
      return true;
    default:
      return false;
  }
}

bool Letter(char32_t c) {
  switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Number_DecimalDigit:
      return true;
    default:
      return false;
  }
}

// Whether text may be cut before unit `i`: never inside a surrogate pair, never between a letter
// and a mark that belongs to it.
void CheckCut(const char* what, StringView s, size_t i) {
  if (i == 0 || i >= s.size()) return;
  const size_t from = i < 4 ? 0 : i - 4;
  const std::string where = " at " + std::to_string(i) + " (" + Hex(s.substr(from, i - from)) + "| " + Hex(s.substr(i, 4)) + ")";
  if (High(s[i - 1]) && Low(s[i])) Fail(what, s, "cut inside a surrogate pair" + where);
  if (Mark(At(s, i)) && Letter(Before(s, i))) Fail(what, s, "cut between a letter and its mark" + where);
}

// The kinds of characters the shaped path must handle, a token each: simple text and what ends
// lines, letters with combining marks, pairs (emoji, modifiers, flags, lone halves), joiners and
// directional controls, right-to-left scripts, Indic and other complex scripts (some without any
// installed face), Thai and Hangul jamo, and any unit at all.
void Token(Byte b, const Byte*& more, const Byte* end, String& s) {
  static const char16_t ascii[] = u"aAbqvWg1 .-&&\t\t\r\n  /\\iIlmw0OQ?#";
  static const char16_t marks[] = {0x0301, 0x0306, 0x0308, 0x0327, 0x0316, 0x0483, 0x20DD, 0x0345, 0x00E9, 0x0439,
                                   0x0451, 0x0410, 0x03B1, 0x0065, 0x0438, 0x0435, 0x0071, 0x0301, 0x0301, 0x0300,
                                   0x0336, 0x035C, 0x0361, 0x1DC0, 0xFE20, 0x0489, 0x00C5, 0x0041, 0x006F, 0x043E,
                                   0x0332, 0x0303};
  static const char32_t pairs[] = {0x1F600, 0x1F44D, 0x1F3FD, 0x1F1F7, 0x1F1FA, 0x1F468, 0x1F469, 0x1F467,
                                   0x2764,  0x1F3F3, 0x1F308, 0x1D400, 0x20000, 0x1F9D1, 0x1F4F7, 0x10437,
                                   0xD800,  0xDC00,  0xDBFF,  0xDFFF,  0x1F600, 0x1F44D, 0x1F1EB, 0x1F1F7,
                                   0xE0067, 0xE007F, 0x1F3F4, 0x1F46A, 0x1F9D1, 0x1F3FB, 0x1F469, 0x1F44B};
  static const char16_t format[] = {0x200D, 0x200C, 0xFE0F, 0xFE0E, 0x200E, 0x200F, 0x202B, 0x202C, 0x202E, 0x2067,
                                    0x2069, 0xFEFF, 0xFFFE, 0x2028, 0x2029, 0x00AD, 0x061C, 0x2066, 0x202A, 0x202D,
                                    0x200B, 0x2060, 0xFFFF, 0x0000, 0x0009, 0x000B, 0x001B, 0x0085, 0x00A0, 0x3000,
                                    0x200D, 0xFE0F};
  static const char16_t rtl[] = {0x0633, 0x0644, 0x0627, 0x0645, 0x0639, 0x064A, 0x0643, 0x0644, 0x0627, 0x064B,
                                 0x0650, 0x0651, 0x0652, 0x0660, 0x0661, 0x06F1, 0x05E9, 0x05DC, 0x05D5, 0x05DD,
                                 0x05B8, 0x05BC, 0x05D0, 0x0710, 0x0712, 0x0730, 0x07C1, 0x0800, 0xFB50, 0xFEFB,
                                 0x0640, 0x0020};
  static const char16_t indic[] = {0x0915, 0x094D, 0x0937, 0x093F, 0x0947, 0x0902, 0x0995, 0x09BF, 0x0B95, 0x0BCD,
                                   0x0C95, 0x0CBF, 0x0780, 0x07A6, 0x0D9A, 0x0DCA, 0x1780, 0x17D2, 0x1784, 0x17B6,
                                   0x0A15, 0x0A3F, 0x0A95, 0x0B15, 0x0C15, 0x0D15, 0x0D4D, 0x1000, 0x103A, 0x0F40,
                                   0x0F7A, 0x1B05};
  static const char16_t other[] = {0x0E01, 0x0E48, 0x0E31, 0x0E49, 0x0E33, 0x0E40, 0x0E02, 0x0E47, 0x0E81, 0x0EB1,
                                   0x1100, 0x1161, 0x11A8, 0xAC00, 0x4E2D, 0x6587, 0x3042, 0x30A2, 0x0531, 0x10D0,
                                   0x1200, 0x13A0, 0x1401, 0x16A0, 0x2800, 0xA000, 0xD7B0, 0xA960, 0x0E01, 0x0E48,
                                   0x0031, 0x0076};
  const int k = b & 31;
  switch (b >> 5) {
    case 0: s += ascii[k]; break;
    case 1: s += marks[k]; break;
    case 2: {
      const char32_t c = pairs[k];
      if (c < 0x10000) {
        s += static_cast<Char>(c);
      } else {
        s += static_cast<Char>(QChar::highSurrogate(c));
        s += static_cast<Char>(QChar::lowSurrogate(c));
      }
      break;
    }
    case 3: s += format[k]; break;
    case 4: s += rtl[k]; break;
    case 5: s += indic[k]; break;
    case 6: s += other[k]; break;
    default:
      if (end - more >= 2) {
        s += static_cast<Char>(more[0] | (more[1] << 8));
        more += 2;
      } else {
        s += static_cast<Char>(0xD800 + k);
      }
      break;
  }
}

int16_t Int16(const Byte* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

struct Canvas {
  HDC Dc{nullptr};
  HBITMAP Bmp{nullptr};
  HGDIOBJ Old{nullptr};
  const uint32_t* Bits{nullptr};
  HFONT Font{nullptr};
  int W, H;
  Canvas(int w, int h, const LOGFONTW& lf) : W(w), H(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    Bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    Bits = static_cast<const uint32_t*>(bits);
    Dc = CreateCompatibleDC(nullptr);
    Old = SelectObject(Dc, Bmp);
    Font = CreateFontIndirectW(&lf);
    SelectObject(Dc, Font);
    SetBkMode(Dc, TRANSPARENT);
    SetTextColor(Dc, RGB(0, 0, 0));
  }
  ~Canvas() {
    SelectObject(Dc, Old);
    DeleteDC(Dc);
    DeleteObject(Bmp);
    DeleteObject(Font);
  }
  void Clear() { std::fill(const_cast<uint32_t*>(Bits), const_cast<uint32_t*>(Bits) + W * H, 0xFFFFFFFFu); }
  // The leftmost and rightmost inked columns (right exclusive); empty when nothing is inked.
  std::pair<int, int> InkedColumns() const {
    int left = W, right = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if ((Bits[y * W + x] & 0xFFFFFF) != 0xFFFFFF) {
          left = std::min(left, x);
          right = std::max(right, x + 1);
        }
    return {left, right};
  }
};

void CheckExtents(HDC dc, StringView s, int maxExtent) {
  const int n = static_cast<int>(s.size());
  std::vector<int> dx(s.size() + 1, -1);
  TSize size{}, whole{};
  Timed("GetTextExtentExPointW", s, [&] { return GetTextExtentExPointW(dc, s.data(), n, 0, nullptr, dx.data(), &size); });
  Timed("GetTextExtentPoint32W", s, [&] { return GetTextExtentPoint32W(dc, s.data(), n, &whole); });
  if (whole.cx != size.cx) Fail("the two extents of the whole text differ", s, std::to_string(whole.cx) + " against " + std::to_string(size.cx));
  for (int i = 0; i < n; ++i) {
    if (dx[i] < 0 || (i > 0 && dx[i] < dx[i - 1]))
      Fail("a partial extent decreases", s, "at " + std::to_string(i) + ": " + std::to_string(dx[i]));
  }
  if (n > 0 && dx[n - 1] != size.cx) Fail("the last partial extent is not the width", s, std::to_string(dx[n - 1]) + " against " + std::to_string(size.cx));
  // A maximum between two different extents fits the characters before the second: every such
  // place is a possible cut.
  for (int i = 1; i < n; ++i)
    if (dx[i] > dx[i - 1]) CheckCut("GetTextExtentExPointW's partial extents", s, static_cast<size_t>(i));
  for (int max : {maxExtent, maxExtent / 2, maxExtent - 7, size.cx, size.cx - 1, 0, -1}) {
    int fit = -1;
    std::vector<int> part(s.size() + 1, -1);
    TSize sz{};
    Timed("GetTextExtentExPointW", s, [&] { return GetTextExtentExPointW(dc, s.data(), n, max, &fit, part.data(), &sz); });
    const int expected = static_cast<int>(std::count_if(dx.begin(), dx.begin() + n, [&](int e) { return e <= max; }));
    if (fit != expected)
      Fail("the fit is not the characters within the maximum", s, "max " + std::to_string(max) + ": fit " + std::to_string(fit) + ", expected " + std::to_string(expected));
    CheckCut("GetTextExtentExPointW's fit", s, static_cast<size_t>(fit));
    for (int i = 0; i < fit; ++i)
      if (part[i] != dx[i]) Fail("a fitting character's extent differs from its extent without a maximum", s, "at " + std::to_string(i));
  }
}

void CheckCommon(HDC dc, StringView s, int width) {
  const String text(s);
  const String shortened = Timed("ShortenTextW", s, [&] { return common::ShortenTextW(dc, text, width); });
  if (shortened != text && shortened != u"...") {
    if (shortened.size() < 3 || shortened.compare(shortened.size() - 3, 3, u"...") != 0 ||
        text.compare(0, shortened.size() - 3, shortened, 0, shortened.size() - 3) != 0)
      Fail("ShortenTextW answers no start of the text with an ellipsis", s, Hex(shortened));
    CheckCut("ShortenTextW", s, shortened.size() - 3);
  }
  common::TCommonWideCharArray lines;
  const int maxLines = (width & 3) == 3 ? -1 : (width & 3) + 1;
  const int count = Timed("WrapTextW", s, [&] { return common::WrapTextW(dc, text, width, maxLines, lines); });
  // Each line is the text from where the previous one ended, past the line breaks and blanks between
  // (lines are ended by zeros, so a text holding one cannot be followed).
  if (s.find(Char{0}) != StringView::npos) return;
  size_t pos = 0, at = 0;
  for (int k = 0; k < count; ++k) {
    const size_t len = std::find(lines.begin() + static_cast<ptrdiff_t>(at), lines.end(), Char{0}) - lines.begin() - static_cast<ptrdiff_t>(at);
    if (at + len >= lines.size()) Fail("WrapTextW's lines are not ended", s);
    if (k > 0)
      while (pos < s.size() && (s[pos] == u'\r' || s[pos] == u'\n' || s[pos] == u' ')) ++pos;
    if (s.compare(pos, len, StringView(lines.data() + at, len)) != 0)
      Fail("a line of WrapTextW is not the text where the previous line ended", s, "line " + std::to_string(k));
    if (k > 0) CheckCut("WrapTextW's line start", s, pos);
    pos += len;
    CheckCut("WrapTextW's line end", s, pos);
    at += len + 1;
  }
}

void CheckDrawText(HDC dc, const LOGFONTW& lf, StringView s, UINT fmt, int width, int height) {
  const int n = static_cast<int>(s.size());
  TRect r{4, 4, 4 + width, 4 + height};
  TRect drawn = r;
  Timed("DrawTextW", s, [&] { return DrawTextW(dc, s.data(), n, &drawn, fmt & ~DT_CALCRECT); });
  // The rectangle answered for the text, then the text laid out in it again: no more lines, no
  // wider.
  TRect calc = r;
  const int calcHeight = Timed("DrawTextW (DT_CALCRECT)", s, [&] { return DrawTextW(dc, s.data(), n, &calc, fmt | DT_CALCRECT); });
  if (calc.Right < calc.Left || calc.Bottom < calc.Top) Fail("DT_CALCRECT answers a reversed rectangle", s);
  TRect again = calc;
  const int againHeight = Timed("DrawTextW (DT_CALCRECT)", s, [&] { return DrawTextW(dc, s.data(), n, &again, fmt | DT_CALCRECT); });
  if (againHeight > calcHeight || again.Right - again.Left > calc.Right - calc.Left)
    Fail("the rectangle DT_CALCRECT answers does not hold its own text", s,
         "flags " + std::to_string(fmt) + ", width " + std::to_string(width) + ": " + std::to_string(calc.Right - calc.Left) + " x " +
             std::to_string(calcHeight) + ", laid out in it " + std::to_string(again.Right - again.Left) + " x " + std::to_string(againHeight));
  // What DrawTextW lays out and inks in that rectangle. A glyph may reach a little past its
  // advance; a line or a stretch after a tab may not.
  if (calc.Right - calc.Left > 4000) return;
  Canvas c(calc.Right + 200, 400, lf);
  c.Clear();
  TEXTMETRICW tm{};
  GetTextMetricsW(c.Dc, &tm);
  TRect in = calc;
  const int drawnHeight = Timed("DrawTextW", s, [&] { return DrawTextW(c.Dc, s.data(), n, &in, (fmt & ~DT_CALCRECT) | DT_NOCLIP); });
  if (drawnHeight > calcHeight)
    Fail("DrawTextW lays out other lines than DT_CALCRECT answered", s,
         "flags " + std::to_string(fmt) + ": answered " + std::to_string(calcHeight) + " px, drawn " + std::to_string(drawnHeight));
  const auto [left, right] = c.InkedColumns();
  const int slack = std::max<int>(tm.tmAveCharWidth, 2) + (tm.tmItalic ? tm.tmHeight / 2 : 0);
  if (left < right && (right > calc.Right + slack || left < calc.Left - slack))
    Fail("DrawTextW draws outside the rectangle DT_CALCRECT answered", s,
         "flags " + std::to_string(fmt) + ": answered " + std::to_string(calc.Left) + ".." + std::to_string(calc.Right) + ", inked " +
             std::to_string(left) + ".." + std::to_string(right));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Kept to the end of the process: the toolkit's own exit handlers outlive a static application.
  static auto* app = new QGuiApplication(*argc, *argv);
  (void)app;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const Byte* data, size_t size) {
  if (size < Header) return 0;
  String s;
  const Byte* p = data + Header;
  const Byte* end = data + size;
  if (data[0] & 1) {
    for (; end - p >= 2 && s.size() < MaxUnits; p += 2) s += static_cast<Char>(p[0] | (p[1] << 8));
  } else {
    while (p < end && s.size() < MaxUnits) {
      const Byte b = *p++;
      Token(b, p, end, s);
    }
  }
  // Every flag DrawTextW knows but DT_MODIFYSTRING, which would write into the caller's text.
  const UINT fmt = static_cast<UINT>(data[1] | (data[2] << 8) | (data[3] << 16) | (data[4] << 24)) & 0x0017FFFF & ~DT_MODIFYSTRING;
  const int width = Int16(data + 5) % 2000, height = Int16(data + 7) % 400;
  LOGFONTW lf{};
  lf.lfHeight = -(6 + (data[9] & 31));
  lf.lfWeight = (data[9] & 0x20) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (data[9] & 0x40) ? 1 : 0;
  lf.lfUnderline = (data[9] & 0x80) ? 1 : 0;
  const int maxExtent = Int16(data + 10);

  Canvas c(std::clamp(std::abs(width) + 200, 200, 2400), 200, lf);
  const StringView text(s);
  CheckExtents(c.Dc, text, maxExtent);
  CheckCommon(c.Dc, text, width);
  CheckDrawText(c.Dc, lf, text, fmt, width, height);

  // Drawing with the caller's spacing, clipped, opaque, centred: the sanitizers watch.
  c.Clear();
  std::vector<int> dx(s.size());
  for (size_t i = 0; i < s.size(); ++i) dx[i] = static_cast<int>((data[(i % size)] % 24) - 4);
  const TRect clip{2, 2, 2 + std::abs(width), 2 + std::abs(height)};
  const UINT options = ((fmt & 1) ? ETO_CLIPPED : 0) | ((fmt & 2) ? ETO_OPAQUE : 0);
  SetTextAlign(c.Dc, (fmt & 0x100) ? TA_CENTER : TA_LEFT);
  Timed("ExtTextOutW", text, [&] { return ExtTextOutW(c.Dc, 100, 20, options, &clip, s.data(), static_cast<UINT>(s.size()), dx.data()); });
  Timed("ExtTextOutW", text, [&] { return ExtTextOutW(c.Dc, 10, 40, options, &clip, s.data(), static_cast<UINT>(s.size()), nullptr); });
  Timed("TextOutW", text, [&] { return TextOutW(c.Dc, -5, 60, s.data(), static_cast<int>(s.size())); });
  return 0;
}
