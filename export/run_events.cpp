#include "export/run_events.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

#include "util/decimal.h"
#include "util/text_encoding.h"

namespace stimloom {
namespace {

// Seconds are tenths of a millisecond shifted by four places.
constexpr int kTenthsPerSecondPlaces = 4;
// Milliseconds are tenths shifted by one.
constexpr int kTenthsPerMillisecondPlaces = 1;

// How far a pulse interval may stray from the median before it is named.
constexpr double kIntervalTolerance = 0.10;
// Pulse intervals named one by one before the rest are only counted.
constexpr std::size_t kIntervalsNamed = 5;

std::string milliseconds(double tenths) { return exactQuotientText(tenths, kTenthsPerMillisecondPlaces); }

// Assigns condition places in order of first appearance.
class ConditionPlaces {
 public:
  explicit ConditionPlaces(std::vector<std::string>& names) : names_(names) {}
  std::uint32_t placeOf(const std::string& name) {
    const auto [found, added] = places_.try_emplace(name, static_cast<std::uint32_t>(names_.size()));
    if (added) names_.push_back(name);
    return found->second;
  }

 private:
  std::vector<std::string>& names_;
  std::unordered_map<std::string, std::uint32_t> places_;
};

std::optional<PulseCheck> checkPulses(const std::vector<double>& pulses) {
  if (pulses.empty()) return std::nullopt;
  PulseCheck check;
  check.count = pulses.size();
  check.first = pulses.front();
  check.last = pulses.back();
  if (pulses.size() < 2) return check;
  std::vector<double> intervals;
  intervals.reserve(pulses.size() - 1);
  for (std::size_t i = 1; i < pulses.size(); ++i) intervals.push_back(pulses[i] - pulses[i - 1]);
  check.smallestInterval = *std::min_element(intervals.begin(), intervals.end());
  check.largestInterval = *std::max_element(intervals.begin(), intervals.end());
  const std::size_t middle = intervals.size() / 2;
  std::nth_element(intervals.begin(), intervals.begin() + static_cast<std::ptrdiff_t>(middle), intervals.end());
  double median = intervals[middle];
  if (intervals.size() % 2 == 0) {
    const double below = *std::max_element(intervals.begin(), intervals.begin() + static_cast<std::ptrdiff_t>(middle));
    median = below + (median - below) / 2;
  }
  check.medianInterval = median;
  return check;
}

// Nearly every log is in time order already: then there is nothing to sort.
void sortByOnset(std::vector<RunEvent>& events) {
  const auto byTime = [](const RunEvent& a, const RunEvent& b) { return a.time < b.time; };
  if (std::is_sorted(events.begin(), events.end(), byTime)) return;
  std::stable_sort(events.begin(), events.end(), [](const RunEvent& a, const RunEvent& b) { return a.time < b.time; });
}

// A duration below zero becomes 0, said with the line it comes from.
void keepDurationAtLeastZero(RunEvent& event, const std::string& source, std::vector<std::string>& warnings) {
  if (!(event.durationTo < event.durationFrom)) return;
  std::string where = source;
  if (event.line > 0) where += ":" + std::to_string(event.line);
  warnings.push_back(where + ": a negative duration (" +
                     exactDifferenceText(event.durationTo, event.durationFrom, kTenthsPerSecondPlaces) +
                     " s) becomes 0");
  event.durationFrom = 0;
  event.durationTo = 0;
}

bool isBlank(std::string_view text) { return text.find_first_not_of(" \t") == std::string_view::npos; }

bool isAsciiLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// A property's BIDS name: its header (UTF-8) without the (num) or (str)
// suffix, in lower case, every character other than an ASCII letter or
// digit made one '_'.
std::string columnNameOf(std::string_view header) {
  if (header.ends_with("(num)") || header.ends_with("(str)")) header.remove_suffix(5);
  std::string name;
  for (const char c : header) {
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;  // the rest of a character already made '_'
    name += isAsciiLetterOrDigit(c) ? static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) : '_';
  }
  return name.empty() ? "property" : name;
}

// The columns beyond the first five, each only when an event has a value for it.
void addColumns(RunEvents& run, const PresentationLog& log) {
  std::vector<std::string> taken = {"onset", "duration", "trial_type", "value", "event_type"};
  const auto add = [&](EventColumn column) {
    if (std::none_of(column.values.begin(), column.values.end(), [](const auto& value) { return value.has_value(); })) {
      return;
    }
    const std::string name = column.name;
    for (int suffix = 2; std::find(taken.begin(), taken.end(), column.name) != taken.end(); ++suffix) {
      column.name = name + "_" + std::to_string(suffix);
    }
    taken.push_back(column.name);
    run.columns.push_back(std::move(column));
  };
  if (log.Facts.empty()) return;
  EventColumn responseTime{"response_time", "", true, {}};
  EventColumn response{"response", "", false, {}};
  EventColumn outcome{"outcome", "", false, {}};
  for (const RunEvent& event : run.events) {
    const EventFacts& facts = log.Facts[event.source];
    responseTime.values.push_back(
        facts.responseAt ? std::optional(exactDifferenceText(*facts.responseAt, event.time, kTenthsPerSecondPlaces))
                         : std::nullopt);
    response.values.push_back(
        facts.responseAt && !isBlank(facts.response) ? std::optional(utf8FromLogText(facts.response)) : std::nullopt);
    outcome.values.push_back(event.outcome.empty() ? std::nullopt : std::optional(event.outcome));
  }
  add(std::move(responseTime));
  add(std::move(response));
  add(std::move(outcome));
  for (const PropertyColumn& property : log.Properties) {
    const std::string header = utf8FromLogText(property.header);
    EventColumn column{columnNameOf(header), header, header.ends_with("(num)"), {}};
    column.values.reserve(run.events.size());
    for (const RunEvent& event : run.events) {
      const std::string& value = property.values[event.source];
      column.values.push_back(isBlank(value) ? std::nullopt : std::optional(utf8FromLogText(value)));
    }
    add(std::move(column));
  }
}

}  // namespace

const EventColumn* RunEvents::column(std::string_view name) const {
  for (const EventColumn& column : columns) {
    if (column.name == name) return &column;
  }
  return nullptr;
}

std::string RunEvents::onsetText(const RunEvent& event) const {
  return exactDifferenceText(event.time, zero, kTenthsPerSecondPlaces);
}

std::string RunEvents::durationText(const RunEvent& event) const {
  return exactDifferenceText(event.durationTo, event.durationFrom, kTenthsPerSecondPlaces);
}

double RunEvents::onsetSeconds(const RunEvent& event) const { return decimalTextValue(onsetText(event)); }

double RunEvents::durationSeconds(const RunEvent& event) const { return decimalTextValue(durationText(event)); }

std::vector<std::size_t> RunEvents::eventsPerCondition() const {
  std::vector<std::size_t> counts(conditions.size(), 0);
  for (const RunEvent& event : events) ++counts[event.condition];
  return counts;
}

std::optional<RunEvents> runEventsOfLog(const PresentationLog& log, const RunOptions& options,
                                        const std::string& source, std::string& error) {
  RunEvents run;
  run.pulses = log.Pulses;
  std::sort(run.pulses.begin(), run.pulses.end());
  // A pulse logged twice, as Pulse and as Port Input with the same Time, is one pulse.
  run.pulses.erase(std::unique(run.pulses.begin(), run.pulses.end()), run.pulses.end());
  run.pulseCheck = checkPulses(run.pulses);

  if (options.zero == TimeZero::kFirstPulse) {
    const auto needed = static_cast<std::size_t>(std::max(options.dummyVolumes, 0)) + 1;
    if (run.pulses.size() < needed) {
      if (run.pulses.empty() && options.pulseCode) {
        error = source + ": the log holds no event with the pulse code " + *options.pulseCode +
                ", so the first volume cannot be found. Pass the code the scanner's triggers are logged with, or "
                "--zero log to keep the log's own times";
      } else if (run.pulses.empty()) {
        error = source +
                ": the log holds no scanner pulse, so the first volume cannot be found. Pass --pulse-code "
                "CODE when the scanner's triggers are logged under another event type, or --zero log to "
                "keep the log's own times";
      } else {
        error = source + ": the log holds " + std::to_string(run.pulses.size()) + " scanner pulse(s), but " +
                std::to_string(needed) + " are needed to skip " + std::to_string(options.dummyVolumes) +
                " dummy volume(s). Pass a smaller --dummy-volumes, or --zero log";
      }
      return std::nullopt;
    }
    run.zero = run.pulses[needed - 1];
  }

  for (const std::string& type : log.Types) run.types.push_back(utf8FromLogText(type));
  run.codes.reserve(log.Codes.size());
  for (const std::string& code : log.Codes) run.codes.push_back(utf8FromLogText(code));

  // The condition of each code, found once: -1 for a code no row maps. A
  // map that matches outcomes too is asked once for each code and outcome.
  constexpr std::int64_t kUnknown = -2;
  constexpr std::int64_t kLeftOut = -1;
  std::vector<std::int64_t> conditionOfCode(run.codes.size(), kUnknown);
  std::map<std::pair<std::size_t, std::string>, std::int64_t> conditionOfCodeAndOutcome;
  const bool byOutcome = options.conditions != nullptr && options.conditions->matchesOutcomes();
  ConditionPlaces places(run.conditions);
  const std::size_t count = eventCount(log);
  run.events.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const LogEvent& event = log.Events[i];
    const auto code = static_cast<std::size_t>(event.Code);
    if (code >= run.codes.size()) continue;
    std::string outcome;
    if (i < log.Facts.size() && !isBlank(log.Facts[i].outcome)) outcome = utf8FromLogText(log.Facts[i].outcome);
    std::int64_t& condition = byOutcome ? conditionOfCodeAndOutcome.try_emplace({code, outcome}, kUnknown).first->second
                                        : conditionOfCode[code];
    if (condition == kUnknown) {
      const std::string* name =
          options.conditions != nullptr ? options.conditions->conditionOf(run.codes[code], outcome) : &run.codes[code];
      condition = name != nullptr ? places.placeOf(*name) : kLeftOut;
    }
    if (condition == kLeftOut) {
      ++run.leftOutByConditions;
      continue;
    }
    RunEvent row;
    row.time = event.Time;
    // The next event counts whatever its condition, so that the export and
    // the protocol agree.
    if (options.durationRule == DurationRule::kUntilNextEvent && i + 1 < count) {
      row.durationFrom = event.Time;
      row.durationTo = log.Events[i + 1].Time;
    } else {
      row.durationTo = event.Duration;
    }
    row.line = event.Line;
    row.condition = static_cast<std::uint32_t>(condition);
    row.code = static_cast<std::uint32_t>(code);
    row.type = static_cast<std::uint32_t>(event.Type);
    row.source = i;
    row.outcome = std::move(outcome);
    if (i < log.Facts.size() && log.Facts[i].responseAt) row.responseTime = *log.Facts[i].responseAt - event.Time;
    keepDurationAtLeastZero(row, source, run.warnings);
    run.events.push_back(std::move(row));
  }
  sortByOnset(run.events);
  addColumns(run, log);
  return run;
}

std::optional<RunEvents> runEventsOfProtocol(const Protocol& protocol, const RunOptions& options,
                                             const std::string& source, std::string& error) {
  if (protocol.timeResolution != TimeResolution::kMilliseconds) {
    error = source + ": the protocol is timed in " +
            (protocol.timeResolution == TimeResolution::kVolumes
                 ? std::string("volumes")
                 : "an unknown unit (" + std::to_string(static_cast<std::int32_t>(protocol.timeResolution)) + ")") +
            ": only a protocol in milliseconds has times to export";
    return std::nullopt;
  }
  RunEvents run;
  ConditionPlaces places(run.conditions);
  for (const Condition& condition : protocol.conditions) {
    const std::string name = utf8FromLogText(condition.name);
    const std::string* mapped = options.conditions != nullptr ? options.conditions->conditionOf(name) : &name;
    if (mapped == nullptr) {
      run.leftOutByConditions += condition.intervals.size();
      continue;
    }
    if (condition.intervals.empty()) continue;
    const std::uint32_t place = places.placeOf(*mapped);
    for (const Interval& interval : condition.intervals) {
      // Milliseconds to tenths: exact, as every int32 times 10 is a double.
      RunEvent row;
      row.time = interval.start * 10.0;
      row.durationFrom = row.time;
      row.durationTo = interval.end * 10.0;
      row.condition = place;
      keepDurationAtLeastZero(row, source, run.warnings);
      run.events.push_back(row);
    }
  }
  sortByOnset(run.events);
  return run;
}

std::string pulseSummary(const RunEvents& run) {
  if (!run.pulseCheck) return "no scanner pulse";
  const PulseCheck& check = *run.pulseCheck;
  std::string text = std::to_string(check.count) + (check.count == 1 ? " pulse at " : " pulses from ") +
                     milliseconds(check.first) + " ms";
  if (check.count > 1) text += " to " + milliseconds(check.last) + " ms";
  if (check.medianInterval) {
    text += ", intervals: median " + milliseconds(*check.medianInterval) + " ms, smallest " +
            milliseconds(*check.smallestInterval) + " ms, largest " + milliseconds(*check.largestInterval) + " ms";
  }
  return text;
}

std::vector<std::string> pulseWarnings(const RunEvents& run, const std::string& source) {
  std::vector<std::string> warnings;
  if (!run.pulseCheck || !run.pulseCheck->medianInterval) return warnings;
  const double median = *run.pulseCheck->medianInterval;
  std::size_t strays = 0;
  for (std::size_t i = 1; i < run.pulses.size(); ++i) {
    const double interval = run.pulses[i] - run.pulses[i - 1];
    if (!(std::fabs(interval - median) > kIntervalTolerance * median)) continue;
    if (++strays > kIntervalsNamed) continue;
    const bool longer = interval > median;
    const long percent = std::lround(100 * std::fabs(interval - median) / median);
    warnings.push_back(source + ": pulse " + std::to_string(i + 1) + " at " + milliseconds(run.pulses[i]) +
                       " ms comes " + milliseconds(interval) + " ms after the one before, " + std::to_string(percent) +
                       (longer ? "% more" : "% less") + " than the median interval of " + milliseconds(median) +
                       " ms: " + (longer ? "a missed trigger?" : "a doubled trigger?"));
  }
  if (strays > kIntervalsNamed) {
    warnings.push_back(source + ": and " + std::to_string(strays - kIntervalsNamed) +
                       " more pulse intervals differ from the median by more than 10%");
  }
  const double scanEnd = run.pulses.back() + median;
  const auto late = std::count_if(run.events.begin(), run.events.end(),
                                  [scanEnd](const RunEvent& event) { return event.time > scanEnd; });
  if (late > 0) {
    warnings.push_back(source + ": " + std::to_string(late) + " event(s) begin after the last volume ends at " +
                       milliseconds(scanEnd) + " ms (the last pulse and one median interval)");
  }
  return warnings;
}

}  // namespace stimloom
