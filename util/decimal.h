#pragma once
// Exact decimal arithmetic on the numbers a log holds, for texts that other
// programs read back. A time in a log is a decimal text; read into a double,
// it is given back exactly by the shortest decimal text that reads as the same
// double. The differences and quotients below are computed on those texts, so
// they are the exact decimal value: never rounded, never a binary artefact
// such as 15.038933333332999.

#include <cstdint>
#include <string>

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

}  // namespace stimloom
