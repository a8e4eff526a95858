// The pure core on arbitrary bytes, with no host and no files: the bytes are
// read as a log, its events built into conditions, which are then shifted
// and reordered as values.
//
// The first two bytes choose: bit 0 the Subject column, bit 1 the duration
// rule, bits 2-3 the shift (subtract or add, and an amount from the second
// byte, scaled up to the menu's largest), bits 4-6 the new order's rotation,
// bit 7 whether the reader traces every line (as for the log pane) or only
// what it leaves out and reads each trial's outcome, pair and properties (as
// for the exports).
//
// Inputs are kept to 2 KiB (fuzz/fuzz_core.options): some thirty log lines,
// enough for every way of reading one, so that the harness runs a million
// inputs a minute; long lines and large files are the end-to-end harness's.
//
// Properties: the reader keeps exactly NrOfEvents events whose codes can
// name conditions, with trial facts and property values for all of them or
// none, and a response time only from a positive Pair Index; the conditions hold every event once, in order of first
// appearance, each interval ending at or after its start; a shift moves every
// interval as its direction says or, refused, none; a reorder keeps every
// condition once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "log/event_line.h"
#include "log/presentation_log.h"
#include "protocol/builder.h"
#include "protocol/reorder.h"
#include "protocol/shift.h"

namespace {

using namespace stimloom;

// Counts lines instead of keeping them, so that the sink costs nothing.
class CountLines final : public LineSink {
 public:
  std::size_t lines = 0;
  void line(const char*) override { ++lines; }
  using LineSink::line;
};

void checkLog(const PresentationLog& log) {
  if (log.readFailed) {
    if (!log.Events.empty() || log.NrOfEvents != 0) __builtin_trap();
    return;
  }
  if (log.Events.size() != static_cast<std::size_t>(log.NrOfEvents) || log.NrOfEventSlots != log.NrOfEvents) {
    __builtin_trap();
  }
  for (const LogEvent& event : log.Events) {
    if (static_cast<std::size_t>(event.Code) >= log.Codes.size()) __builtin_trap();
    const std::string_view code = log.code(event);
    if (code.empty() || code.size() > kMaxCodeLength || code.find('\0') != std::string_view::npos) __builtin_trap();
  }
  if (!log.Facts.empty() && log.Facts.size() != log.Events.size()) __builtin_trap();
  for (const EventFacts& facts : log.Facts) {
    if (facts.responseAt && facts.pairIndex <= 0) __builtin_trap();
  }
  for (const PropertyColumn& property : log.Properties) {
    if (property.values.size() != log.Events.size()) __builtin_trap();
  }
}

void checkConditions(const PresentationLog& log, const std::vector<Condition>& conditions) {
  std::size_t intervals = 0;
  for (std::size_t n = 0; n < conditions.size(); ++n) {
    if (conditions[n].colour != conditionColour(n + 1) || conditions[n].intervals.empty()) __builtin_trap();
    for (const Interval& interval : conditions[n].intervals) {
      if (interval.end < interval.start) __builtin_trap();
    }
    intervals += conditions[n].intervals.size();
  }
  if (intervals != log.Events.size() || conditions.size() > log.Codes.size()) __builtin_trap();
  if (!log.Events.empty() && conditions.front().name != log.code(log.Events.front())) __builtin_trap();
}

void checkShift(const std::vector<Condition>& before, std::vector<Condition> after, ShiftDirection direction,
                std::int32_t amount) {
  std::vector<StoppedEnd> stopped;
  if (!shiftConditions(after, direction, amount, &stopped)) {
    if (after != before || !stopped.empty()) __builtin_trap();
    return;
  }
  for (std::size_t c = 0; c < before.size(); ++c) {
    for (std::size_t i = 0; i < before[c].intervals.size(); ++i) {
      const Interval old = before[c].intervals[i];
      const Interval moved = after[c].intervals[i];
      const std::int64_t start = direction == ShiftDirection::kSubtract
                                     ? std::max<std::int64_t>(std::int64_t{old.start} - amount, 0)
                                     : std::int64_t{old.start} + amount;
      if (moved.start != start || moved.end < moved.start) __builtin_trap();
    }
  }
}

void checkReorder(const std::vector<Condition>& conditions, std::size_t rotation) {
  std::vector<std::int32_t> order(conditions.size());
  for (std::size_t place = 0; place < order.size(); ++place) {
    order[place] = static_cast<std::int32_t>((place + rotation) % order.size());
  }
  const std::vector<Condition> reordered = reorderedConditions(conditions, order);
  if (reordered.size() != conditions.size()) __builtin_trap();
  for (std::size_t place = 0; place < order.size(); ++place) {
    if (!(reordered[place] == conditions[static_cast<std::size_t>(order[place])])) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t options = data[0];
  const auto amount = static_cast<std::int32_t>(data[1]) * 11765;  // up to 3000075, past the menu's 3000000
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

  CountLines sink;
  LogReadOptions read;
  read.hasSubjectColumn = (options & 1) != 0;
  read.trace = (options & 128) != 0;
  read.trialFacts = !read.trace;
  const PresentationLog log = readPresentationLogText("/fuzz/run1.log", text, read, sink);
  checkLog(log);
  if (log.readFailed) return 0;

  const DurationRule rule = (options & 2) != 0 ? DurationRule::kOwnDuration : DurationRule::kUntilNextEvent;
  const auto conditions = buildConditions(log, rule);
  if (!conditions) __builtin_trap();  // every code the reader keeps names a condition
  checkConditions(log, *conditions);

  const ShiftDirection direction = (options & 4) != 0 ? ShiftDirection::kSubtract : ShiftDirection::kAdd;
  checkShift(*conditions, *conditions, direction, (options & 8) != 0 ? amount : -amount);
  checkReorder(*conditions, (options >> 4) & 7);
  return 0;
}
