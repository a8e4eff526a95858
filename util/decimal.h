#pragma once
// Exact decimal arithmetic on the numbers a log holds, for texts that other
// programs read back. A time in a log is a decimal text; read into a double,
// it is given back exactly by the shortest decimal text that reads as the same
// double. The differences and quotients below are computed on those texts, so
// they are the exact decimal value: never rounded, never a binary artefact
// such as 15.038933333332999.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace stimloom {

// (a - b) / 10^shift as plain decimal text: no exponent, no trailing zeros
// after the point, "0" for zero, a leading "-" when negative.
//   (160445, 152340, 4) -> "0.8105"; (1000.3, 0, 4) -> "0.10003"; (5, 5, 4) -> "0"
// Not finite a or b give "n/a".
std::string exactDifferenceText(double a, double b, int shift);

// The same text appended to `out`.
void appendExactDifference(std::string& out, double a, double b, int shift);

// a / 10^shift, likewise.  (15000, 4) -> "1.5"; (-20, 1) -> "-2"
std::string exactQuotientText(double a, int shift);

// The double nearest to a decimal text written by the functions above.
double decimalTextValue(const std::string& text);

// An exact decimal number, for sums and means that come out as a person
// working them by hand would write them: 0.1 + 0.2 is 0.3.
class ExactDecimal {
 public:
  ExactDecimal() = default;  // 0

  // "12", "-0.4521", "+3.", ".5", "1.5e-3", "2E4"; nothing for any other text
  // (spaces, "inf", "nan", hexadecimal) and for exponents past ±400.
  static std::optional<ExactDecimal> parse(std::string_view text);

  ExactDecimal operator+(const ExactDecimal& other) const;
  ExactDecimal operator-(const ExactDecimal& other) const;
  // This divided by `divisor` (at least 1), rounded to at most `places`
  // decimals, a half away from zero: (2, 3, 6) -> 0.666667, (1, 8, 2) -> 0.13.
  ExactDecimal dividedBy(std::uint32_t divisor, int places) const;
  bool operator==(const ExactDecimal& other) const = default;

  // Plain decimal text as exactDifferenceText writes it: "-0.5", "0", "1200".
  std::string text() const;
  double nearestDouble() const;

 private:
  bool negative_ = false;
  std::string digits_;  // no leading or trailing zeros; none for 0
  int exponent_ = 0;    // of the last digit
};

}  // namespace stimloom
