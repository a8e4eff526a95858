#include "protocol/builder.h"

#include <algorithm>
#include <cmath>

#include "log/event_line.h"
#include "protocol/time_conversion.h"
#include "util/text_builder.h"

namespace stimloom {
namespace {

constexpr std::uint32_t kColourBase = 0x3F000000u;
constexpr std::uint32_t kColourStep = 50005u;

// Under the rule "until the next event" an interval stops this long (tenths
// of a millisecond) before the next event starts.
constexpr double kGapBeforeNextEvent = 20;

bool namesACondition(std::string_view code) {
  return code.size() <= kMaxCodeLength && code.find('\0') == std::string_view::npos;
}

}  // namespace

DurationRule durationRuleOf(std::int32_t code) {
  return code == static_cast<std::int32_t>(DurationRule::kOwnDuration) ? DurationRule::kOwnDuration
                                                                       : DurationRule::kUntilNextEvent;
}

std::int32_t conditionColour(std::size_t n) {
  // Unsigned arithmetic wraps as the host's 32-bit colour does.
  const auto colour = kColourBase + kColourStep * static_cast<std::uint32_t>(n);
  return static_cast<std::int32_t>(colour);
}

std::size_t eventCount(const PresentationLog& log) {
  const auto counted = static_cast<std::size_t>(std::max(log.NrOfEvents, 0));
  return std::min(counted, log.Events.size());
}

std::optional<ConditionIndex> indexConditions(const PresentationLog& log, std::string* why) {
  ConditionIndex index;
  index.ofCode.assign(log.Codes.size(), -1);
  const std::size_t count = eventCount(log);
  auto next = log.Events.begin();
  for (std::size_t i = 0; i < count; ++i) {
    const LogEvent& event = *next++;
    const auto code = static_cast<std::size_t>(event.Code);
    if (code >= log.Codes.size() || !namesACondition(log.Codes[code])) {
      if (why != nullptr) {
        TextBuilder line;
        line.add("Event ").add(i + 1).add(" (line ").add(event.Line);
        line.add(") cannot be added: its code cannot name a condition (at most ").add(kMaxCodeLength);
        *why = line.add(" characters, no NUL).").view();
      }
      return std::nullopt;
    }
    if (index.ofCode[code] < 0) {
      // Fits: there are no more conditions than events, and NrOfEvents is an int32.
      index.ofCode[code] = static_cast<std::int32_t>(index.codes.size());
      index.codes.push_back(event.Code);
    }
  }
  return index;
}

EventInterval eventInterval(const LogEvent& event, const LogEvent* next, DurationRule rule) {
  EventInterval result;
  result.interval.start = convertStartTime(event.Time);
  double duration = event.Duration;
  if (rule == DurationRule::kUntilNextEvent) {
    if (next == nullptr) {
      result.lastByOwnDuration = true;
    } else {
      duration = std::trunc(next->Time - event.Time) - kGapBeforeNextEvent;
    }
  }
  result.computedEnd = convertEndTime(result.interval.start, duration);
  result.interval.end = std::max(result.computedEnd, result.interval.start);
  return result;
}

EventInterval eventInterval(const PresentationLog& log, std::size_t index, DurationRule rule) {
  const bool last = index + 1 >= eventCount(log);
  return eventInterval(log.Events[index], last ? nullptr : &log.Events[index + 1], rule);
}

std::optional<std::vector<Condition>> buildConditions(const PresentationLog& log, DurationRule rule) {
  const auto index = indexConditions(log);
  if (!index) return std::nullopt;
  std::vector<Condition> conditions(index->codes.size());
  for (std::size_t n = 0; n < conditions.size(); ++n) {
    conditions[n].name = log.Codes[static_cast<std::size_t>(index->codes[n])];
    conditions[n].colour = conditionColour(n + 1);
  }
  forEachEventInterval(log, rule, [&](const LogEvent& event, std::size_t, const EventInterval& interval) {
    conditions[static_cast<std::size_t>(index->of(event))].intervals.push_back(interval.interval);
  });
  return conditions;
}

}  // namespace stimloom
