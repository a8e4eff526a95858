#include "protocol/shift.h"

#include <algorithm>
#include <limits>

namespace stimloom {
namespace {

// The shifted bounds in 64 bits, so that the sum cannot overflow.
struct WideInterval {
  std::int64_t start = 0;
  std::int64_t end = 0;
  bool endStopped = false;
};

WideInterval shiftedWide(Interval before, ShiftDirection direction, std::int32_t amount) {
  const std::int64_t delta = direction == ShiftDirection::kSubtract ? -std::int64_t{amount} : std::int64_t{amount};
  WideInterval after;
  after.start = std::int64_t{before.start} + delta;
  if (direction == ShiftDirection::kSubtract) after.start = std::max<std::int64_t>(after.start, 0);
  after.end = std::int64_t{before.end} + delta;
  if (after.end < after.start) {
    after.end = after.start;
    after.endStopped = true;
  }
  return after;
}

bool fitsInt32(std::int64_t value) {
  return value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

ShiftDirection shiftDirectionOf(std::int32_t code) {
  return code == static_cast<std::int32_t>(ShiftDirection::kSubtract) ? ShiftDirection::kSubtract
                                                                      : ShiftDirection::kAdd;
}

std::optional<ShiftedInterval> shiftInterval(Interval before, ShiftDirection direction, std::int32_t amount) {
  const WideInterval after = shiftedWide(before, direction, amount);
  if (!fitsInt32(after.start) || !fitsInt32(after.end)) return std::nullopt;
  return ShiftedInterval{{static_cast<std::int32_t>(after.start), static_cast<std::int32_t>(after.end)},
                         after.endStopped};
}

std::optional<ShiftOutOfRange> findShiftOutOfRange(const std::vector<Condition>& conditions, ShiftDirection direction,
                                                   std::int32_t amount) {
  for (std::size_t c = 0; c < conditions.size(); ++c) {
    const std::vector<Interval>& intervals = conditions[c].intervals;
    for (std::size_t i = 0; i < intervals.size(); ++i) {
      if (shiftInterval(intervals[i], direction, amount)) continue;
      const WideInterval after = shiftedWide(intervals[i], direction, amount);
      return ShiftOutOfRange{c, i, intervals[i], after.start, after.end};
    }
  }
  return std::nullopt;
}

bool shiftConditions(std::vector<Condition>& conditions, ShiftDirection direction, std::int32_t amount,
                     std::vector<StoppedEnd>* stopped) {
  if (findShiftOutOfRange(conditions, direction, amount)) return false;
  for (std::size_t c = 0; c < conditions.size(); ++c) {
    std::vector<Interval>& intervals = conditions[c].intervals;
    for (std::size_t i = 0; i < intervals.size(); ++i) {
      const ShiftedInterval after = *shiftInterval(intervals[i], direction, amount);
      if (after.endStopped && stopped != nullptr) stopped->push_back({c, i, intervals[i], after.interval});
      intervals[i] = after.interval;
    }
  }
  return true;
}

}  // namespace stimloom
