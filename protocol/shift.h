#pragma once
// Moving every interval of a protocol by one amount, earlier or later. Pure.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/protocol.h"

namespace stimloom {

enum class ShiftDirection : std::int32_t { kSubtract = 1, kAdd = 2 };

// The direction a code names: 1 subtracts, every other code adds.
ShiftDirection shiftDirectionOf(std::int32_t code);

// One interval after the shift. Subtracting stops the start at 0 (an interval
// never begins before the run), and an end never falls below its start: one
// that would stops at the start, the rule a new protocol's intervals follow.
struct ShiftedInterval {
  Interval interval;
  bool endStopped = false;  // the end would have fallen below the start
};

// Nothing when the start or the end would leave the 32-bit range.
std::optional<ShiftedInterval> shiftInterval(Interval before, ShiftDirection direction, std::int32_t amount);

// An interval that cannot be shifted, and the values it would get.
struct ShiftOutOfRange {
  std::size_t condition = 0;  // from 0
  std::size_t interval = 0;   // from 0
  Interval before;
  std::int64_t start = 0;
  std::int64_t end = 0;
};

// The first interval of the conditions whose shift leaves the 32-bit range.
std::optional<ShiftOutOfRange> findShiftOutOfRange(const std::vector<Condition>& conditions, ShiftDirection direction,
                                                   std::int32_t amount);

// An interval whose end stopped at its start.
struct StoppedEnd {
  std::size_t condition = 0;
  std::size_t interval = 0;
  Interval before;
  Interval after;
};

// Shifts every interval, or none: nothing changes when findShiftOutOfRange
// finds one. False then.
bool shiftConditions(std::vector<Condition>& conditions, ShiftDirection direction, std::int32_t amount,
                     std::vector<StoppedEnd>* stopped = nullptr);

}  // namespace stimloom
