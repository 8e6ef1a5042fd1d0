#pragma once
// Decimal digits of a double, for the formatting routines. Prices are rounded on the decimal value
// the user sees (0.125 is "0.13" with two decimals), not on the nearest binary fraction (which
// lies below 0.125 for many such values), so every formatter starts from the shortest decimal
// string that reads back as the same double.

#include <string>

namespace pf::detail {

// value = (negative ? -1 : 1) * 0.d1d2d3... * 10^exp; digits has no leading or trailing zeros
// and is empty for zero.
struct Decimal {
  bool negative{false};
  std::string digits;
  int exp{0};

  bool IsZero() const { return digits.empty(); }
  // The digit at position `k` counted from the decimal point (0: first after the point,
  // -1: units, -2: tens, ...); '0' beyond the known digits.
  char DigitAt(int k) const;
  // The integer part's digits ("" for zero).
  std::string IntegerDigits() const;
};

Decimal ToDecimal(double v);
// Rounds half away from zero, keeping `decimals` digits after the point.
void RoundDecimals(Decimal& d, int decimals);
// Rounds half away from zero to `count` significant digits.
void RoundSignificant(Decimal& d, int count);

}  // namespace pf::detail
