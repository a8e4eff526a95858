#pragma once
// A line of text built by appending, kept from one line to the next so that a
// long run of log lines allocates nothing per line. Numbers come out as
// printf writes them: integers as "%d", rounded reals as "%15.0f".

#include <algorithm>
#include <charconv>
#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "util/integer_text.h"

namespace stimloom {

class TextBuilder {
 public:
  TextBuilder() { grow(kStartCapacity); }
  TextBuilder(const TextBuilder&) = delete;
  TextBuilder& operator=(const TextBuilder&) = delete;

  TextBuilder& clear() {
    size_ = 0;
    return *this;
  }

  TextBuilder& add(std::string_view text) {
    append(text.data(), text.size());
    return *this;
  }

  // A literal's length is known here, so its copy is a few instructions, not
  // a call: most of a log line is literals.
  template <std::size_t N>
  TextBuilder& add(const char (&literal)[N]) {
    append(literal, N - 1);
    return *this;
  }

  template <std::integral Integer>
  requires(!std::same_as<Integer, bool> && !std::same_as<Integer, char>) TextBuilder& add(Integer value) {
    reserve(kLongestIntegerText);
    size_ = static_cast<std::size_t>(writeInteger(end(), value) - data_.get());
    return *this;
  }

  // The value rounded to a whole number, right-aligned in `width` characters:
  // what printf's "%*.0f" writes, ties rounding to even.
  TextBuilder& addRounded(double value, std::size_t width) {
    char digits[330];  // the longest fixed form of a double: 309 digits and a sign
    const auto length = static_cast<std::size_t>(writeRounded(value, digits, digits + sizeof digits) - digits);
    if (length < width) padding(width - length);
    append(digits, length);
    return *this;
  }

  // tenths / 10 rounded as addRounded rounds it. A whole number of tenths,
  // what a log nearly always holds, is divided as an integer: a tie is then
  // a remainder of 5, and no floating-point rounding is needed.
  TextBuilder& addTenthsRounded(double tenths, std::size_t width) {
    if (!(std::fabs(tenths) < 0x1p53) || std::trunc(tenths) != tenths) return addRounded(tenths / 10, width);
    const auto whole = static_cast<std::int64_t>(tenths);
    std::int64_t quotient = whole / 10;
    const std::int64_t remainder = whole % 10;  // takes the sign of `whole`
    const std::int64_t magnitude = remainder < 0 ? -remainder : remainder;
    if (magnitude > 5 || (magnitude == 5 && quotient % 2 != 0)) quotient += whole < 0 ? -1 : 1;
    char digits[24];
    char* first = digits;
    // printf keeps the sign of a negative value that rounds to zero: "-0".
    if (quotient == 0 && whole < 0) *first++ = '-';
    const auto length = static_cast<std::size_t>(writeInteger(first, quotient) - digits);
    if (length < width) padding(width - length);
    append(digits, length);
    return *this;
  }

  // The text ended by a NUL: the buffer always keeps room for it.
  const char* c_str() const noexcept {
    data_[size_] = '\0';
    return data_.get();
  }
  std::string_view view() const noexcept { return {data_.get(), size_}; }

 private:
  static constexpr std::size_t kStartCapacity = 256;

  char* end() noexcept { return data_.get() + size_; }

  // Room for `more` characters and the terminator.
  void reserve(std::size_t more) {
    if (size_ + more >= capacity_) grow(std::max(capacity_ * 2, size_ + more + 1));
  }

  void grow(std::size_t capacity) {
    std::unique_ptr<char[]> larger(new char[capacity]);
    if (size_ > 0) std::memcpy(larger.get(), data_.get(), size_);
    data_ = std::move(larger);
    capacity_ = capacity;
  }

  // Inlined even where a caller has grown past the compiler's own budget: the
  // reader traces millions of pieces, and a call for each cost 4% of a conversion.
#if defined(__GNUC__)
  [[gnu::always_inline]]
#endif
  void
  append(const char* text, std::size_t length) {
    reserve(length);
    copySmall(end(), text, length);
    size_ += length;
  }

  // Most pieces of a line are a few characters: up to 16 are copied as two
  // overlapping 8-byte (or 4-byte) moves, not by a call of memcpy.
  static void copySmall(char* to, const char* from, std::size_t length) {
    if (length >= 8 && length <= 16) {
      std::memcpy(to, from, 8);
      std::memcpy(to + length - 8, from + length - 8, 8);
    } else if (length >= 4 && length < 8) {
      std::memcpy(to, from, 4);
      std::memcpy(to + length - 4, from + length - 4, 4);
    } else if (length < 4) {
      for (std::size_t i = 0; i < length; ++i) to[i] = from[i];
    } else {
      std::memcpy(to, from, length);
    }
  }

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

  void padding(std::size_t spaces) {
    reserve(spaces);
    std::memset(end(), ' ', spaces);
    size_ += spaces;
  }

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace stimloom
