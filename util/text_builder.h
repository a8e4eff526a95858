#pragma once
// A line of text built by appending, kept from one line to the next so that a
// long run of log lines allocates nothing per line. Numbers come out as
// printf writes them: integers as "%d", rounded reals as "%15.0f".

#include <charconv>
#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace stimloom {

class TextBuilder {
 public:
  TextBuilder& clear() {
    text_.clear();
    return *this;
  }

  TextBuilder& add(std::string_view text) {
    text_.append(text);
    return *this;
  }

  template <std::integral Integer>
  requires(!std::same_as<Integer, bool> && !std::same_as<Integer, char>) TextBuilder& add(Integer value) {
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    text_.append(digits, static_cast<std::size_t>(written.ptr - digits));
    return *this;
  }

  // The value rounded to a whole number, right-aligned in `width` characters:
  // what printf's "%*.0f" writes, ties rounding to even.
  TextBuilder& addRounded(double value, std::size_t width) {
    char digits[330];  // the longest fixed form of a double: 309 digits and a sign
    const auto length = static_cast<std::size_t>(writeRounded(value, digits, digits + sizeof digits) - digits);
    if (length < width) text_.append(width - length, ' ');
    text_.append(digits, length);
    return *this;
  }

  const char* c_str() const noexcept { return text_.c_str(); }
  std::string_view view() const noexcept { return text_; }

 private:
  // Values below 2^52, every duration a log holds, are rounded here and
  // written as integers, far faster than a general fixed-point conversion.
  // The rounding is made on the exact value: `rest` is exact, so a tie is a
  // true tie.
  static char* writeRounded(double value, char* first, char* last) {
    if (!(std::fabs(value) < 0x1p52)) return std::to_chars(first, last, value, std::chars_format::fixed, 0).ptr;
    double whole = std::trunc(value);
    const double rest = std::fabs(value - whole);
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0)) whole += value < 0 ? -1 : 1;
    // printf keeps the sign of a negative value that rounds to zero: "-0".
    if (whole == 0 && std::signbit(value)) *first++ = '-';
    return std::to_chars(first, last, static_cast<std::int64_t>(whole)).ptr;
  }

  std::string text_;
};

}  // namespace stimloom
