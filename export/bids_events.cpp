#include "export/bids_events.h"

#include <nlohmann/json.hpp>

#include "util/decimal.h"

namespace stimloom {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kNotAvailable = "n/a";

std::string milliseconds(double tenths) { return exactQuotientText(tenths, 1); }

// Numbers in the sidecar are written as JSON numbers from their exact text.
Json number(const std::string& exact) { return Json::parse(exact); }

Json pulseFigures(const RunEvents& run) {
  if (!run.pulseCheck) return Json{{"Count", 0}};
  const PulseCheck& check = *run.pulseCheck;
  Json pulses = {{"Count", check.count},
                 {"FirstMs", number(milliseconds(check.first))},
                 {"LastMs", number(milliseconds(check.last))}};
  if (check.medianInterval) {
    pulses["MedianIntervalMs"] = number(milliseconds(*check.medianInterval));
    pulses["SmallestIntervalMs"] = number(milliseconds(*check.smallestInterval));
    pulses["LargestIntervalMs"] = number(milliseconds(*check.largestInterval));
  }
  return pulses;
}

}  // namespace

std::string tsvField(std::string_view text) {
  if (text.empty()) return std::string(kNotAvailable);
  std::string field(text);
  for (char& c : field) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return field;
}

void writeBidsEventsTsv(const RunEvents& run, const std::function<void(std::string_view piece)>& write) {
  constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
  std::vector<std::string> trialTypes;
  trialTypes.reserve(run.conditions.size());
  for (const std::string& name : run.conditions) trialTypes.push_back(tsvField(name));
  std::vector<std::string> values;
  values.reserve(run.codes.size());
  for (const std::string& code : run.codes) values.push_back(tsvField(code));

  std::vector<std::string> types;
  for (const std::string& type : run.types) types.push_back(tsvField(type));

  std::string text = "onset\tduration\ttrial_type\tvalue\tevent_type\n";
  text.reserve(kPieceBytes + 4096);
  for (const RunEvent& event : run.events) {
    appendExactDifference(text, event.time, run.zero, 4);
    text += '\t';
    appendExactDifference(text, event.durationTo, event.durationFrom, 4);
    text.append("\t").append(trialTypes[event.condition]).append("\t");
    text.append(event.code ? std::string_view(values[*event.code]) : kNotAvailable).append("\t");
    text.append(event.type ? std::string_view(types[*event.type]) : kNotAvailable).append("\n");
    if (text.size() >= kPieceBytes) {
      write(text);
      text.clear();
    }
  }
  write(text);
}

std::string bidsEventsTsv(const RunEvents& run) {
  std::string text;
  writeBidsEventsTsv(run, [&text](std::string_view piece) { text.append(piece); });
  return text;
}

std::string bidsEventsJson(const RunEvents& run, const ExportSettings& settings) {
  Json levels = Json::object();
  const ConditionMap* map = settings.options.conditions;
  for (const std::string& condition : run.conditions) {
    if (map != nullptr) {
      levels[condition] = "Presentation codes " + map->patternsOf(condition);
    } else {
      levels[condition] =
          settings.fromProtocol ? "The protocol's condition " + condition : "Presentation code " + condition;
    }
  }
  Json types = Json::object();
  for (std::uint32_t type = 0; type < run.types.size(); ++type) {
    const bool present =
        std::any_of(run.events.begin(), run.events.end(), [type](const RunEvent& event) { return event.type == type; });
    if (present) types[run.types[type]] = run.types[type] + " event";
  }

  const bool fromPulse = !settings.fromProtocol && settings.options.zero == TimeZero::kFirstPulse;
  Json sidecar;
  sidecar["onset"] = {
      {"LongName", "Event onset"},
      {"Description", fromPulse ? "Time of the event from the first stored volume: the first scanner pulse after the "
                                  "dummy volumes"
                      : settings.fromProtocol ? "Time of the event from the protocol's time zero"
                                              : "Time of the event from the Presentation log's own zero"},
      {"Units", "s"}};
  sidecar["duration"] = {
      {"LongName", "Event duration"},
      {"Description", settings.options.durationRule == DurationRule::kUntilNextEvent
                          ? "Time until the next Picture, Sound, Video or Response event; the last event lasts its "
                            "own Duration"
                          : "The event's own Duration in the Presentation log; 0 when it gives none"},
      {"Units", "s"}};
  sidecar["trial_type"] = {
      {"LongName", "Condition"},
      {"Description",
       map != nullptr ? "The condition of the event's code, from " + settings.conditionsFile : "The event's code"},
      {"Levels", levels}};
  sidecar["value"] = {{"LongName", "Presentation code"},
                      {"Description", "The Code column of the Presentation log; n/a for a protocol's interval"}};
  sidecar["event_type"] = {
      {"LongName", "Presentation event type"},
      {"Description", "The Event Type column of the Presentation log; n/a for a protocol's interval"},
      {"Levels", types}};
  sidecar["StimulusPresentation"] = {{"SoftwareName", "Presentation"}};

  Json exported = {
      {"Source", settings.source},
      {"DurationRule", settings.options.durationRule == DurationRule::kUntilNextEvent ? "1: until the next event"
                                                                                      : "2: the event's own Duration"}};
  if (settings.fromProtocol) {
    exported["TimeZero"] = "the protocol's own zero";
  } else {
    exported["TimeZero"] = fromPulse ? "first pulse" : "log";
    exported["DummyVolumes"] = settings.options.dummyVolumes;
    exported["PulseCode"] = settings.pulseCode ? Json(*settings.pulseCode) : Json(nullptr);
    exported["ZeroMs"] = number(milliseconds(run.zero));
  }
  exported["ConditionsFile"] = settings.conditionsFile.empty() ? Json(nullptr) : Json(settings.conditionsFile);
  exported["EventsLeftOutByConditions"] = run.leftOutByConditions;
  if (!settings.fromProtocol) exported["Pulses"] = pulseFigures(run);
  sidecar["StimloomExport"] = exported;
  return sidecar.dump(2) + "\n";
}

}  // namespace stimloom
