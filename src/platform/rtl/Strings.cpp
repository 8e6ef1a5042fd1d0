// The class library's string routines.

#include "platform/rtl/Strings.h"

#include <algorithm>

#include "platform/rtl/Exceptions.h"

namespace pf {

namespace {

// Upper/lower pairs that sit on alternating code points (upper even or upper odd).
bool AlternatingUpperEven(Char c) {
  return (c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177) ||
         (c >= 0x0460 && c <= 0x0481) || (c >= 0x048A && c <= 0x04BF) || (c >= 0x04D0 && c <= 0x052F);
}
bool AlternatingUpperOdd(Char c) {
  return (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E) || (c >= 0x04C1 && c <= 0x04CE);
}

// Letters' text is compared the way the customer reads it: "Ёлка" and "ёлка" are the same name.
// Sort position of a folded character: Ё/ё sorts right after Е/е as in the Russian alphabet,
// not after Я where its code point lies.
uint32_t SortWeight(Char c) {
  if (c == 0x0451) return 0x0435u * 2 + 1;
  return static_cast<uint32_t>(c) * 2;
}

int Sign(long v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

template <class Fold>
int CompareFolded(StringView a, StringView b, Fold fold) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    uint32_t x = SortWeight(fold(a[i])), y = SortWeight(fold(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return Sign(static_cast<long>(a.size()) - static_cast<long>(b.size()));
}

bool IsBlank(Char c) { return c <= u' '; }

}  // namespace

Char CharUpper(Char c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<Char>(c - 32) : c;
  if ((c >= 0x00E0 && c <= 0x00FE && c != 0x00F7)) return static_cast<Char>(c - 32);
  if (c == 0x00FF) return 0x0178;
  if (AlternatingUpperEven(c)) return (c & 1) ? static_cast<Char>(c - 1) : c;
  if (AlternatingUpperOdd(c)) return (c & 1) ? c : static_cast<Char>(c - 1);
  if (c == 0x0131) return u'I';
  if (c == 0x017F) return u'S';
  if (c >= 0x03B1 && c <= 0x03C9) return c == 0x03C2 ? static_cast<Char>(0x03A3) : static_cast<Char>(c - 32);
  if (c == 0x03AC) return 0x0386;
  if (c >= 0x03AD && c <= 0x03AF) return static_cast<Char>(c - 37);
  if (c == 0x03CC) return 0x038C;
  if (c == 0x03CD || c == 0x03CE) return static_cast<Char>(c - 63);
  if (c >= 0x0430 && c <= 0x044F) return static_cast<Char>(c - 32);
  if (c >= 0x0450 && c <= 0x045F) return static_cast<Char>(c - 80);
  if (c == 0x04CF) return 0x04C0;
  return c;
}

Char CharLower(Char c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<Char>(c + 32) : c;
  if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) return static_cast<Char>(c + 32);
  if (c == 0x0178) return 0x00FF;
  if (c == 0x0130) return u'i';
  if (AlternatingUpperEven(c)) return (c & 1) ? c : static_cast<Char>(c + 1);
  if (AlternatingUpperOdd(c)) return (c & 1) ? static_cast<Char>(c + 1) : c;
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return static_cast<Char>(c + 32);
  if (c == 0x0386) return 0x03AC;
  if (c >= 0x0388 && c <= 0x038A) return static_cast<Char>(c + 37);
  if (c == 0x038C) return 0x03CC;
  if (c == 0x038E || c == 0x038F) return static_cast<Char>(c + 63);
  if (c >= 0x0410 && c <= 0x042F) return static_cast<Char>(c + 32);
  if (c >= 0x0400 && c <= 0x040F) return static_cast<Char>(c + 80);
  if (c == 0x04C0) return 0x04CF;
  return c;
}

String Trim(StringView s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return String(s.substr(b, e - b));
}

String TrimLeft(StringView s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return String(s.substr(b));
}

String TrimRight(StringView s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return String(s.substr(0, e));
}

String UpperCase(StringView s) {
  String r(s);
  for (Char& c : r)
    if (c >= u'a' && c <= u'z') c = static_cast<Char>(c - 32);
  return r;
}

String LowerCase(StringView s) {
  String r(s);
  for (Char& c : r)
    if (c >= u'A' && c <= u'Z') c = static_cast<Char>(c + 32);
  return r;
}

String AnsiUpperCase(StringView s) {
  String r(s);
  for (Char& c : r) c = CharUpper(c);
  return r;
}

String AnsiLowerCase(StringView s) {
  String r(s);
  for (Char& c : r) c = CharLower(c);
  return r;
}

int CompareStr(StringView a, StringView b) {
  int r = a.compare(b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CompareText(StringView a, StringView b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    Char x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<Char>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<Char>(y - 32);
    if (x != y) return x < y ? -1 : 1;
  }
  return Sign(static_cast<long>(a.size()) - static_cast<long>(b.size()));
}

int AnsiCompareText(StringView a, StringView b) {
  // Final sigma folds to sigma, and the upper-only forms (İ, ſ) to their plain letters, so that
  // the comparison does not depend on which of the two sides was upper-cased.
  return CompareFolded(a, b, [](Char c) {
    Char l = CharLower(CharUpper(c));
    return l;
  });
}

bool SameText(StringView a, StringView b) { return a.size() == b.size() && AnsiCompareText(a, b) == 0; }

String IntToStr(Int64 value) {
  std::string s = std::to_string(value);
  return String(s.begin(), s.end());
}

String IntToHex(UInt64 value, int digits) {
  static const char* kHex = "0123456789ABCDEF";
  String r;
  do {
    r.insert(r.begin(), static_cast<Char>(kHex[value & 15]));
    value >>= 4;
  } while (value);
  if (static_cast<int>(r.size()) < digits) r.insert(0, static_cast<size_t>(digits) - r.size(), u'0');
  return r;
}

String StringOfChar(Char c, int count) { return count > 0 ? String(static_cast<size_t>(count), c) : String(); }

namespace {

// The class library's Val: leading blanks, a sign, then decimal digits or "$", "0x", "x" and hex
// digits; nothing after. Hex may use every bit of the width (so $FFFFFFFF is -1 as an Integer).
bool ParseInteger(StringView s, Int64& value, bool wide) {
  size_t i = 0;
  while (i < s.size() && s[i] == u' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) neg = s[i++] == u'-';
  bool hex = false;
  if (i < s.size() && s[i] == u'$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
    hex = true;
    i += 2;
  } else if (i < s.size() && (s[i] == u'x' || s[i] == u'X')) {
    hex = true;
    ++i;
  }
  if (i >= s.size()) return false;
  UInt64 v = 0;
  const UInt64 limit = wide ? (hex ? ~UInt64{0} : UInt64{1} << 63) : (hex ? 0xFFFFFFFFull : 0x80000000ull);
  for (; i < s.size(); ++i) {
    Char c = s[i];
    unsigned d;
    if (c >= u'0' && c <= u'9')
      d = c - u'0';
    else if (hex && c >= u'a' && c <= u'f')
      d = c - u'a' + 10;
    else if (hex && c >= u'A' && c <= u'F')
      d = c - u'A' + 10;
    else
      return false;
    unsigned base = hex ? 16 : 10;
    if (v > (limit - d) / base) return false;
    v = v * base + d;
  }
  if (!hex && !neg && v == limit) return false;  // one beyond the largest positive value
  if (hex && !wide) v = static_cast<UInt64>(static_cast<Int64>(static_cast<int32_t>(static_cast<uint32_t>(v))));
  value = neg ? static_cast<Int64>(0 - v) : static_cast<Int64>(v);
  return true;
}

}  // namespace

bool TryStrToInt(StringView s, Integer& value) {
  Int64 v;
  if (!ParseInteger(s, v, false)) return false;
  value = static_cast<Integer>(v);
  return true;
}

bool TryStrToInt64(StringView s, Int64& value) { return ParseInteger(s, value, true); }

Integer StrToInt(StringView s) {
  Integer v;
  if (!TryStrToInt(s, v)) throw EConvertError(u"'" + String(s) + u"' is not a valid integer value");
  return v;
}

Integer StrToIntDef(StringView s, Integer def) {
  Integer v;
  return TryStrToInt(s, v) ? v : def;
}

Int64 StrToInt64Def(StringView s, Int64 def) {
  Int64 v;
  return TryStrToInt64(s, v) ? v : def;
}

int Pos(StringView sub, StringView s) {
  if (sub.empty()) return 0;
  size_t p = s.find(sub);
  return p == StringView::npos ? 0 : static_cast<int>(p) + 1;
}

String StringReplaceAll(StringView s, StringView from, StringView to) {
  if (from.empty()) return String(s);
  String r;
  size_t i = 0;
  for (;;) {
    size_t p = s.find(from, i);
    if (p == StringView::npos) break;
    r.append(s.substr(i, p - i));
    r.append(to);
    i = p + from.size();
  }
  r.append(s.substr(i));
  return r;
}

}  // namespace pf
