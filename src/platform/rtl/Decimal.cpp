#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/rtl/Decimal_p.h"

namespace pf::detail {

namespace {

void Normalize(Decimal& d) {
  size_t lead = d.digits.find_first_not_of('0');
  if (lead == std::string::npos) {
    d.digits.clear();
    d.exp = 0;
    return;
  }
  d.digits.erase(0, lead);
  d.exp -= static_cast<int>(lead);
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
}

void RoundAt(Decimal& d, long keep) {
  if (keep >= static_cast<long>(d.digits.size())) return;
  bool up = keep >= 0 && d.digits[static_cast<size_t>(keep)] >= '5';
  d.digits.resize(keep > 0 ? static_cast<size_t>(keep) : 0);
  if (up) {
    long i = static_cast<long>(d.digits.size()) - 1;
    while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') d.digits[static_cast<size_t>(i--)] = '0';
    if (i >= 0) {
      ++d.digits[static_cast<size_t>(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exp;
    }
  }
  bool negative = d.negative;
  Normalize(d);
  d.negative = negative;
}

}  // namespace

char Decimal::DigitAt(int k) const {
  long idx = static_cast<long>(exp) + k;
  if (idx < 0 || idx >= static_cast<long>(digits.size())) return '0';
  return digits[static_cast<size_t>(idx)];
}

std::string Decimal::IntegerDigits() const {
  if (exp <= 0 || digits.empty()) return {};
  std::string r = digits.substr(0, static_cast<size_t>(exp));
  r.resize(static_cast<size_t>(exp), '0');
  return r;
}

Decimal ToDecimal(double v) {
  Decimal d;
  d.negative = std::signbit(v);
  if (v == 0 || !std::isfinite(v)) return d;
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific);
  std::string s(buf, res.ptr);
  size_t e = s.find('e');
  std::string mantissa = s.substr(0, e);
  int exponent = std::atoi(s.c_str() + e + 1);
  for (char c : mantissa)
    if (c != '.') d.digits.push_back(c);
  d.exp = exponent + 1;
  Normalize(d);
  d.negative = std::signbit(v);
  return d;
}

void RoundDecimals(Decimal& d, int decimals) { RoundAt(d, static_cast<long>(d.exp) + decimals); }

void RoundSignificant(Decimal& d, int count) { RoundAt(d, count); }

}  // namespace pf::detail
