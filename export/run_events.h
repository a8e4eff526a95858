#pragma once
// One run's events as the analysis tools want them: in seconds from the first
// stored scanner volume, sorted by onset, each under the user's condition.
// Every exporter and the picture of a run take their events from here, so
// they agree with each other and with the protocol a conversion makes. Pure.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/condition_map.h"
#include "log/presentation_log.h"
#include "protocol/builder.h"
#include "protocol/protocol.h"

namespace stimloom {

// Where the run's time zero lies.
enum class TimeZero {
  kFirstPulse,  // the first scanner pulse after the dummy volumes
  kLog,         // the log's own zero
};

struct RunOptions {
  DurationRule durationRule = DurationRule::kUntilNextEvent;
  // The Event Types that become rows, exactly as the log writes them; the
  // next event of duration rule 1 is the next one of these types.
  std::vector<std::string> eventTypes = defaultKeptTypes();
  TimeZero zero = TimeZero::kFirstPulse;
  std::int32_t dummyVolumes = 0;             // pulses skipped before time zero
  const ConditionMap* conditions = nullptr;  // none: each code is its own condition
  std::optional<std::string> pulseCode;      // the code the log's pulses were read by, for messages
};

// One event. Times are in tenths of a millisecond on the log's clock, as the
// log wrote them, so that every text made from them is exact.
struct RunEvent {
  double time = 0;  // its onset is time - RunEvents::zero
  // Its duration is durationTo - durationFrom: the gap to the next event, or
  // its own Duration (from 0).
  double durationFrom = 0;
  double durationTo = 0;
  std::int64_t line = 0;              // the log's line, counted from 1; 0 for a protocol
  std::uint32_t condition = 0;        // its place in RunEvents::conditions
  std::optional<std::uint32_t> code;  // its place in RunEvents::codes; none for a protocol's interval
  std::optional<std::uint32_t> type;  // its place in RunEvents::types; none for a protocol's interval
  // Presentation's scoring of it, its Stim Type as written (UTF-8), eg "hit";
  // empty when it has none (a Response, a protocol, a log without the column).
  std::string outcome;
  // The paired Response's Time minus its own, in tenths of a millisecond.
  std::optional<double> responseTime;
  std::size_t source = 0;  // its place among the log's kept events
};

// A column that some of a run's events carry beyond onset, duration,
// trial_type, value and event_type, as the BIDS events file writes it.
struct EventColumn {
  std::string name;  // the BIDS column name: "response_time", "response", "outcome", or a property's, eg "temperature"
  std::string header;  // the log's own column header for a property, eg "Temperature(num)"; empty for the derived ones
  bool numeric = false;  // response_time and "(num)" properties
  // One value per event of RunEvents::events, in that order; nullopt is "n/a".
  // Texts exactly as the BIDS file writes them: response_time in exact decimal
  // seconds (eg "0.4521"), properties as written in the log (decoded to UTF-8).
  std::vector<std::optional<std::string>> values;
};

// The scanner's pulses as checked: figures in milliseconds.
struct PulseCheck {
  std::size_t count = 0;  // distinct pulse times
  double first = 0;       // tenths of a millisecond
  double last = 0;
  std::optional<double> medianInterval;  // tenths of a millisecond, when there are two pulses or more
  std::optional<double> smallestInterval;
  std::optional<double> largestInterval;
};

struct RunEvents {
  double zero = 0;                       // tenths of a millisecond on the log's clock
  std::vector<RunEvent> events;          // sorted by onset; equal onsets keep the log's order
  std::vector<std::string> conditions;   // UTF-8, in order of first appearance
  std::vector<std::string> codes;        // the Presentation codes, UTF-8
  std::vector<std::string> types;        // the event types kept, UTF-8, eg "Picture"
  std::vector<double> pulses;            // distinct pulse times, sorted, tenths of a millisecond
  std::optional<PulseCheck> pulseCheck;  // when the run has pulses
  std::size_t leftOutByConditions = 0;   // events whose code no row of the condition map matches
  std::vector<std::string> warnings;     // eg: "run1.log:57: a negative duration (-0.0002 s) becomes 0"
  std::vector<EventColumn> columns;      // in BIDS order; only columns with at least one value

  const EventColumn* column(std::string_view name) const;  // nullptr when the run has none

  std::string onsetText(const RunEvent& event) const;     // seconds, exact, eg: "12.3456"
  std::string durationText(const RunEvent& event) const;  // seconds, exact, at least 0
  double onsetSeconds(const RunEvent& event) const;       // the nearest double
  double durationSeconds(const RunEvent& event) const;
  // Counted per condition, in the order of `conditions`.
  std::vector<std::size_t> eventsPerCondition() const;
};

// A log's kept events, timed from its zero. Nothing, with `error` saying
// what to pass instead, when the zero asked for cannot be found: no pulse, or
// fewer than the dummy volumes and one more. `source` names the input in
// messages, eg: "run1.log".
std::optional<RunEvents> runEventsOfLog(const PresentationLog& log, const RunOptions& options,
                                        const std::string& source, std::string& error);

// A millisecond protocol's intervals, timed from its own zero: a protocol has
// no pulses. Nothing, with `error`, for a protocol in volumes.
std::optional<RunEvents> runEventsOfProtocol(const Protocol& protocol, const RunOptions& options,
                                             const std::string& source, std::string& error);

// "240 pulses from 15234 ms to 493234 ms, intervals: median 2000 ms, smallest
// 1998 ms, largest 2003 ms", or "no scanner pulse".
std::string pulseSummary(const RunEvents& run);

// The pulse check's findings: pulse intervals more than 10% from the median
// (a missed or doubled trigger), and events that begin after the last volume
// ends (the last pulse plus one median interval). Empty when all is well.
std::vector<std::string> pulseWarnings(const RunEvents& run, const std::string& source);

}  // namespace stimloom
