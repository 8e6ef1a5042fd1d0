// Text measuring, shortening, wrapping and the multi-line text painter.

#include <algorithm>
#include <vector>

#include "common/CommonUtilities.h"
#include "platform/rtl/Strings.h"

namespace common {

void WideGetTextExtentPoint32(HDC dc, const String& text, TSize& size) {
  if (IsWideApiPlatform()) {
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
  } else {
    std::string a = StringToCodePage(text, CP_ACP);
    GetTextExtentPoint32A(dc, a.data(), static_cast<int>(a.size()), &size);
  }
}

TSize WideTextExtentOfFont(const String& text, TFont* font) {
  Owned<TCanvas> canvas(TCanvas::New());
  HDC dc = CreateCompatibleDC(nullptr);
  canvas->SetHandle(dc);
  if (font) canvas->SetFont(font);
  TSize s;
  WideGetTextExtentPoint32(canvas->GetHandle(), text, s);
  canvas->SetHandle(nullptr);
  DeleteDC(dc);
  return s;
}

TSize WideTextExtentOnCanvas(TCanvas* canvas, const String& text) {
  TSize s;
  if (!canvas || text.empty()) return s;
  canvas->Lock();
  try {
    WideGetTextExtentPoint32(canvas->GetHandle(), text, s);
  } catch (...) {
    canvas->Unlock();
    throw;
  }
  canvas->Unlock();
  return s;
}

namespace {
Integer Width(HDC dc, StringView s) {
  TSize size;
  WideGetTextExtentPoint32(dc, String(s), size);
  return size.cx;
}

// Whether `at` falls between the two halves of a surrogate pair.
bool InsidePair(const String& text, size_t at) {
  return at > 0 && at < text.size() && text[at - 1] >= 0xD800 && text[at - 1] <= 0xDBFF && text[at] >= 0xDC00 &&
         text[at] <= 0xDFFF;
}

// The extent of each start of the text (ends[i]: its first i + 1 characters), measured at once
// where the wide functions serve: every caption a list paints is wrapped and shortened by them,
// and measuring one start or one character at a time took a sixth of the paint. Empty when they
// do not serve.
std::vector<int> StartExtents(HDC dc, const String& text) {
  std::vector<int> ends(text.size());
  TSize size;
  if (text.empty() || !IsWideApiPlatform() ||
      !GetTextExtentExPointW(dc, text.data(), static_cast<int>(text.size()), 0, nullptr, ends.data(), &size))
    ends.clear();
  return ends;
}
}  // namespace

String ShortenTextW(HDC dc, const String& text, Integer maxWidth) {
  if (text.empty()) return String();
  const std::vector<int> ends = StartExtents(dc, text);
  // The first `count` characters' extent.
  auto start = [&](Integer count) {
    if (!ends.empty()) return count == 0 ? 0 : ends[static_cast<size_t>(count) - 1];
    return Width(dc, StringView(text).substr(0, static_cast<size_t>(count)));
  };
  if (start(static_cast<Integer>(text.size())) <= maxWidth) return text;
  const Integer ellipsis = Width(dc, u"...");
  Integer low = 0, high = static_cast<Integer>(text.size()) - 1;
  while (low < high) {
    Integer middle = (low + high + 1) / 2;
    if (start(middle) + ellipsis <= maxWidth)
      low = middle;
    else
      high = middle - 1;
  }
  if (low == 0) return u"...";
  return text.substr(0, static_cast<size_t>(low)) + u"...";
}

Integer WrapTextW(HDC dc, const String& text, Integer maxWidth, Integer maxLines, TCommonWideCharArray& lines) {
  lines.clear();
  if (maxWidth == 0) {
    lines = {0, 0};
    return 0;
  }
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  if (tm.tmMaxCharWidth > maxWidth) {
    if (text.empty()) {
      lines = {0, 0};
      return 0;
    }
    lines.assign(text.begin(), text.end());
    lines.push_back(0);
    lines.push_back(0);
    return 1;
  }
  // The buffer grows with the lines: one-character lines need more than the text's length in
  // terminators, which a buffer of fixed size would overrun.
  const size_t len = text.size();
  lines.reserve(len + 128);
  const std::vector<int> ends = StartExtents(dc, text);
  auto charWidth = [&](size_t i) {
    if (!ends.empty()) return ends[i] - (i == 0 ? 0 : ends[i - 1]);
    TSize ch;
    WideGetTextExtentPoint32(dc, String(1, text[i]), ch);
    return ch.cx;
  };
  Integer count = 0;
  size_t pos = 0;
  auto isBreak = [](Char c) { return c == u'\r' || c == u'\n'; };
  while (pos < len && (maxLines == -1 || count < maxLines)) {
    size_t start = pos, end;
    bool lastLine = maxLines != -1 && count + 1 == maxLines;
    if (lastLine) {
      end = len;
      pos = len;
    } else {
      Integer width = 0;
      size_t space = String::npos;
      bool overflow = false;
      while (pos < len && !isBreak(text[pos])) {
        const Integer cx = charWidth(pos);
        if (width + cx > maxWidth) {
          overflow = true;
          break;
        }
        width += cx;
        if (pos + 1 < len && text[pos + 1] == u' ') space = pos + 1;
        ++pos;
      }
      if (overflow && space != String::npos && space > start) {
        end = space;
      } else {
        end = pos;
        // Off the wide platform each half of a surrogate pair is measured on its own: the line ends
        // before the pair instead of between its halves.
        if (end > start + 1 && InsidePair(text, end)) --end;
        // A character wider than the line still makes a line of its own, so that the text moves on;
        // the units after it that share its extent belong to its cluster (a surrogate pair, a letter
        // and its marks) and go with it.
        if (end == start && overflow) {
          end = start + 1;
          while (end < len && ((!ends.empty() && ends[end] == ends[start]) || InsidePair(text, end))) ++end;
        } else if (InsidePair(text, end)) {
          ++end;
        }
      }
      pos = end;
    }
    lines.insert(lines.end(), text.begin() + static_cast<ptrdiff_t>(start), text.begin() + static_cast<ptrdiff_t>(end));
    lines.push_back(0);
    ++count;
    while (pos < len && (isBreak(text[pos]) || text[pos] == u' ')) ++pos;
  }
  lines.push_back(0);
  if (count == 0) lines.push_back(0);
  return count;
}

namespace {

// One line by the single-line rule; answers the rectangle calculated with dtwCalcRect.
TRect SingleLine(HDC dc, const String& text, const TRect& rect, Integer lineHeight, Word flags) {
  TRect line{rect.Left, rect.Top, rect.Right, rect.Top + lineHeight};
  Integer spare = CommonRectHeight(rect) - lineHeight;
  if (flags & dtwVCenter) {
    line.Top += spare / 2;
    line.Bottom += spare / 2;
  } else if (flags & dtwBottom) {
    line.Top += spare;
    line.Bottom += spare;
  }
  String s = (flags & dtwEndEllipsis) ? ShortenTextW(dc, text, CommonRectWidth(rect)) : text;
  TSize size;
  WideGetTextExtentPoint32(dc, s, size);
  Integer x = rect.Left;
  if (flags & dtwCenter)
    x += (CommonRectWidth(rect) - size.cx) / 2;
  else if (flags & dtwRight)
    x = rect.Right - size.cx;
  if (flags & dtwCalcRect) {
    TRect r{x, line.Top, x + size.cx, line.Bottom};
    if (CommonRectWidth(rect) < size.cx) {
      if (flags & dtwCalcKeepRectWidth) {
        r.Left = rect.Left;
        r.Right = rect.Right;
      }
      if (flags & dtwCalcKeepTextWidth) r.Right = r.Left + size.cx;
    }
    return r;
  }
  UINT options = (flags & dtwNoClip) ? 0 : ETO_CLIPPED;
  if (flags & dtwRtlReading) options |= ETO_RTLREADING;
  ExtTextOutW(dc, x, line.Top, options, &line, s.data(), static_cast<UINT>(s.size()), nullptr);
  return line;
}

TRect Union(const TRect& a, const TRect& b) {
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

}  // namespace

Integer DrawTextWEx(HDC dc, const String& text, TRect& rect, Integer maxLines, Word flags) {
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const Integer lh = tm.tmHeight;
  if (flags & dtwSingleLine) {
    TRect r = SingleLine(dc, text, rect, lh, flags);
    if (flags & dtwCalcRect) rect = r;
    return 1;
  }
  TCommonWideCharArray buffer;
  Integer count = WrapTextW(dc, text, CommonRectWidth(rect), maxLines, buffer);
  Integer shown = (maxLines >= 0 && maxLines < count) ? maxLines : count;
  Integer offset = 0;
  if (flags & (dtwVCenter | dtwBottom)) {
    offset = std::max(0, CommonRectHeight(rect) - lh * shown);
    if (flags & dtwVCenter) offset /= 2;
  }
  const TRect given = rect;
  bool any = false;
  TRect calc;
  size_t at = 0;
  for (Integer i = 0; i < count && (maxLines < 0 || i < maxLines); ++i) {
    size_t end = at;
    while (end < buffer.size() && buffer[end] != 0) ++end;
    // An empty line reads as the end of the buffer: painting stops there.
    if (end == at) break;
    String line(buffer.begin() + static_cast<ptrdiff_t>(at), buffer.begin() + static_cast<ptrdiff_t>(end));
    at = end + 1;
    TRect lineRect{given.Left, given.Top + i * lh + offset, given.Right, given.Top + i * lh + offset + lh};
    TRect r = SingleLine(dc, line, lineRect, lh, flags);
    if (flags & dtwCalcRect) calc = any ? Union(calc, r) : r;
    any = true;
  }
  if (flags & dtwCalcRect) {
    if (any) {
      rect = calc;
    } else if (flags & dtwCalcKeepTextWidth) {
      rect = TRect{given.Left, given.Top, given.Left, given.Top + lh};
    } else {
      rect = TRect{given.Left, given.Top, given.Left + tm.tmAveCharWidth, given.Top};
    }
  }
  return count < maxLines ? count : maxLines;
}

}  // namespace common
