#include "protocol/builder.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/host_calls.h"
#include "host/kept_records.h"
#include "log/event_line.h"
#include "protocol/time_conversion.h"
#include "util/text_builder.h"

namespace stimloom {
namespace {

static_assert(kMaxCodeLength < sizeof(ConditionRecord::Name), "every code the reader keeps fits a condition's name");

// Condition colours run from this base in steps, in 32-bit wrap-around
// arithmetic: the n-th condition gets 0x3F000000 + 50005 * n.
constexpr std::uint32_t kColourBase = 0x3F000000u;
constexpr std::uint32_t kColourStep = 50005u;

// Under the rule "until the next event" an interval stops this long (tenths
// of a millisecond) before the next event starts.
constexpr double kGapBeforeNextEvent = 20;

// The events to build from: NrOfEvents of them, never more than the log holds.
std::size_t eventCount(const PresentationLog& log) {
  const auto counted = static_cast<std::size_t>(std::max(log.NrOfEvents, 0));
  return std::min(counted, log.Events.size());
}

bool fitsConditionName(std::string_view code) {
  return code.size() < sizeof(ConditionRecord::Name) && code.find('\0') == std::string_view::npos;
}

struct Conditions {
  std::vector<std::string_view> codes;  // one per condition, in order of first appearance
  std::vector<std::int32_t> ofEvent;    // the condition index of each event
};

// Gives every distinct code a condition index, in order of first appearance,
// before anything reaches the host. False, with a log line naming the event,
// when a code cannot name a condition.
bool indexConditions(const std::deque<LogEvent>& events, std::size_t count, Conditions& conditions, TextBuilder& line) {
  std::unordered_map<std::string_view, std::int32_t> indexOfCode;
  conditions.ofEvent.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const LogEvent& event = events[i];
    if (!fitsConditionName(event.Code)) {
      line.clear().add("Event ").add(i + 1).add(" (line ").add(event.Line);
      line.add(") cannot be added: its code cannot name a condition (at most ").add(kMaxCodeLength);
      logLine(line.add(" characters, no NUL).").c_str());
      return false;
    }
    const auto next = static_cast<std::int32_t>(conditions.codes.size());
    const auto [entry, isNew] = indexOfCode.try_emplace(event.Code, next);
    if (isNew) conditions.codes.push_back(event.Code);
    conditions.ofEvent.push_back(entry->second);
  }
  return true;
}

void addConditions(const std::vector<std::string_view>& codes, const HostFunctionTable& host) {
  std::uint32_t colour = kColourBase;
  for (const std::string_view code : codes) {
    ConditionRecord& condition = keepConditionRecord();
    writeText(condition.Name, code);
    colour += kColourStep;
    condition.Colour = static_cast<std::int32_t>(colour);
    host.zrAddProtocolCondition(&condition);
  }
}

void reportEndBeforeStart(TextBuilder& line, std::size_t index, const LogEvent& event, std::int32_t start,
                          std::int32_t end) {
  line.clear().add("The interval of event ").add(index + 1).add(" (");
  if (event.Line > 0) line.add("line ").add(event.Line).add(", ");
  line.add("code: ").add(event.Code).add(") would end at ").add(end).add(", before its start: it ends at its start, ");
  logLine(line.add(start).add(".").c_str());
}

}  // namespace

bool buildConditionsAndIntervals(const PresentationLog& log, ProtocolRecord& record, std::int32_t durationRule) {
  if (!requireHostFunctions({HostFunction::zrAddProtocolCondition, HostFunction::zrAddProtocolConditionInterval},
                            "build the protocol's conditions")) {
    return false;
  }
  const HostFunctionTable& host = hostFunctions();
  logLine("Creating and preparing conditions and intervals lists...");
  logLine("Searching condition names...");
  const std::deque<LogEvent>& events = log.Events;
  const std::size_t count = eventCount(log);
  TextBuilder line;
  Conditions conditions;
  if (!indexConditions(events, count, conditions, line)) return false;
  addConditions(conditions.codes, host);
  // Fits: there are no more conditions than events, and NrOfEvents is an int32.
  record.NrOfConditions = static_cast<std::int32_t>(conditions.codes.size());

  const bool untilNextEvent = durationRule != kOwnDuration;
  for (std::size_t i = 0; i < count; ++i) {
    const LogEvent& event = events[i];
    const std::int32_t start = convertStartTime(event.Time);
    double duration = event.Duration;
    if (untilNextEvent) {
      if (i + 1 == count) {
        logLine("Last interval(s), computation based on Duration in protocol.");
      } else {
        duration = std::trunc(events[i + 1].Time - event.Time) - kGapBeforeNextEvent;
      }
    }
    std::int32_t end = convertEndTime(start, duration);
    if (end < start) {
      reportEndBeforeStart(line, i, event, start, end);
      end = start;
    }
    host.zrAddProtocolConditionInterval(conditions.ofEvent[i], start, end);
    line.clear().add("Added interval: ").add(start).add(" - ").add(end).add(", for condition: ");
    logLine(line.add(event.Code).c_str());
  }
  return true;
}

}  // namespace stimloom
