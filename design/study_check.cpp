#include "design/study_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>
#include <unordered_map>

namespace stimloom {
namespace {

// Phases of a condition's onsets within this part of the TR are locked to it.
constexpr double kLockedArc = 0.1;
// How far the median pulse interval may be from the header's TR.
constexpr double kTrTolerance = 0.01;

// A number as the findings write it: up to 10 significant digits, no
// trailing zeros, eg "2", "0.0312", "480".
std::string number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

std::string quotedName(const std::string& name) { return "\"" + name + "\""; }

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

std::string counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

class Findings {
 public:
  explicit Findings(std::vector<Finding>& list) : list_(list) {}
  void add(const std::string& run, Severity severity, std::string text) {
    list_.push_back({run, severity, std::move(text)});
  }

 private:
  std::vector<Finding>& list_;
};

// "run1.log: pulse 5 ..." -> "pulse 5 ...", "run1.log:57: a ..." -> "line 57: a ...".
std::string withoutSource(const std::string& line, const std::string& source) {
  if (!line.starts_with(source + ":")) return line;
  std::string rest = line.substr(source.size() + 1);
  const std::size_t digits = rest.find_first_not_of("0123456789");
  if (digits != 0 && digits != std::string::npos && rest[digits] == ':') {
    return "line " + rest.substr(0, digits) + ":" + rest.substr(digits + 1);
  }
  return rest.starts_with(" ") ? rest.substr(1) : rest;
}

std::string onsetPlace(const RunEvents& run, const RunEvent& event) {
  std::string text = run.onsetText(event) + " s";
  if (event.line > 0) text += " (line " + std::to_string(event.line) + ")";
  return text;
}

// Duplicates and overlaps of each condition in one run.
void checkEvents(const CheckRun& input, Findings& findings) {
  const RunEvents& run = input.events;
  struct Seen {
    std::set<std::pair<double, double>> events;  // time, duration in tenths
    std::optional<double> latestEnd;
    std::size_t duplicates = 0;
    std::size_t overlaps = 0;
    const RunEvent* firstDuplicate = nullptr;
    const RunEvent* firstOverlap = nullptr;
  };
  std::vector<Seen> seen(run.conditions.size());
  for (const RunEvent& event : run.events) {
    if (event.condition >= seen.size()) continue;
    Seen& condition = seen[event.condition];
    const double duration = event.durationTo - event.durationFrom;
    if (!condition.events.insert({event.time, duration}).second) {
      if (condition.duplicates++ == 0) condition.firstDuplicate = &event;
      continue;
    }
    if (condition.latestEnd && event.time < *condition.latestEnd) {
      if (condition.overlaps++ == 0) condition.firstOverlap = &event;
    }
    condition.latestEnd = std::max(condition.latestEnd.value_or(event.time + duration), event.time + duration);
  }
  for (std::size_t c = 0; c < seen.size(); ++c) {
    const Seen& condition = seen[c];
    if (condition.duplicates > 0) {
      findings.add(input.source, Severity::kError,
                   quotedName(run.conditions[c]) + ": " +
                       counted(condition.duplicates, "exact duplicate", "exact duplicates") +
                       " (the same onset and duration as an earlier event), the first at " +
                       onsetPlace(run, *condition.firstDuplicate));
    }
    if (condition.overlaps > 0) {
      findings.add(input.source, Severity::kWarning,
                   quotedName(run.conditions[c]) + ": " + counted(condition.overlaps, "event begins", "events begin") +
                       " before an earlier event of the condition ends, the first at " +
                       onsetPlace(run, *condition.firstOverlap));
    }
  }
}

// Events outside [0, scanEnd), counted per condition, as one finding each.
void checkOutsideScan(const CheckRun& input, std::optional<double> scanEnd, Findings& findings) {
  const RunEvents& run = input.events;
  std::vector<std::size_t> before(run.conditions.size(), 0), after(run.conditions.size(), 0);
  for (const RunEvent& event : run.events) {
    if (event.condition >= run.conditions.size()) continue;
    const double onset = run.onsetSeconds(event);
    if (onset < 0) ++before[event.condition];
    if (scanEnd && onset >= *scanEnd) ++after[event.condition];
  }
  const auto say = [&](const std::vector<std::size_t>& counts, const std::string& where) {
    std::size_t total = 0;
    std::vector<std::string> parts;
    for (std::size_t c = 0; c < counts.size(); ++c) {
      if (counts[c] == 0) continue;
      total += counts[c];
      parts.push_back(quotedName(run.conditions[c]) + " " + std::to_string(counts[c]));
    }
    if (total > 0) {
      findings.add(input.source, Severity::kWarning,
                   counted(total, "event begins", "events begin") + " " + where + ": " + joined(parts));
    }
  };
  say(before, "before time 0, which the design leaves out");
  if (scanEnd) say(after, "at or after the end of the last volume, " + number(*scanEnd) + " s");
}

struct Scans {
  std::optional<double> tr;
  std::string trFrom;
  std::optional<std::int64_t> count;
  std::string countFrom;
};

// The pulses after the dummy volumes, when the log has pulses.
std::optional<std::int64_t> pulsesFromZero(const CheckRun& input, const CheckOptions& options) {
  if (input.events.pulses.empty()) return std::nullopt;
  return static_cast<std::int64_t>(input.events.pulses.size()) - std::max(options.dummyVolumes, 0);
}

Scans scansOf(const CheckRun& input, const CheckOptions& options) {
  Scans scans;
  const RunEvents& run = input.events;
  if (options.tr) {
    scans.tr = options.tr;
    scans.trFrom = "--tr";
  } else if (input.bold && input.bold->trSeconds) {
    scans.tr = input.bold->trSeconds;
    scans.trFrom = "the header of " + input.bold->file;
  } else if (run.pulseCheck && run.pulseCheck->medianInterval) {
    scans.tr = *run.pulseCheck->medianInterval / 10000;
    scans.trFrom = "the median pulse interval";
  }
  if (input.bold) {
    scans.count = input.bold->volumes;
    scans.countFrom = "the header of " + input.bold->file;
  } else if (const auto pulses = pulsesFromZero(input, options); pulses && *pulses > 0) {
    scans.count = pulses;
    scans.countFrom = options.dummyVolumes > 0 ? "the pulses after the dummy volumes" : "the pulses";
  }
  return scans;
}

// The BOLD image against the pulses, or against the last event without them.
void checkImage(const CheckRun& input, const CheckOptions& options, const Scans& scans, Findings& findings) {
  if (!input.bold) return;
  const ScanImage& bold = *input.bold;
  const RunEvents& run = input.events;
  if (!bold.trSeconds) {
    findings.add(input.source, Severity::kWarning,
                 bold.file + ": its header gives no TR in a unit of time (time unit: " + bold.timeUnit + ")");
  }
  if (const auto pulses = pulsesFromZero(input, options)) {
    if (*pulses != bold.volumes) {
      findings.add(input.source, Severity::kError,
                   counted(static_cast<std::size_t>(std::max<std::int64_t>(*pulses, 0)), "pulse", "pulses") +
                       " from time zero on, but " + bold.file + " holds " +
                       counted(static_cast<std::size_t>(bold.volumes), "volume", "volumes"));
    }
    if (bold.trSeconds && run.pulseCheck && run.pulseCheck->medianInterval) {
      const double median = *run.pulseCheck->medianInterval / 10000;
      if (std::fabs(median - *bold.trSeconds) > kTrTolerance * *bold.trSeconds) {
        findings.add(input.source, Severity::kError,
                     "the median pulse interval, " + number(median) + " s, is more than 1% from the TR of " +
                         bold.file + ", " + number(*bold.trSeconds) + " s");
      }
    }
    return;
  }
  if (!scans.tr || run.events.empty()) return;
  const RunEvent& last = *std::max_element(run.events.begin(), run.events.end(),
                                           [](const RunEvent& a, const RunEvent& b) { return a.time < b.time; });
  const double scanEnd = static_cast<double>(bold.volumes) * *scans.tr;
  if (run.onsetSeconds(last) >= scanEnd) {
    findings.add(input.source, Severity::kError,
                 "the last event begins at " + onsetPlace(run, last) + ", after the " +
                     counted(static_cast<std::size_t>(bold.volumes), "volume", "volumes") + " of " + bold.file +
                     " end at " + number(scanEnd) + " s (the run has no pulse to count)");
  }
}

void modelDesign(const CheckRun& input, const CheckOptions& options, RunDesign& design, Findings& findings) {
  const RunEvents& run = input.events;
  if (!design.tr) {
    design.skipped = "no TR: give --tr, a BOLD image with --bold, or a log with pulses";
  } else if (!design.scans || *design.scans < 1) {
    design.skipped = "no volume count: give a BOLD image with --bold, or a log with pulses";
  }
  if (!design.skipped.empty()) {
    findings.add(input.source, Severity::kNote, "the design is not modelled: " + design.skipped);
    return;
  }
  std::vector<DesignEvent> events;
  events.reserve(run.events.size());
  for (const RunEvent& event : run.events) {
    events.push_back({event.condition, run.onsetSeconds(event), run.durationSeconds(event)});
  }
  try {
    design.matrix = designMatrix(events, run.conditions, {*design.tr, *design.scans, options.highPass});
  } catch (const std::invalid_argument& refused) {
    design.skipped = refused.what();
    findings.add(input.source, Severity::kNote, "the design is not modelled: " + design.skipped);
    return;
  }
  for (const std::string& name : design.matrix.outsideTheScan) {
    findings.add(input.source, Severity::kNote,
                 quotedName(name) + " has no event inside the scan, so no column in the design");
  }
  design.figures = designFigures(design.matrix);
  const DesignFigures& figures = design.figures;
  if (figures.rank < design.matrix.columns()) {
    std::vector<std::string> aliased;
    for (std::size_t c = 0; c < figures.aliased.size(); ++c) {
      if (figures.aliased[c]) aliased.push_back(quotedName(design.matrix.conditions[c]) + " (VIF inf, efficiency 0)");
    }
    const std::string tooFew =
        design.matrix.columns() > design.matrix.rows
            ? " (more columns than the run's " + counted(design.matrix.rows, "scan", "scans") + ")"
            : "";
    findings.add(input.source, Severity::kError,
                 "the design is rank deficient: rank " + std::to_string(figures.rank) + " of " +
                     counted(design.matrix.columns(), "column", "columns") + tooFew +
                     (aliased.empty() ? std::string("; the drifts and the intercept are aliased")
                                      : "; aliased: " + joined(aliased)));
  }
  for (std::size_t c = 0; c < figures.vif.size(); ++c) {
    if (figures.aliased[c] || !(figures.vif[c] > options.vifLimit)) continue;
    findings.add(input.source, Severity::kWarning,
                 quotedName(design.matrix.conditions[c]) + ": VIF " + significantText(figures.vif[c]) +
                     " is above the limit of " + number(options.vifLimit) + " (efficiency " +
                     significantText(figures.efficiency[c]) + ")");
  }
}

// Outcomes for which the log expected a response.
bool expectsResponse(const std::string& outcome) {
  return outcome == "hit" || outcome == "incorrect" || outcome == "miss";
}

// A response came: one was paired with the event, or the log scored one
// (a log may score its stimuli without pairing their responses).
bool responded(const RunEvent& event) {
  return event.responseTime || event.outcome == "hit" || event.outcome == "incorrect" || event.outcome == "false_alarm";
}

void checkResponses(const CheckRun& input, Findings& findings) {
  const RunEvents& run = input.events;
  std::vector<std::size_t> expected(run.conditions.size(), 0), came(run.conditions.size(), 0);
  for (const RunEvent& event : run.events) {
    const std::uint32_t c = event.condition;
    if (c >= run.conditions.size() || !expectsResponse(event.outcome)) continue;
    ++expected[c];
    if (responded(event)) ++came[c];
  }
  for (std::size_t c = 0; c < expected.size(); ++c) {
    if (expected[c] == 0 || 2 * came[c] >= expected[c]) continue;
    findings.add(input.source, Severity::kWarning,
                 quotedName(run.conditions[c]) + ": " + std::to_string(came[c]) + " of " + std::to_string(expected[c]) +
                     " expected responses came (" +
                     number(100.0 * static_cast<double>(came[c]) / static_cast<double>(expected[c])) +
                     "%), fewer than half");
  }
}

std::vector<ResponseRow> responseTable(const std::vector<CheckRun>& runs, const ConditionCounts& counts) {
  std::unordered_map<std::string, std::size_t> placeOf;
  for (std::size_t c = 0; c < counts.conditions.size(); ++c) placeOf.emplace(counts.conditions[c], c);
  // [condition] -> outcomes in order of first appearance, with their times.
  struct Outcome {
    std::string name;
    std::size_t events = 0;
    std::size_t responses = 0;
    std::vector<double> times;
  };
  std::vector<std::vector<Outcome>> table(counts.conditions.size());
  for (const CheckRun& input : runs) {
    for (const RunEvent& event : input.events.events) {
      // Responses themselves, and events of logs that score nothing, have neither.
      if (event.outcome.empty() && !event.responseTime) continue;
      const std::string outcome = event.outcome.empty() ? "none" : event.outcome;
      const std::uint32_t condition = event.condition;
      if (condition >= input.events.conditions.size()) continue;
      auto& outcomes = table[placeOf.at(input.events.conditions[condition])];
      auto found = std::find_if(outcomes.begin(), outcomes.end(), [&](const Outcome& o) { return o.name == outcome; });
      if (found == outcomes.end()) found = outcomes.insert(outcomes.end(), Outcome{outcome, 0, 0, {}});
      ++found->events;
      if (responded(event)) ++found->responses;
      if (event.responseTime) found->times.push_back(*event.responseTime / 10000.0);
    }
  }
  std::vector<ResponseRow> rows;
  for (std::size_t c = 0; c < table.size(); ++c) {
    for (Outcome& outcome : table[c]) {
      ResponseRow row{counts.conditions[c], outcome.name, outcome.events, outcome.responses, {}, {}, {}};
      if (!outcome.times.empty()) {
        std::sort(outcome.times.begin(), outcome.times.end());
        row.median = linearQuantile(outcome.times, 0.5);
        row.lowerQuartile = linearQuantile(outcome.times, 0.25);
        row.upperQuartile = linearQuantile(outcome.times, 0.75);
      }
      rows.push_back(std::move(row));
    }
  }
  return rows;
}

ConditionCounts conditionCounts(const std::vector<CheckRun>& runs) {
  ConditionCounts counts;
  std::unordered_map<std::string, std::size_t> placeOf;
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const RunEvents& run = runs[r].events;
    const std::vector<std::size_t> perCondition = run.eventsPerCondition();
    for (std::size_t c = 0; c < run.conditions.size(); ++c) {
      const auto [found, added] = placeOf.try_emplace(run.conditions[c], counts.conditions.size());
      if (added) {
        counts.conditions.push_back(run.conditions[c]);
        counts.perRun.emplace_back(runs.size(), 0);
      }
      counts.perRun[found->second][r] += perCondition[c];
    }
  }
  return counts;
}

void checkMissing(const std::vector<CheckRun>& runs, const ConditionCounts& counts, Findings& findings) {
  for (std::size_t c = 0; c < counts.conditions.size(); ++c) {
    std::vector<std::string> missing;
    for (std::size_t r = 0; r < runs.size(); ++r) {
      if (counts.perRun[c][r] == 0 && runs[r].failure.empty()) missing.push_back(runs[r].source);
    }
    if (missing.empty()) continue;
    for (std::size_t r = 0; r < runs.size(); ++r) {
      if (counts.perRun[c][r] != 0 || !runs[r].failure.empty()) continue;
      findings.add(runs[r].source, Severity::kNote,
                   quotedName(counts.conditions[c]) + " has no event in this run; it is missing from " +
                       joined(missing) + " (" + std::to_string(missing.size()) + " of " +
                       counted(runs.size(), "run", "runs") + ")");
    }
  }
}

// The smallest arc of the circle [0, 1) that holds every phase: its length,
// and where it begins.
std::pair<double, double> arcOf(std::vector<double> phases) {
  std::sort(phases.begin(), phases.end());
  double widestGap = phases.front() + 1 - phases.back();
  double start = phases.front();
  for (std::size_t i = 1; i < phases.size(); ++i) {
    if (phases[i] - phases[i - 1] > widestGap) {
      widestGap = phases[i] - phases[i - 1];
      start = phases[i];
    }
  }
  return {1 - widestGap, start};
}

// A part of the TR as a percentage, rounding error dropped: "0", "2.5".
std::string percent(double part) { return number(std::round(part * 1e8) / 1e6); }

void checkLocked(const std::vector<CheckRun>& runs, const std::vector<RunDesign>& designs,
                 const ConditionCounts& counts, Findings& findings) {
  for (const std::string& name : counts.conditions) {
    std::vector<double> phases;  // onset mod TR, as a part of the TR
    std::vector<std::string> where;
    for (std::size_t r = 0; r < runs.size(); ++r) {
      if (!designs[r].tr) continue;
      const RunEvents& run = runs[r].events;
      const auto place = std::find(run.conditions.begin(), run.conditions.end(), name);
      if (place == run.conditions.end()) continue;
      const auto c = static_cast<std::uint32_t>(place - run.conditions.begin());
      const std::size_t before = phases.size();
      for (const RunEvent& event : run.events) {
        if (event.condition != c) continue;
        const double turns = run.onsetSeconds(event) / *designs[r].tr;
        phases.push_back(turns - std::floor(turns));
      }
      if (phases.size() > before) where.push_back(runs[r].source);
    }
    if (phases.size() < 2) continue;
    const auto [arc, start] = arcOf(phases);
    if (arc > kLockedArc) continue;
    findings.add(where.front(), Severity::kNote,
                 quotedName(name) + " is locked to the TR: its " + std::to_string(phases.size()) + " onsets in " +
                     joined(where) + " all come " + percent(start) + "% of a TR after a volume begins, within " +
                     percent(arc) + "% of a TR, so the response is sampled at one phase only");
  }
}

}  // namespace

const char* severityName(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    default:
      return "note";
  }
}

std::string findingLine(const Finding& finding) {
  return finding.run + ": " + severityName(finding.severity) + ": " + finding.text;
}

bool StudyCheck::hasErrors() const {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& finding) { return finding.severity == Severity::kError; });
}

double linearQuantile(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return std::nan("");
  const double position = q * static_cast<double>(sorted.size() - 1);
  const auto below = static_cast<std::size_t>(std::floor(position));
  const std::size_t above = std::min(below + 1, sorted.size() - 1);
  const double part = position - static_cast<double>(below);
  return sorted[below] + (sorted[above] - sorted[below]) * part;
}

std::string significantText(double value) {
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  if (std::isnan(value)) return "nan";
  char text[40];
  std::snprintf(text, sizeof text, "%#.7g", value);
  return text;
}

StudyCheck checkStudy(const std::vector<CheckRun>& runs, const CheckOptions& options) {
  StudyCheck check;
  Findings findings(check.findings);
  check.counts = conditionCounts(runs);
  for (const CheckRun& input : runs) {
    check.runs.push_back(input.source);
    if (!input.failure.empty()) {
      findings.add(input.source, Severity::kError, input.failure);
      RunDesign design;
      design.source = input.source;
      design.skipped = "the run could not be read";
      check.designs.push_back(std::move(design));
      continue;
    }
    if (!input.imageFailure.empty()) findings.add(input.source, Severity::kError, input.imageFailure);
    for (const std::string& line : input.warnings) {
      findings.add(input.source, Severity::kWarning, withoutSource(line, input.source));
    }
    if (input.timedFromLogZero) {
      findings.add(input.source, Severity::kWarning,
                   "no scanner pulse: its times are from the log's own zero, not from the first volume");
    }
    const Scans scans = scansOf(input, options);
    RunDesign design;
    design.source = input.source;
    design.tr = scans.tr;
    design.trFrom = scans.trFrom;
    design.scans = scans.count;
    design.scansFrom = scans.countFrom;
    checkImage(input, options, scans, findings);
    checkEvents(input, findings);
    std::optional<double> scanEnd;
    if (scans.tr && scans.count) scanEnd = static_cast<double>(*scans.count) * *scans.tr;
    checkOutsideScan(input, scanEnd, findings);
    checkResponses(input, findings);
    modelDesign(input, options, design, findings);
    check.designs.push_back(std::move(design));
  }
  checkMissing(runs, check.counts, findings);
  checkLocked(runs, check.designs, check.counts, findings);
  check.responses = responseTable(runs, check.counts);
  std::stable_sort(check.findings.begin(), check.findings.end(),
                   [](const Finding& a, const Finding& b) { return a.severity < b.severity; });
  return check;
}

}  // namespace stimloom
