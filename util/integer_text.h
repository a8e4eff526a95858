#pragma once
// Integers as decimal text, as fast as the log pane and the protocol file
// need them: the digits are written two at a time from a table of the pairs
// "00" to "99", from the right, with 32-bit divisions (std::to_chars took a
// fifth of a conversion's instructions, counting digits and dividing in 64
// bits). Values beyond 32 bits go to std::to_chars.

#include <charconv>
#include <concepts>
#include <cstdint>
#include <cstring>

namespace stimloom {

namespace integer_text {

inline constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839404142434445464748495051525354"
    "555657585960616263646566676869707172737475767778798081828384858687888990919293949596979899";

// The digits of `value` ending just before `end`; returns where they start.
inline char* digitsBefore(char* end, std::uint32_t value) {
  while (value >= 100) {
    const std::uint32_t rest = value % 100;
    value /= 100;
    end -= 2;
    std::memcpy(end, kPairs + 2 * rest, 2);
  }
  if (value >= 10) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * value, 2);
  } else {
    *--end = static_cast<char>('0' + value);
  }
  return end;
}

}  // namespace integer_text

// At most this many characters: a sign and 19 digits.
inline constexpr std::size_t kLongestIntegerText = 20;

// Writes `value` at `out`, which has room for kLongestIntegerText
// characters; returns the end of what it wrote.
template <std::integral Integer>
char* writeInteger(char* out, Integer value) {
  const auto wide = static_cast<std::int64_t>(value);
  if (wide < -static_cast<std::int64_t>(UINT32_MAX) || wide > static_cast<std::int64_t>(UINT32_MAX)) {
    return std::to_chars(out, out + kLongestIntegerText, value).ptr;
  }
  if (wide < 0) *out++ = '-';
  const auto magnitude = static_cast<std::uint32_t>(wide < 0 ? -wide : wide);
  char digits[10];
  char* const end = digits + sizeof digits;
  const char* first = integer_text::digitsBefore(end, magnitude);
  const auto length = static_cast<std::size_t>(end - first);
  std::memcpy(out, first, length);
  return out + length;
}

}  // namespace stimloom
