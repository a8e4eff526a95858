#pragma once
// Events of a Presentation log become the conditions and millisecond
// intervals of a protocol. Pure: these functions compute; the host-facing
// half adds what they give to the host's protocol.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "log/presentation_log.h"
#include "protocol/protocol.h"

namespace stimloom {

// How long an interval lasts: until the next event, or the event's own Duration.
enum class DurationRule : std::int32_t { kUntilNextEvent = 1, kOwnDuration = 2 };

// The rule a code names: 2 is the event's own Duration; every other code means
// until the next event.
DurationRule durationRuleOf(std::int32_t code);

// The colour of the n-th condition, n counted from 1 in order of first
// appearance: 0x3F000000 + 50005 * n in 32-bit wrap-around arithmetic.
std::int32_t conditionColour(std::size_t n);

// The events to build from: NrOfEvents of them, never more than the log holds.
std::size_t eventCount(const PresentationLog& log);

// Which condition each event becomes: one per distinct code, in order of
// first appearance among the events built from.
struct ConditionIndex {
  std::vector<CodeId> codes;         // the code of each condition
  std::vector<std::int32_t> ofCode;  // the condition of each code of the log's table; -1 for a code no event uses

  std::int32_t of(const LogEvent& event) const { return ofCode[static_cast<std::size_t>(event.Code)]; }
};

// Nothing, with `why` naming the first event whose code cannot name a
// condition (more than 255 characters, a NUL, or no code of the log's table).
std::optional<ConditionIndex> indexConditions(const PresentationLog& log, std::string* why = nullptr);

// The interval that event `index` becomes. Under the rule "until the next
// event" it ends 2 ms before the next event starts and the last one lasts its
// own Duration; an end that would fall before its start stops at the start.
struct EventInterval {
  Interval interval;
  std::int32_t computedEnd = 0;    // the end before it was stopped at the start
  bool lastByOwnDuration = false;  // the last event under "until the next event"

  bool endStopped() const { return computedEnd < interval.start; }
};
EventInterval eventInterval(const PresentationLog& log, std::size_t index, DurationRule rule);

// The same for `event`, whose successor is `next` (null for the last event).
EventInterval eventInterval(const LogEvent& event, const LogEvent* next, DurationRule rule);

// Calls visit(event, index, interval) for the events built from, in order:
// one walk, no search for each event in the log's storage.
template <class Visit>
void forEachEventInterval(const PresentationLog& log, DurationRule rule, Visit&& visit) {
  const std::size_t count = eventCount(log);
  auto event = log.Events.begin();
  for (std::size_t i = 0; i < count; ++i) {
    const auto next = std::next(event);
    visit(*event, i, eventInterval(*event, i + 1 < count ? &*next : nullptr, rule));
    event = next;
  }
}

// The conditions the log's events become, each with its intervals, in order
// of first appearance. Nothing when indexConditions refuses the events.
std::optional<std::vector<Condition>> buildConditions(const PresentationLog& log, DurationRule rule);

}  // namespace stimloom
