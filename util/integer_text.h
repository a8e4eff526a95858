#pragma once
// Integers as decimal text, as fast as the log pane and the protocol file
// need them: the length found by comparisons, then the digits written two at
// a time from a table of the pairs "00" to "99", from the right, with 32-bit
// divisions, straight to their place (std::to_chars took a fifth of a
// conversion's instructions). Values beyond 32 bits go to std::to_chars.

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

// How many digits `value` has, by comparisons alone.
inline char* digitsEnd(char* first, std::uint32_t value) {
  unsigned count = 0;
  if (value < 100000) {
    count = value < 100 ? (value < 10 ? 1 : 2) : value < 1000 ? 3 : value < 10000 ? 4 : 5;
  } else {
    count = value < 10000000 ? (value < 1000000 ? 6 : 7) : value < 100000000 ? 8 : value < 1000000000 ? 9 : 10;
  }
  return first + count;
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
  // The length first, so that the digits go straight to their place.
  char* const end = integer_text::digitsEnd(out, magnitude);
  integer_text::digitsBefore(end, magnitude);
  return end;
}

}  // namespace stimloom
