#include "util/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace stimloom {
namespace {

// ±digits × 10^exponent, digits without leading zeros; no digits is zero.
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

void trimZeros(Decimal& number) {
  const auto first = number.digits.find_first_not_of('0');
  if (first == std::string::npos) {
    number = Decimal{};
    return;
  }
  number.digits.erase(0, first);
  const auto last = number.digits.find_last_not_of('0');
  number.exponent += static_cast<int>(number.digits.size() - 1 - last);
  number.digits.erase(last + 1);
}

// The shortest decimal text that reads back as `value` (what std::to_chars
// gives), taken apart: "1.0003e+03" is 10003 × 10^-1.
Decimal decimalOf(double value) {
  Decimal number;
  if (value == 0) return number;
  char text[64];
  const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
  const std::string_view shortest(text, static_cast<std::size_t>(written.ptr - text));
  std::size_t at = 0;
  if (shortest[at] == '-') {
    number.negative = true;
    ++at;
  }
  const std::size_t e = shortest.find('e');
  int fractionDigits = 0;
  for (; at < e; ++at) {
    if (shortest[at] == '.') {
      fractionDigits = static_cast<int>(e - at - 1);
      continue;
    }
    number.digits += shortest[at];
  }
  int exponent = 0;
  const char* first = shortest.data() + e + 1;
  if (*first == '+') ++first;
  std::from_chars(first, shortest.data() + shortest.size(), exponent);
  number.exponent = exponent - fractionDigits;
  trimZeros(number);
  return number;
}

// Compares the magnitudes of two digit strings of the same exponent.
int compareMagnitude(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

// Schoolbook sums and differences of digit strings of the same exponent.
std::string addMagnitudes(const std::string& a, const std::string& b) {
  std::string sum;
  int carry = 0;
  for (std::size_t i = 0; i < std::max(a.size(), b.size()) || carry != 0; ++i) {
    const int x = i < a.size() ? a[a.size() - 1 - i] - '0' : 0;
    const int y = i < b.size() ? b[b.size() - 1 - i] - '0' : 0;
    const int digit = x + y + carry;
    sum += static_cast<char>('0' + digit % 10);
    carry = digit / 10;
  }
  std::reverse(sum.begin(), sum.end());
  return sum;
}

// a - b for a at least b.
std::string subtractMagnitudes(const std::string& a, const std::string& b) {
  std::string difference;
  int borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    int digit = (a[a.size() - 1 - i] - '0') - borrow - (i < b.size() ? b[b.size() - 1 - i] - '0' : 0);
    borrow = digit < 0 ? 1 : 0;
    if (digit < 0) digit += 10;
    difference += static_cast<char>('0' + digit);
  }
  std::reverse(difference.begin(), difference.end());
  return difference;
}

Decimal difference(Decimal a, Decimal b) {
  const int exponent = std::min(a.exponent, b.exponent);
  if (!a.digits.empty()) a.digits.append(static_cast<std::size_t>(a.exponent - exponent), '0');
  if (!b.digits.empty()) b.digits.append(static_cast<std::size_t>(b.exponent - exponent), '0');
  Decimal result;
  result.exponent = exponent;
  if (a.negative != b.negative) {
    // a - (-b) = a + b, and -a - b = -(a + b).
    result.digits = addMagnitudes(a.digits, b.digits);
    result.negative = a.negative;
  } else if (compareMagnitude(a.digits, b.digits) >= 0) {
    result.digits = subtractMagnitudes(a.digits, b.digits);
    result.negative = a.negative;
  } else {
    result.digits = subtractMagnitudes(b.digits, a.digits);
    result.negative = !a.negative;
  }
  trimZeros(result);
  return result;
}

std::string plainText(const Decimal& number, int shift) {
  if (number.digits.empty()) return "0";
  std::string text = number.negative ? "-" : "";
  const long long exponent = static_cast<long long>(number.exponent) - shift;
  const auto length = static_cast<long long>(number.digits.size());
  if (exponent >= 0) {
    text += number.digits;
    text.append(static_cast<std::size_t>(exponent), '0');
  } else if (length + exponent > 0) {
    const auto point = static_cast<std::size_t>(length + exponent);
    text.append(number.digits, 0, point).append(".").append(number.digits, point);
  } else {
    text.append("0.").append(static_cast<std::size_t>(-(length + exponent)), '0').append(number.digits);
  }
  return text;
}

// Whole numbers of at most 53 bits, the times of nearly every log, are exact
// in 64-bit integers: no digit strings needed.
bool isSmallWhole(double value) { return std::fabs(value) < 0x1p53 && std::trunc(value) == value; }

// The digits of |value| with the point `shift` places from the right, and
// no trailing zeros after it, straight into `out`: no allocation.
void appendWhole(std::string& out, std::int64_t value, int shift) {
  if (value == 0) {
    out += '0';
    return;
  }
  // |value| < 2^54 here, so the negation cannot overflow.
  const std::uint64_t magnitude = value < 0 ? static_cast<std::uint64_t>(-value) : static_cast<std::uint64_t>(value);
  char digits[24];
  const auto length = static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, magnitude).ptr - digits);
  const std::size_t places = shift > 0 ? static_cast<std::size_t>(shift) : 0;  // digits after the point
  const std::size_t point = length > places ? length - places : 0;
  std::size_t last = length;  // the digits kept: trailing zeros after the point go
  while (last > point && digits[last - 1] == '0') --last;
  if (value < 0) out += '-';
  if (shift < 0) {
    out.append(digits, length).append(static_cast<std::size_t>(-shift), '0');
    return;
  }
  if (point == 0) {
    out += "0.";
    out.append(places - length, '0').append(digits, last);
    return;
  }
  out.append(digits, point);
  if (last > point) out.append(".").append(digits + point, last - point);
}

}  // namespace

void appendExactDifference(std::string& out, double a, double b, int shift) {
  if (!std::isfinite(a) || !std::isfinite(b)) {
    out += "n/a";
  } else if (isSmallWhole(a) && isSmallWhole(b)) {
    appendWhole(out, static_cast<std::int64_t>(a) - static_cast<std::int64_t>(b), shift);
  } else {
    out += plainText(difference(decimalOf(a), decimalOf(b)), shift);
  }
}

std::string exactDifferenceText(double a, double b, int shift) {
  std::string text;
  appendExactDifference(text, a, b, shift);
  return text;
}

std::string exactQuotientText(double a, int shift) { return exactDifferenceText(a, 0, shift); }

namespace {

constexpr int kLargestExponent = 400;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<ExactDecimal> ExactDecimal::parse(std::string_view text) {
  Decimal number;
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) number.negative = text[at++] == '-';
  std::size_t digitCount = 0;
  long long fractionDigits = 0;
  bool point = false;
  for (; at < text.size() && (isDigit(text[at]) || (text[at] == '.' && !point)); ++at) {
    if (text[at] == '.') {
      point = true;
      continue;
    }
    number.digits += text[at];
    ++digitCount;
    if (point) ++fractionDigits;
  }
  if (digitCount == 0) return std::nullopt;
  long long exponent = 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    const bool negativeExponent = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    if (at == text.size()) return std::nullopt;
    for (; at < text.size() && isDigit(text[at]); ++at) {
      exponent = exponent * 10 + (text[at] - '0');
      if (exponent > kLargestExponent) return std::nullopt;
    }
    if (negativeExponent) exponent = -exponent;
  }
  if (at != text.size()) return std::nullopt;
  if (fractionDigits > kLargestExponent * 1000LL) return std::nullopt;  // keeps the exponent an int
  number.exponent = static_cast<int>(exponent - fractionDigits);
  trimZeros(number);
  ExactDecimal result;
  result.negative_ = number.negative;
  result.digits_ = std::move(number.digits);
  result.exponent_ = number.exponent;
  return result;
}

ExactDecimal ExactDecimal::operator-(const ExactDecimal& other) const {
  const Decimal result = difference({negative_, digits_, exponent_}, {other.negative_, other.digits_, other.exponent_});
  ExactDecimal value;
  value.negative_ = result.negative;
  value.digits_ = result.digits;
  value.exponent_ = result.exponent;
  return value;
}

ExactDecimal ExactDecimal::operator+(const ExactDecimal& other) const {
  ExactDecimal negated = other;
  negated.negative_ = !other.negative_ && !other.digits_.empty();
  return *this - negated;
}

ExactDecimal ExactDecimal::dividedBy(std::uint32_t divisor, int places) const {
  if (digits_.empty() || divisor == 0) return {};
  // Long division, digit by digit from the first, down to the one after the
  // last place kept, which decides the rounding. `rest` stays below the
  // divisor, so rest * 10 + 9 fits in 64 bits.
  const long long first = static_cast<long long>(exponent_) + static_cast<long long>(digits_.size()) - 1;
  const long long decider = -static_cast<long long>(places) - 1;
  std::string quotient;
  std::uint64_t rest = 0;
  for (long long at = first; at >= decider; --at) {
    const auto index = static_cast<std::size_t>(first - at);
    rest = rest * 10 + static_cast<std::uint64_t>(index < digits_.size() ? digits_[index] - '0' : 0);
    quotient += static_cast<char>('0' + rest / divisor);
    rest %= divisor;
  }
  // Nothing computed: the number is below a tenth of the last place.
  if (quotient.empty()) return {};
  const bool up = quotient.back() >= '5';
  quotient.pop_back();
  if (quotient.empty()) quotient = "0";
  Decimal result{negative_, up ? addMagnitudes(quotient, "1") : quotient, -places};
  trimZeros(result);
  ExactDecimal value;
  value.negative_ = result.negative;
  value.digits_ = std::move(result.digits);
  value.exponent_ = result.exponent;
  return value;
}

std::string ExactDecimal::text() const { return plainText({negative_, digits_, exponent_}, 0); }

double ExactDecimal::nearestDouble() const { return decimalTextValue(text()); }

double decimalTextValue(const std::string& text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace stimloom
