#include "platform/rtl/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

namespace pf {

namespace {

constexpr Int64 kMsPerDay = 86400000;
// Days from 0001-01-01 to 1899-12-30, the class library's day zero.
constexpr Int64 kDayZero = 693594;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days since 1970-01-01 of a civil date, and back (H. Hinnant's algorithms).
Int64 DaysFromCivil(Int64 y, unsigned m, unsigned d) {
  y -= m <= 2;
  const Int64 era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<Int64>(doe) - 719468;
}

void CivilFromDays(Int64 z, int& y, unsigned& m, unsigned& d) {
  z += 719468;
  const Int64 era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const Int64 yy = static_cast<Int64>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(yy + (m <= 2));
}

// 1899-12-30 is 25569 days before 1970-01-01.
constexpr Int64 kUnixDay = 25569;

// Splits into whole days and milliseconds of the day. Before day zero the fraction still counts
// forward from midnight (-1.25 is 29 December 1899, 06:00), as the class library keeps it.
void Split(TDateTime dt, Int64& days, Int64& ms) {
  if (dt >= 0) {
    Int64 total = static_cast<Int64>(std::llround(dt * kMsPerDay));
    days = total / kMsPerDay;
    ms = total % kMsPerDay;
    return;
  }
  days = static_cast<Int64>(std::trunc(dt));
  ms = static_cast<Int64>(std::llround(std::fabs(dt - static_cast<double>(days)) * kMsPerDay));
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    --days;
  }
}

}  // namespace

TDateTime Now() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  if (ms < 0) ms += 1000;
  return EncodeDate(static_cast<Word>(tm.tm_year + 1900), static_cast<Word>(tm.tm_mon + 1), static_cast<Word>(tm.tm_mday)) +
         EncodeTime(static_cast<Word>(tm.tm_hour), static_cast<Word>(tm.tm_min), static_cast<Word>(std::min(tm.tm_sec, 59)),
                    static_cast<Word>(ms));
}

TDateTime EncodeDate(Word year, Word month, Word day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    throw EConvertError(u"Invalid argument to date encode");
  return static_cast<double>(DaysFromCivil(year, month, day) + kUnixDay);
}

TDateTime EncodeTime(Word hour, Word min, Word sec, Word msec) {
  if (hour >= 24 || min >= 60 || sec >= 60 || msec >= 1000) throw EConvertError(u"Invalid argument to time encode");
  return static_cast<double>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / kMsPerDay;
}

void DecodeDate(TDateTime dt, Word& year, Word& month, Word& day) {
  Int64 days, ms;
  Split(dt, days, ms);
  int y;
  unsigned m, d;
  CivilFromDays(days - kUnixDay, y, m, d);
  year = static_cast<Word>(y);
  month = static_cast<Word>(m);
  day = static_cast<Word>(d);
}

void DecodeTime(TDateTime dt, Word& hour, Word& min, Word& sec, Word& msec) {
  Int64 days, ms;
  Split(dt, days, ms);
  hour = static_cast<Word>(ms / 3600000);
  min = static_cast<Word>(ms / 60000 % 60);
  sec = static_cast<Word>(ms / 1000 % 60);
  msec = static_cast<Word>(ms % 1000);
}

String FormatDateTime(StringView pattern, TDateTime dt) { return FormatDateTime(pattern, dt, FormatSettings()); }

String FormatDateTime(StringView pattern, TDateTime dt, const TFormatSettings& fs) {
  Word y, mo, d, h, mi, s, ms;
  DecodeDate(dt, y, mo, d);
  DecodeTime(dt, h, mi, s, ms);
  String out;
  auto num = [&](int v, size_t width) {
    String t = IntToStr(v);
    while (t.size() < width) t.insert(t.begin(), u'0');
    out += t;
  };
  auto lower = [](Char c) { return (c >= u'A' && c <= u'Z') ? static_cast<Char>(c + 32) : c; };
  auto startsWithCi = [&](size_t i, StringView w) {
    if (i + w.size() > pattern.size()) return false;
    for (size_t k = 0; k < w.size(); ++k)
      if (lower(pattern[i + k]) != w[k]) return false;
    return true;
  };
  // With an am/pm marker anywhere, hours are shown on the 12-hour clock.
  bool twelve = false;
  for (size_t i = 0; i < pattern.size(); ++i)
    if (startsWithCi(i, u"ampm") || startsWithCi(i, u"am/pm") || startsWithCi(i, u"a/p")) twelve = true;

  bool afterHour = false;
  for (size_t i = 0; i < pattern.size();) {
    Char c = pattern[i];
    Char lc = lower(c);
    auto run = [&]() {
      size_t n = 1;
      while (i + n < pattern.size() && lower(pattern[i + n]) == lc) ++n;
      return n;
    };
    if (c == u'"' || c == u'\'') {
      size_t end = pattern.find(c, i + 1);
      if (end == StringView::npos) end = pattern.size();
      out.append(pattern.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    if (startsWithCi(i, u"am/pm")) {
      out += h < 12 ? u"am" : u"pm";
      i += 5;
      continue;
    }
    if (startsWithCi(i, u"ampm")) {
      out += h < 12 ? u"AM" : u"PM";
      i += 4;
      continue;
    }
    if (startsWithCi(i, u"a/p")) {
      out += h < 12 ? u"a" : u"p";
      i += 3;
      continue;
    }
    size_t n = run();
    switch (lc) {
      case u'y':
        if (n <= 2)
          num(y % 100, 2);
        else
          num(y, 4);
        break;
      case u'm':
        if (afterHour && n <= 2)
          num(mi, n);
        else
          num(mo, n >= 2 ? 2 : 1);
        break;
      case u'd':
        if (n == 5)
          out += FormatDateTime(fs.ShortDateFormat, dt, fs);
        else
          num(d, n >= 2 ? 2 : 1);
        break;
      case u'h': {
        int hh = twelve ? (h % 12 == 0 ? 12 : h % 12) : h;
        num(hh, n >= 2 ? 2 : 1);
        break;
      }
      case u'n':
        num(mi, n >= 2 ? 2 : 1);
        break;
      case u's':
        num(s, n >= 2 ? 2 : 1);
        break;
      case u'z':
        num(ms, n >= 3 ? 3 : 1);
        break;
      case u't':
        out += FormatDateTime(n >= 2 ? fs.LongTimeFormat : fs.ShortTimeFormat, dt, fs);
        break;
      case u'c':
        out += FormatDateTime(fs.ShortDateFormat, dt, fs);
        if (h || mi || s || ms) out += u" " + FormatDateTime(fs.LongTimeFormat, dt, fs);
        break;
      case u'/':
        out.append(n, fs.DateSeparator);
        break;
      case u':':
        out.append(n, fs.TimeSeparator);
        break;
      default:
        out.append(n, c);
        break;
    }
    if (lc == u'h') afterHour = true;
    else if (lc != u' ' && lc != u':' && lc != u'/' && lc != u'.') afterHour = false;
    i += n;
  }
  return out;
}

String TimeToStr(TDateTime dt) { return FormatDateTime(FormatSettings().LongTimeFormat, dt); }

}  // namespace pf
