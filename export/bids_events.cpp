#include "export/bids_events.h"

#include <array>
#include <nlohmann/json.hpp>
#include <utility>

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

// "Picture, Sound, Video or Response".
std::string listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " or " : ", ";
    text += items[i];
  }
  return text;
}

// Presentation's scorings of a stimulus, and what each means.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kOutcomes = {{
    {"hit", "the expected response in time"},
    {"miss", "no response when one was expected"},
    {"incorrect", "a response other than the expected one"},
    {"false_alarm", "a response when none was expected"},
    {"other", "no response was expected or none was scored"},
}};

Json describeColumn(const EventColumn& column) {
  if (column.header.empty() && column.name == "response_time") {
    return {{"LongName", "Response time"},
            {"Description",
             "Time from the event to the Response its Pair Index names in the Presentation log; n/a without a "
             "pair and on Response rows"},
            {"Units", "s"}};
  }
  if (column.header.empty() && column.name == "response") {
    return {{"LongName", "Response"},
            {"Description",
             "The Code of the Response the event's Pair Index names in the Presentation log; n/a "
             "without a pair"}};
  }
  if (column.header.empty()) {
    Json levels = Json::object();
    const auto present = [&column](std::string_view value) {
      return std::any_of(column.values.begin(), column.values.end(),
                         [value](const auto& written) { return written && *written == value; });
    };
    for (const auto& [value, meaning] : kOutcomes) {
      if (present(value)) levels[std::string(value)] = std::string(meaning);
    }
    for (const auto& value : column.values) {
      if (value && !levels.contains(*value))
        levels[*value] = "Stim Type " + *value + " as the Presentation log writes it";
    }
    return {{"LongName", "Outcome"},
            {"Description",
             "Presentation's scoring of the stimulus, the Stim Type column of its log; n/a on "
             "Response rows"},
            {"Levels", levels}};
  }
  return {{"LongName", column.header}, {"Description", "Presentation event property " + column.header}};
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

  std::string text = "onset\tduration\ttrial_type\tvalue\tevent_type";
  for (const EventColumn& column : run.columns) text.append("\t").append(column.name);
  text += '\n';
  text.reserve(kPieceBytes + 4096);
  for (std::size_t row = 0; row < run.events.size(); ++row) {
    const RunEvent& event = run.events[row];
    appendExactDifference(text, event.time, run.zero, 4);
    text += '\t';
    appendExactDifference(text, event.durationTo, event.durationFrom, 4);
    text.append("\t").append(trialTypes[event.condition]).append("\t");
    text.append(event.code ? std::string_view(values[*event.code]) : kNotAvailable).append("\t");
    text.append(event.type ? std::string_view(types[*event.type]) : kNotAvailable);
    for (const EventColumn& column : run.columns) {
      const std::optional<std::string>& value = column.values[row];
      text.append("\t").append(value ? tsvField(*value) : std::string(kNotAvailable));
    }
    text += '\n';
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
                          ? "Time until the next " + listed(settings.options.eventTypes) +
                                " event; the last event lasts its own Duration"
                          : "The event's own Duration in the Presentation log; 0 when it gives none"},
      {"Units", "s"}};
  sidecar["trial_type"] = {
      {"LongName", "Condition"},
      {"Description", map != nullptr
                          ? std::string(map->matchesOutcomes() ? "The condition of the event's code and outcome, from "
                                                               : "The condition of the event's code, from ") +
                                settings.conditionsFile
                          : "The event's code"},
      {"Levels", levels}};
  sidecar["value"] = {{"LongName", "Presentation code"},
                      {"Description", "The Code column of the Presentation log; n/a for a protocol's interval"}};
  sidecar["event_type"] = {
      {"LongName", "Presentation event type"},
      {"Description", "The Event Type column of the Presentation log; n/a for a protocol's interval"},
      {"Levels", types}};
  for (const EventColumn& column : run.columns) sidecar[column.name] = describeColumn(column);
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
  if (settings.options.eventTypes != defaultKeptTypes()) exported["EventTypes"] = settings.options.eventTypes;
  exported["ConditionsFile"] = settings.conditionsFile.empty() ? Json(nullptr) : Json(settings.conditionsFile);
  exported["EventsLeftOutByConditions"] = run.leftOutByConditions;
  if (!settings.fromProtocol) exported["Pulses"] = pulseFigures(run);
  sidecar["StimloomExport"] = exported;
  return sidecar.dump(2) + "\n";
}

}  // namespace stimloom
