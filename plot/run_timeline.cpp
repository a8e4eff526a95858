#include "plot/run_timeline.h"

#include <map>

#include "util/decimal.h"

namespace stimloom {
namespace {

// Tenths of a millisecond on the log's clock, as seconds from the run's zero.
double secondsFromZero(const RunEvents& run, double tenths) { return (tenths - run.zero) / 10000; }

}  // namespace

Timeline runTimeline(const RunEvents& run, const std::string& fileName, const std::string& note) {
  Timeline timeline;
  timeline.fileName = fileName;
  timeline.note = note;
  const std::vector<std::size_t> counts = run.eventsPerCondition();
  for (std::size_t c = 0; c < run.conditions.size(); ++c) timeline.rows.push_back({run.conditions[c], counts[c]});
  timeline.events.reserve(run.events.size());
  const EventColumn* responseTimes = run.column("response_time");
  timeline.hasOutcomes = run.column("outcome") != nullptr;
  timeline.hasResponseTimes = responseTimes != nullptr;
  std::map<std::string, std::size_t> outcomes;
  for (std::size_t i = 0; i < run.events.size(); ++i) {
    const RunEvent& event = run.events[i];
    TimelineEvent mark;
    mark.row = event.condition;
    mark.onsetText = run.onsetText(event);
    mark.durationText = run.durationText(event);
    mark.onset = decimalTextValue(mark.onsetText);
    mark.duration = decimalTextValue(mark.durationText);
    mark.outcome = event.outcome;
    if (!event.outcome.empty()) ++outcomes[event.outcome];
    if (responseTimes != nullptr && responseTimes->values[i]) {
      mark.responseTimeText = *responseTimes->values[i];
      mark.responseTime = decimalTextValue(mark.responseTimeText);
    }
    timeline.events.push_back(std::move(mark));
  }
  for (const auto& [outcome, count] : outcomes) {
    if (!timeline.outcomeCounts.empty()) timeline.outcomeCounts += " \u00b7 ";
    timeline.outcomeCounts += outcome + " " + std::to_string(count);
  }
  for (const double pulse : run.pulses) timeline.pulses.push_back(secondsFromZero(run, pulse));
  if (run.pulseCheck) {
    timeline.pulseFigures = pulseSummary(run);
    if (run.pulseCheck->medianInterval) {
      timeline.lastVolumeEnd = secondsFromZero(run, run.pulseCheck->last + *run.pulseCheck->medianInterval);
    }
  }
  return timeline;
}

}  // namespace stimloom
