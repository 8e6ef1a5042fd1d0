// Format, FormatFloat and the float conversions of the class library.

#include "platform/rtl/Format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/rtl/Decimal_p.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

namespace pf {

using detail::Decimal;

namespace {

String Ascii(std::string_view s) { return String(s.begin(), s.end()); }

// A non-finite value reads as the class library shows it.
bool NonFinite(double v, String& out) {
  if (std::isnan(v)) {
    out = u"NAN";
    return true;
  }
  if (std::isinf(v)) {
    out = v < 0 ? u"-INF" : u"INF";
    return true;
  }
  return false;
}

void AppendGrouped(String& out, const std::string& digits, Char sep) {
  for (size_t i = 0; i < digits.size(); ++i) {
    out.push_back(static_cast<Char>(digits[i]));
    size_t rest = digits.size() - 1 - i;
    if (sep && rest > 0 && rest % 3 == 0) out.push_back(sep);
  }
}

// Fixed notation with `decimals` digits after the point, without the sign.
String FixedText(const Decimal& d, int decimals, bool group, const TFormatSettings& fs) {
  String out;
  std::string ip = d.IntegerDigits();
  if (ip.empty()) ip.push_back('0');
  AppendGrouped(out, ip, group ? fs.ThousandSeparator : Char(0));
  if (decimals > 0) {
    out.push_back(fs.DecimalSeparator);
    for (int k = 0; k < decimals; ++k) out.push_back(static_cast<Char>(d.DigitAt(k)));
  }
  return out;
}

// Shortest form with at most `precision` significant digits (the class library's general format).
String GeneralText(double v, int precision, const TFormatSettings& fs) {
  String special;
  if (NonFinite(v, special)) return special;
  Decimal d = detail::ToDecimal(v);
  detail::RoundSignificant(d, precision);
  if (d.IsZero()) return u"0";
  String out;
  if (d.negative) out.push_back(u'-');
  if (d.exp > precision || d.exp < -3) {
    out.push_back(static_cast<Char>(d.digits[0]));
    if (d.digits.size() > 1) {
      out.push_back(fs.DecimalSeparator);
      out += Ascii(std::string_view(d.digits).substr(1));
    }
    out += u"E" + IntToStr(d.exp - 1);
    return out;
  }
  std::string ip = d.IntegerDigits();
  out += ip.empty() ? u"0" : Ascii(ip);
  int fracDigits = static_cast<int>(d.digits.size()) - d.exp;
  if (fracDigits > 0) {
    out.push_back(fs.DecimalSeparator);
    for (int k = 0; k < fracDigits; ++k) out.push_back(static_cast<Char>(d.DigitAt(k)));
  }
  return out;
}

// "-d.ddddE+ddd" with `precision` significant digits.
String ScientificText(double v, int precision, const TFormatSettings& fs) {
  String special;
  if (NonFinite(v, special)) return special;
  if (precision < 1) precision = 1;
  Decimal d = detail::ToDecimal(v);
  detail::RoundSignificant(d, precision);
  String out;
  if (d.negative && !d.IsZero()) out.push_back(u'-');
  std::string digits = d.digits;
  digits.resize(static_cast<size_t>(precision), '0');
  out.push_back(static_cast<Char>(digits[0]));
  if (precision > 1) {
    out.push_back(fs.DecimalSeparator);
    out += Ascii(std::string_view(digits).substr(1));
  }
  int e = d.IsZero() ? 0 : d.exp - 1;
  String ed = IntToStr(e < 0 ? -e : e);
  while (ed.size() < 3) ed.insert(ed.begin(), u'0');
  out += (e < 0 ? u"E-" : u"E+") + ed;
  return out;
}

[[noreturn]] void BadFormat(StringView fmt) {
  throw EConvertError(u"Format '" + String(fmt) + u"' invalid or incompatible with argument");
}

}  // namespace

// ---- Format ----

String Format(StringView fmt, std::initializer_list<TVarRec> args) { return Format(fmt, args, FormatSettings()); }

String Format(StringView fmt, std::initializer_list<TVarRec> args, const TFormatSettings& fs) {
  const TVarRec* argv = args.begin();
  const size_t argc = args.size();
  size_t next = 0;
  String out;
  size_t i = 0;
  auto takeArg = [&]() -> const TVarRec& {
    if (next >= argc) throw EConvertError(u"No argument for format '" + String(fmt) + u"'");
    return argv[next++];
  };
  auto readNumber = [&](int& value) -> bool {  // digits or "*"
    if (i < fmt.size() && fmt[i] == u'*') {
      ++i;
      const auto& a = takeArg().Value();
      if (!std::holds_alternative<Int64>(a)) BadFormat(fmt);
      value = static_cast<int>(std::get<Int64>(a));
      return true;
    }
    bool any = false;
    value = 0;
    while (i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9') {
      any = true;
      if (value < 100000) value = value * 10 + (fmt[i] - u'0');
      ++i;
    }
    return any;
  };

  while (i < fmt.size()) {
    Char c = fmt[i++];
    if (c != u'%') {
      out.push_back(c);
      continue;
    }
    if (i >= fmt.size()) BadFormat(fmt);
    if (fmt[i] == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    int number = 0;
    bool haveNumber = readNumber(number);
    if (haveNumber && i < fmt.size() && fmt[i] == u':') {
      ++i;
      if (number < 0) BadFormat(fmt);
      next = static_cast<size_t>(number);
      haveNumber = false;
    }
    bool left = false;
    if (i < fmt.size() && fmt[i] == u'-') {
      left = true;
      ++i;
    }
    int width = 0;
    if (!haveNumber) haveNumber = readNumber(width);
    else width = number;
    if (width < 0) {
      left = true;
      width = -width;
    }
    int precision = -1;
    if (i < fmt.size() && fmt[i] == u'.') {
      ++i;
      if (!readNumber(precision)) precision = 0;
    }
    if (i >= fmt.size()) BadFormat(fmt);
    Char type = fmt[i++];
    if (type >= u'A' && type <= u'Z') type = static_cast<Char>(type + 32);
    const auto& arg = takeArg().Value();

    auto asDouble = [&]() -> double {
      if (std::holds_alternative<double>(arg)) return std::get<double>(arg);
      if (std::holds_alternative<Int64>(arg)) return static_cast<double>(std::get<Int64>(arg));
      BadFormat(fmt);
    };
    // An Integer argument keeps the class library's 32-bit meaning for %u and %x.
    auto asUnsigned = [&]() -> UInt64 {
      if (!std::holds_alternative<Int64>(arg)) BadFormat(fmt);
      Int64 v = std::get<Int64>(arg);
      if (v < 0 && v >= std::numeric_limits<int32_t>::min()) return static_cast<uint32_t>(v);
      return static_cast<UInt64>(v);
    };
    auto zeroPad = [](String digits, int minDigits) {
      if (static_cast<int>(digits.size()) < minDigits)
        digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), u'0');
      return digits;
    };

    String text;
    switch (type) {
      case u'd': {
        if (!std::holds_alternative<Int64>(arg)) BadFormat(fmt);
        Int64 v = std::get<Int64>(arg);
        UInt64 mag = v < 0 ? 0 - static_cast<UInt64>(v) : static_cast<UInt64>(v);
        std::string s = std::to_string(mag);
        text = zeroPad(Ascii(s), precision);
        if (v < 0) text.insert(text.begin(), u'-');
        break;
      }
      case u'u':
        text = zeroPad(Ascii(std::to_string(asUnsigned())), precision);
        break;
      case u'x':
        text = IntToHex(asUnsigned(), precision < 0 ? 0 : precision);
        break;
      case u'e':
        text = ScientificText(asDouble(), precision < 0 ? 15 : precision, fs);
        break;
      case u'f':
      case u'n':
      case u'm': {
        double v = asDouble();
        if (NonFinite(v, text)) break;
        int decimals = precision < 0 ? 2 : std::min(precision, 18);
        Decimal d = detail::ToDecimal(v);
        detail::RoundDecimals(d, decimals);
        text = FixedText(d, decimals, type != u'f', fs);
        if (d.negative && !d.IsZero()) text.insert(text.begin(), u'-');
        break;
      }
      case u'g':
        text = GeneralText(asDouble(), precision < 0 ? 15 : std::clamp(precision, 1, 18), fs);
        break;
      case u'p': {
        UInt64 p;
        if (std::holds_alternative<const void*>(arg))
          p = reinterpret_cast<uintptr_t>(std::get<const void*>(arg));
        else if (std::holds_alternative<Int64>(arg))
          p = static_cast<UInt64>(std::get<Int64>(arg));
        else
          BadFormat(fmt);
        text = IntToHex(p, 16);
        break;
      }
      case u's': {
        if (!std::holds_alternative<String>(arg)) BadFormat(fmt);
        text = std::get<String>(arg);
        if (precision >= 0 && static_cast<size_t>(precision) < text.size()) text.resize(static_cast<size_t>(precision));
        break;
      }
      default:
        BadFormat(fmt);
    }
    if (static_cast<int>(text.size()) < width) {
      size_t pad = static_cast<size_t>(width) - text.size();
      if (left)
        text.append(pad, u' ');
      else
        text.insert(0, pad, u' ');
    }
    out += text;
  }
  return out;
}

// ---- FormatFloat ----

namespace {

struct Section {
  StringView text;
  int intCount{0};       // "0" and "#" before the decimal point
  int firstIntZero{-1};  // index among them of the first "0"
  int decCount{0};       // placeholders after the point
  int minDec{0};         // up to the last "0" after the point
  bool thousands{false};
  bool scientific{false};
  bool hasPlaceholders{false};
};

Section Analyse(StringView text) {
  Section s;
  s.text = text;
  bool point = false;
  for (size_t i = 0; i < text.size(); ++i) {
    Char c = text[i];
    if (c == u'"' || c == u'\'') {
      size_t end = text.find(c, i + 1);
      i = end == StringView::npos ? text.size() : end;
      continue;
    }
    if ((c == u'E' || c == u'e') && i + 1 < text.size() && (text[i + 1] == u'+' || text[i + 1] == u'-')) {
      s.scientific = true;
      break;
    }
    if (c == u'0' || c == u'#') {
      s.hasPlaceholders = true;
      if (point) {
        ++s.decCount;
        if (c == u'0') s.minDec = s.decCount;
      } else {
        if (c == u'0' && s.firstIntZero < 0) s.firstIntZero = s.intCount;
        ++s.intCount;
      }
    } else if (c == u'.') {
      point = true;
    } else if (c == u',') {
      s.thousands = true;
    }
  }
  return s;
}

std::vector<StringView> SplitSections(StringView pattern) {
  std::vector<StringView> out;
  size_t start = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    Char c = pattern[i];
    if (c == u'"' || c == u'\'') {
      size_t end = pattern.find(c, i + 1);
      i = end == StringView::npos ? pattern.size() - 1 : end;
    } else if (c == u';' && out.size() < 2) {
      out.push_back(pattern.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(pattern.substr(start));
  return out;
}

Decimal RoundFor(const Section& s, double absValue) {
  Decimal d = detail::ToDecimal(absValue);
  d.negative = false;
  if (s.scientific)
    detail::RoundSignificant(d, std::max(s.intCount, 1) + s.decCount);
  else
    detail::RoundDecimals(d, s.decCount);
  return d;
}

String Render(const Section& s, const Decimal& d, bool minus, const TFormatSettings& fs) {
  String out;
  if (minus) out.push_back(u'-');
  std::string intDigits, fracDigits;
  int exponent = 0;
  if (s.scientific) {
    int n = std::max(s.intCount, 1);
    exponent = d.IsZero() ? 0 : d.exp - n;
    for (int k = 0; k < n; ++k) intDigits.push_back(d.DigitAt(k - d.exp));
    for (int k = 0; k < s.decCount; ++k) fracDigits.push_back(d.DigitAt(n + k - d.exp));
  } else {
    intDigits = d.IntegerDigits();
    int minInt = s.firstIntZero < 0 ? 0 : s.intCount - s.firstIntZero;
    if (static_cast<int>(intDigits.size()) < minInt) intDigits.insert(0, static_cast<size_t>(minInt) - intDigits.size(), '0');
    for (int k = 0; k < s.decCount; ++k) fracDigits.push_back(d.DigitAt(k));
  }
  while (static_cast<int>(fracDigits.size()) > s.minDec && fracDigits.back() == '0') fracDigits.pop_back();

  const Char sep = (s.thousands && !s.scientific) ? fs.ThousandSeparator : Char(0);
  const long total = static_cast<long>(intDigits.size());
  long emitted = 0;  // integer digits written so far
  auto emitInt = [&](long upTo) {
    for (; emitted <= upTo && emitted < total; ++emitted) {
      out.push_back(static_cast<Char>(intDigits[static_cast<size_t>(emitted)]));
      long rest = total - 1 - emitted;
      if (sep && rest > 0 && rest % 3 == 0) out.push_back(sep);
    }
  };
  int intSeen = 0;
  size_t fracSeen = 0;
  bool point = false;
  const StringView t = s.text;
  for (size_t i = 0; i < t.size(); ++i) {
    Char c = t[i];
    if (c == u'"' || c == u'\'') {
      size_t end = t.find(c, i + 1);
      if (end == StringView::npos) end = t.size();
      out.append(t.substr(i + 1, end - i - 1));
      i = end;
      continue;
    }
    if (s.scientific && (c == u'E' || c == u'e') && i + 1 < t.size() && (t[i + 1] == u'+' || t[i + 1] == u'-')) {
      emitInt(total - 1);
      bool plus = t[i + 1] == u'+';
      i += 2;
      int expDigits = 0;
      while (i < t.size() && t[i] == u'0' && expDigits < 4) {
        ++expDigits;
        ++i;
      }
      --i;
      out.push_back(c);
      if (exponent < 0)
        out.push_back(u'-');
      else if (plus)
        out.push_back(u'+');
      String e = IntToStr(exponent < 0 ? -exponent : exponent);
      while (static_cast<int>(e.size()) < expDigits) e.insert(e.begin(), u'0');
      out += e;
      continue;
    }
    if (c == u'0' || c == u'#') {
      if (!point) {
        // The first placeholder also takes the digits the pattern has no room for.
        long last = total - (s.intCount - intSeen);
        emitInt(last);
        ++intSeen;
      } else {
        if (fracSeen < fracDigits.size()) out.push_back(static_cast<Char>(fracDigits[fracSeen]));
        ++fracSeen;
      }
    } else if (c == u'.') {
      if (point) continue;
      point = true;
      emitInt(total - 1);
      if (!fracDigits.empty()) out.push_back(fs.DecimalSeparator);
    } else if (c == u',') {
      // grouping is decided for the whole integer part
    } else {
      out.push_back(c);
    }
  }
  emitInt(total - 1);
  return out;
}

}  // namespace

String FormatFloat(StringView pattern, double value) { return FormatFloat(pattern, value, FormatSettings()); }

String FormatFloat(StringView pattern, double value, const TFormatSettings& fs) {
  String special;
  if (NonFinite(value, special)) return special;
  std::vector<StringView> texts = SplitSections(pattern);
  Section positive = Analyse(texts[0]);
  if (!positive.hasPlaceholders && texts.size() == 1 && texts[0].empty())
    return GeneralText(value, 15, fs);
  const bool negative = value < 0;
  Decimal d = RoundFor(positive, std::fabs(value));
  if (d.IsZero() && texts.size() >= 3 && !texts[2].empty()) {
    Section zero = Analyse(texts[2]);
    return Render(zero, RoundFor(zero, 0.0), false, fs);
  }
  // A negative value that rounds to zero shows as zero, not "-0.00" or "(0.00)".
  if (negative && !d.IsZero() && texts.size() >= 2 && !texts[1].empty()) {
    Section neg = Analyse(texts[1]);
    return Render(neg, RoundFor(neg, std::fabs(value)), false, fs);
  }
  return Render(positive, d, negative && !d.IsZero(), fs);
}

// ---- float conversions ----

bool TryStrToFloat(StringView s, double& value) { return TryStrToFloat(s, value, FormatSettings()); }

bool TryStrToFloat(StringView s, double& value, const TFormatSettings& fs) {
  String t = Trim(s);
  std::string ascii;
  size_t i = 0;
  auto digits = [&]() {
    size_t n = 0;
    while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') {
      ascii.push_back(static_cast<char>(t[i++]));
      ++n;
    }
    return n;
  };
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
    if (t[i] == u'-') ascii.push_back('-');
    ++i;
  }
  size_t mantissa = digits();
  if (i < t.size() && t[i] == fs.DecimalSeparator) {
    ascii.push_back('.');
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
    ascii.push_back('e');
    ++i;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ascii.push_back(static_cast<char>(t[i++]));
    if (digits() == 0) return false;
  }
  if (i != t.size()) return false;
  double v = 0;
  auto r = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
  if (r.ec != std::errc() || r.ptr != ascii.data() + ascii.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

String FloatToStr(double value) { return FloatToStr(value, FormatSettings()); }

String FloatToStr(double value, const TFormatSettings& fs) { return GeneralText(value, 15, fs); }

Int64 Round(double value) {
  if (!std::isfinite(value) || std::fabs(value) >= 9.2233720368547758e18)
    throw EInvalidOperation(u"Invalid floating point operation");
  double f = std::floor(value);
  double diff = value - f;  // exact for every double
  if (diff > 0.5 || (diff == 0.5 && std::fmod(f, 2.0) != 0)) f += 1;
  return static_cast<Int64>(f);
}

Int64 Trunc(double value) {
  if (!std::isfinite(value) || std::fabs(value) >= 9.2233720368547758e18)
    throw EInvalidOperation(u"Invalid floating point operation");
  return static_cast<Int64>(std::trunc(value));
}

}  // namespace pf
