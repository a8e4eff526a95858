#include "protocol/shift.h"

#include <algorithm>
#include <span>
#include <string>

#include "host/host_calls.h"

namespace stimloom {
namespace {

// An interval after the shift, in 64 bits so that the sum cannot overflow.
struct ShiftedInterval {
  std::int64_t start = 0;
  std::int64_t end = 0;

  bool fits() const { return fitsInt32(start) && fitsInt32(end); }
  static bool fitsInt32(std::int64_t value) { return value >= INT32_MIN && value <= INT32_MAX; }
};

// Subtracting stops the start at 0 (an interval cannot begin before the run);
// the end has no lower bound.
ShiftedInterval shifted(std::int32_t start, std::int32_t end, std::int32_t direction, std::int32_t amount) {
  if (direction == kSubtract)
    return {std::max<std::int64_t>(std::int64_t{start} - amount, 0), std::int64_t{end} - amount};
  return {std::int64_t{start} + amount, std::int64_t{end} + amount};
}

// The interval arrays of a condition as the host handed them out: its own
// storage, valid until the next protocol call.
struct IntervalArrays {
  std::span<std::int32_t> starts;
  std::span<std::int32_t> ends;
};

bool readIntervalArrays(const ConditionRecord& condition, IntervalArrays& arrays) {
  const auto count = static_cast<std::size_t>(std::max(condition.NrOfIntervals, 0));
  std::int32_t* starts = condition.IntervalStarts.get();
  std::int32_t* ends = condition.IntervalEnds.get();
  if (count > 0 && (starts == nullptr || ends == nullptr)) return false;
  arrays = {std::span(starts, count), std::span(ends, count)};
  return true;
}

std::string conditionName(const ConditionRecord& condition) { return std::string(readText(condition.Name)); }

// Looks at every interval before the first one changes, so that a refusal
// leaves the protocol exactly as it was. Logs nothing unless it refuses.
bool everyIntervalFits(const ProtocolRecord& record, std::int32_t direction, std::int32_t amount) {
  ConditionRecord condition;
  for (std::int32_t index = 0; index < record.NrOfConditions; ++index) {
    hostFunctions().zrGetProtocolCondition(index, &condition);
    IntervalArrays arrays;
    if (!readIntervalArrays(condition, arrays)) {
      logFormat(
          "Condition \"%s\" has %d intervals, but the host gave no storage for them: nothing was shifted or "
          "saved.",
          conditionName(condition).c_str(), condition.NrOfIntervals);
      return false;
    }
    for (std::size_t j = 0; j < arrays.starts.size(); ++j) {
      const ShiftedInterval moved = shifted(arrays.starts[j], arrays.ends[j], direction, amount);
      if (!moved.fits()) {
        logFormat(
            "Condition \"%s\", interval %d (%d - %d), would become %s - %s, outside the 32-bit range: "
            "nothing was shifted or saved.",
            conditionName(condition).c_str(), static_cast<int>(j + 1), arrays.starts[j], arrays.ends[j],
            std::to_string(moved.start).c_str(), std::to_string(moved.end).c_str());
        return false;
      }
    }
  }
  return true;
}

void shiftEveryInterval(const ProtocolRecord& record, std::int32_t direction, std::int32_t amount) {
  ConditionRecord condition;
  for (std::int32_t index = 0; index < record.NrOfConditions; ++index) {
    hostFunctions().zrGetProtocolCondition(index, &condition);
    logFormat("\nCurrent condition: %s", conditionName(condition).c_str());
    IntervalArrays arrays;
    if (!readIntervalArrays(condition, arrays)) continue;  // refused by the check before
    for (std::size_t j = 0; j < arrays.starts.size(); ++j) {
      logFormat("Previous interval: %d - %d", arrays.starts[j], arrays.ends[j]);
      const ShiftedInterval moved = shifted(arrays.starts[j], arrays.ends[j], direction, amount);
      // Checked before; the host's protocol cannot change in between, as the
      // plug-in runs on the host's own thread.
      if (moved.fits()) {
        arrays.starts[j] = static_cast<std::int32_t>(moved.start);
        arrays.ends[j] = static_cast<std::int32_t>(moved.end);
      }
      logFormat("New interval: %d - %d", arrays.starts[j], arrays.ends[j]);
    }
  }
}

}  // namespace

// The check and the shift each walk the conditions: the host's interval
// arrays are only valid until the next protocol call, so the shift asks for
// each condition again. The log reads: the header line, then either the one
// line of a refusal or the lines of every condition and interval.
bool shiftProtocolIntervals(ProtocolRecord& record, std::int32_t direction, std::int32_t amount) {
  if (!requireHostFunctions(
          {HostFunction::zrGetProtocol, HostFunction::zrGetProtocolCondition, HostFunction::zrSaveProtocol},
          "shift the intervals")) {
    return false;
  }
  hostFunctions().zrGetProtocol(&record);
  logFormat("Changing protocol offset with %d...", amount);
  if (!everyIntervalFits(record, direction, amount)) return false;
  shiftEveryInterval(record, direction, amount);
  const std::string fileName(readText(record.FileName));
  hostFunctions().zrSaveProtocol(fileName.c_str());
  return true;
}

}  // namespace stimloom
