#include "protocol/builder.h"

#include <algorithm>
#include <cmath>
#include <span>
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

std::span<const LogEvent> eventsOf(const PresentationLog& log) {
  const auto counted = static_cast<std::size_t>(std::max(log.NrOfEvents, 0));
  return std::span(log.Events).first(std::min(counted, log.Events.size()));
}

bool fitsConditionName(std::string_view code) {
  return code.size() < sizeof(ConditionRecord::Name) && code.find('\0') == std::string_view::npos;
}

struct Conditions {
  std::int32_t count = 0;
  std::vector<std::int32_t> ofEvent;  // the condition index of each event
};

// One condition per distinct code, indexed in order of first appearance.
Conditions addConditions(std::span<const LogEvent> events, const HostFunctionTable& host) {
  std::unordered_map<std::string_view, std::int32_t> indexOfCode;
  Conditions conditions;
  conditions.ofEvent.reserve(events.size());
  std::uint32_t colour = kColourBase;
  for (const LogEvent& event : events) {
    const auto [entry, isNew] = indexOfCode.try_emplace(event.Code, conditions.count);
    if (isNew) {
      ++conditions.count;
      ConditionRecord& condition = keepConditionRecord();
      writeText(condition.Name, event.Code);
      colour += kColourStep;
      condition.Colour = static_cast<std::int32_t>(colour);
      host.zrAddProtocolCondition(&condition);
    }
    conditions.ofEvent.push_back(entry->second);
  }
  return conditions;
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
  const std::span<const LogEvent> events = eventsOf(log);
  TextBuilder line;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (!fitsConditionName(events[i].Code)) {
      line.clear().add("Event ").add(i + 1).add(" (line ").add(events[i].Line);
      line.add(") cannot be added: its code cannot name a condition (at most ").add(kMaxCodeLength);
      logLine(line.add(" characters, no NUL).").c_str());
      return false;
    }
  }

  const Conditions conditions = addConditions(events, host);
  record.NrOfConditions = conditions.count;

  const bool untilNextEvent = durationRule != kOwnDuration;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const LogEvent& event = events[i];
    const std::int32_t start = convertStartTime(event.Time);
    double duration = event.Duration;
    if (untilNextEvent) {
      if (i + 1 == events.size()) {
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
