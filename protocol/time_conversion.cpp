#include "protocol/time_conversion.h"

#include <cmath>
#include <limits>

namespace stimloom {
namespace {

constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kHighest = std::numeric_limits<std::int32_t>::max();

template <class Number>
std::int32_t held(Number value) noexcept {
  if (value <= kLowest) return kLowest;
  if (value >= kHighest) return kHighest;
  return static_cast<std::int32_t>(value);
}

// Whole numbers of tenths, what logs hold, are divided as integers, which
// is much quicker than a floating-point division. Below 2^40 it is exactly
// the double division truncated (or floored): the quotient's double lies
// within far less than a tenth of the true quotient, so it never rounds
// across a whole number.
bool smallWhole(double value, std::int64_t& whole) noexcept {
  if (!(std::fabs(value) < 0x1p40)) return false;
  whole = static_cast<std::int64_t>(value);
  return static_cast<double>(whole) == value;
}

bool fitsInt32(std::int64_t value) noexcept { return value >= kLowest && value <= kHighest; }

}  // namespace

// Converting a double to int32 truncates toward zero, and is defined only when
// the truncated value fits: so the ranges are tested on the quotient itself.
// NaN fails every comparison.
std::optional<std::int32_t> startMilliseconds(double time) noexcept {
  if (std::int64_t tenths = 0; smallWhole(time, tenths)) {
    const std::int64_t milliseconds = tenths / 10;  // truncates toward zero, as the conversion of a double does
    if (!fitsInt32(milliseconds)) return std::nullopt;
    return static_cast<std::int32_t>(milliseconds);
  }
  const double milliseconds = time / 10;
  if (!(milliseconds > kLowest - 1.0 && milliseconds < kHighest + 1.0)) return std::nullopt;
  return static_cast<std::int32_t>(milliseconds);
}

std::optional<std::int32_t> durationMilliseconds(double duration) noexcept {
  if (std::int64_t tenths = 0; smallWhole(duration, tenths)) {
    std::int64_t milliseconds = tenths / 10;
    if (tenths % 10 < 0) --milliseconds;  // the floor, below zero
    if (!fitsInt32(milliseconds)) return std::nullopt;
    return static_cast<std::int32_t>(milliseconds);
  }
  const double milliseconds = duration / 10;
  if (!(milliseconds >= kLowest && milliseconds < kHighest + 1.0)) return std::nullopt;
  const auto truncated = static_cast<std::int32_t>(milliseconds);
  // Below zero truncation went up and the floor is one lower. That stays in
  // range: a quotient just above INT32_MIN truncates to INT32_MIN + 1.
  return milliseconds < truncated ? truncated - 1 : truncated;
}

std::int32_t convertStartTime(double time) noexcept {
  if (const auto milliseconds = startMilliseconds(time)) return *milliseconds;
  return std::isnan(time) ? 0 : held(time / 10);
}

std::int32_t convertEndTime(std::int32_t start, double duration) noexcept {
  if (const auto milliseconds = durationMilliseconds(duration)) return held(std::int64_t{start} + *milliseconds);
  // Exact while the floor is below 2^53; beyond that the sum is held anyway.
  const double end = start + std::floor(duration / 10);
  return std::isnan(end) ? start : held(end);
}

}  // namespace stimloom
