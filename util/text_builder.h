#pragma once
// A line of text built by appending, kept from one line to the next so that a
// long run of log lines allocates nothing per line. Numbers come out as
// printf writes them: integers as "%d", rounded reals as "%15.0f".

#include <charconv>
#include <concepts>
#include <cstddef>
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
    text_.append(digits, written.ptr);
    return *this;
  }

  // The value rounded to a whole number, right-aligned in `width` characters:
  // what printf's "%*.0f" writes, ties rounding to even.
  TextBuilder& addRounded(double value, std::size_t width) {
    char digits[330];  // the longest fixed form of a double: 309 digits and a sign
    const auto written = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 0);
    const auto length = static_cast<std::size_t>(written.ptr - digits);
    if (length < width) text_.append(width - length, ' ');
    text_.append(digits, length);
    return *this;
  }

  const char* c_str() const noexcept { return text_.c_str(); }
  std::string_view view() const noexcept { return text_; }

 private:
  std::string text_;
};

}  // namespace stimloom
