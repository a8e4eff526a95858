#include "export/modulators.h"

#include <algorithm>
#include <cstdint>

namespace stimloom {
namespace {

// An event of a scope: its run and its place in that run's events.
struct ScopeEvent {
  std::size_t run = 0;
  std::size_t event = 0;
};

// Who a scope's warnings are about, eg: run1.log: condition "face", modulator temperature
std::string scopeLabel(const std::string& where, const std::string& condition, const std::string& modulator) {
  return where + ": condition \"" + condition + "\", modulator " + modulator;
}

std::string eventCount(std::size_t count) { return std::to_string(count) + (count == 1 ? " event" : " events"); }

// The values of the column `name` over a scope's events, or nothing when the
// scope has no known value or only one, the reason said in `warnings`.
std::optional<ModulatorValues> valuesOver(const std::vector<const RunEvents*>& runs,
                                          const std::vector<std::string>& sources,
                                          const std::vector<ScopeEvent>& events, const std::string& name,
                                          const std::string& label, std::vector<std::string>& warnings) {
  std::vector<std::optional<ExactDecimal>> read;
  read.reserve(events.size());
  ExactDecimal sum;
  std::uint32_t known = 0;
  for (const ScopeEvent& at : events) {
    const RunEvents& run = *runs[at.run];
    const EventColumn* column = run.column(name);
    const std::optional<std::string>* text =
        column != nullptr && at.event < column->values.size() ? &column->values[at.event] : nullptr;
    std::optional<ExactDecimal> value;
    if (text != nullptr && text->has_value()) {
      value = ExactDecimal::parse(**text);
      if (!value) {
        const std::int64_t line = run.events[at.event].line;
        warnings.push_back(sources[at.run] + (line > 0 ? ":" + std::to_string(line) : "") + ": " + name + " \"" +
                           **text + "\" is not a number, so the event has no value");
      }
    }
    if (value) {
      sum = sum + *value;
      ++known;
    }
    read.push_back(std::move(value));
  }
  if (known == 0) {
    warnings.push_back(label + ": no event has a value, so there is no modulator");
    return std::nullopt;
  }
  ModulatorValues result;
  result.mean = sum.dividedBy(known, kModulatorMeanPlaces);
  const ExactDecimal* first = nullptr;
  bool allEqual = true;
  for (const std::optional<ExactDecimal>& value : read) {
    if (!value) continue;
    if (first == nullptr) first = &*value;
    allEqual = allEqual && *value == *first;
  }
  if (allEqual) {
    warnings.push_back(label + ": " + (read.size() == 1 ? "its one event has" : "every event has") + " the value " +
                       first->text() + ", so centred it would be all zeros: there is no modulator");
    return std::nullopt;
  }
  if (known < read.size()) {
    warnings.push_back(label + ": " + std::to_string(read.size() - known) + " of " + eventCount(read.size()) +
                       " have no value and take the mean of the others, " + result.mean.text());
  }
  result.values.reserve(read.size());
  for (std::optional<ExactDecimal>& value : read) result.values.push_back(value ? std::move(*value) : result.mean);
  return result;
}

// Each condition's events that a file holds, by the study's places (or the
// run's own, with `study` null).
std::vector<std::vector<std::size_t>> eventsByCondition(const RunEvents& run, const StudyConditions* study,
                                                        bool fromZeroOnly) {
  std::vector<std::size_t> places(run.conditions.size());
  for (std::size_t c = 0; c < run.conditions.size(); ++c) places[c] = study ? study->placeOf.at(run.conditions[c]) : c;
  std::vector<std::vector<std::size_t>> events(study ? study->names.size() : run.conditions.size());
  for (std::size_t e = 0; e < run.events.size(); ++e) {
    const RunEvent& event = run.events[e];
    if (fromZeroOnly && event.time < run.zero) continue;
    events[places[event.condition]].push_back(e);
  }
  return events;
}

std::vector<const RunEvents*> pointersTo(const std::vector<RunEvents>& runs) {
  std::vector<const RunEvents*> pointers;
  for (const RunEvents& run : runs) pointers.push_back(&run);
  return pointers;
}

}  // namespace

std::vector<std::string> modulatorNames(const std::vector<RunEvents>& runs) {
  std::vector<std::string> names;
  for (const RunEvents& run : runs) {
    for (const EventColumn& column : run.columns) {
      const bool carried = std::any_of(column.values.begin(), column.values.end(),
                                       [](const std::optional<std::string>& value) { return value.has_value(); });
      if (column.numeric && carried && std::find(names.begin(), names.end(), column.name) == names.end()) {
        names.push_back(column.name);
      }
    }
  }
  return names;
}

std::string modulatorRefusal(const std::vector<RunEvents>& runs, const std::vector<std::string>& names) {
  const std::vector<std::string> offered = modulatorNames(runs);
  std::string offer;
  for (const std::string& name : offered) offer += (offer.empty() ? "" : ", ") + name;
  offer = offer.empty() ? "; the exported events carry no numeric column" : "; the export offers " + offer;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    if (std::find(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(i), name) !=
        names.begin() + static_cast<std::ptrdiff_t>(i)) {
      return "the modulator " + name + " is asked for twice";
    }
    if (std::find(offered.begin(), offered.end(), name) != offered.end()) continue;
    const bool text = std::any_of(runs.begin(), runs.end(), [&name](const RunEvents& run) {
      const EventColumn* column = run.column(name);
      return column != nullptr && !column->numeric;
    });
    return "the modulator " + name +
           (text ? " is a text column, not a number" : ": no exported event carries a value of that name") + offer;
  }
  return "";
}

FslModulators fslModulators(const std::vector<RunEvents>& runs, const std::vector<std::string>& sources,
                            const StudyConditions& study, const std::vector<std::string>& names) {
  FslModulators result;
  result.names = names;
  const std::vector<const RunEvents*> pointers = pointersTo(runs);
  // [run][condition][modulator]
  std::vector<std::vector<std::vector<std::optional<ModulatorValues>>>> found(runs.size());
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const auto events = eventsByCondition(runs[r], &study, true);
    found[r].resize(study.names.size());
    for (std::size_t c = 0; c < study.names.size(); ++c) {
      found[r][c].resize(names.size());
      if (events[c].empty()) continue;
      std::vector<ScopeEvent> scope;
      for (const std::size_t e : events[c]) scope.push_back({r, e});
      for (std::size_t m = 0; m < names.size(); ++m) {
        found[r][c][m] = valuesOver(pointers, sources, scope, names[m],
                                    scopeLabel(sources[r], study.names[c], names[m]), result.warnings);
      }
    }
  }
  std::vector<std::string> wanted;
  for (std::size_t c = 0; c < study.names.size(); ++c) {
    for (std::size_t m = 0; m < names.size(); ++m) {
      if (std::none_of(found.begin(), found.end(), [&](const auto& run) { return run[c][m].has_value(); })) continue;
      result.files.push_back({c, m, ""});
      wanted.push_back(study.fileNames[c] + "_" + names[m]);
    }
  }
  const std::vector<std::string> fileNames = moreFileNames(study.fileNames, wanted);
  for (std::size_t f = 0; f < result.files.size(); ++f) result.files[f].fileName = fileNames[f];
  result.values.resize(runs.size());
  for (std::size_t r = 0; r < runs.size(); ++r) {
    for (const FslModulatorFile& file : result.files) {
      result.values[r].push_back(std::move(found[r][file.condition][file.modulator]));
    }
  }
  return result;
}

AfniModulators afniModulators(const std::vector<RunEvents>& runs, const std::vector<std::string>& sources,
                              const StudyConditions& study, const std::vector<std::string>& names) {
  AfniModulators result;
  result.names = names;
  const std::vector<const RunEvents*> pointers = pointersTo(runs);
  std::vector<std::vector<ScopeEvent>> scopes(study.names.size());
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const auto events = eventsByCondition(runs[r], &study, true);
    for (std::size_t c = 0; c < study.names.size(); ++c) {
      for (const std::size_t e : events[c]) scopes[c].push_back({r, e});
    }
  }
  result.carried.resize(study.names.size());
  result.values.resize(study.names.size());
  std::vector<std::string> wanted;
  std::vector<std::size_t> modulated;
  for (std::size_t c = 0; c < study.names.size(); ++c) {
    if (scopes[c].empty()) continue;
    for (std::size_t m = 0; m < names.size(); ++m) {
      auto values = valuesOver(pointers, sources, scopes[c], names[m], scopeLabel("all runs", study.names[c], names[m]),
                               result.warnings);
      if (!values) continue;
      result.carried[c].push_back(m);
      result.values[c].push_back(std::move(*values));
    }
    if (result.carried[c].empty()) continue;
    modulated.push_back(c);
    wanted.push_back(study.fileNames[c] + "_AM");
  }
  const std::vector<std::string> fileNames = moreFileNames(study.fileNames, wanted);
  result.fileNames.resize(study.names.size());
  for (std::size_t i = 0; i < modulated.size(); ++i) result.fileNames[modulated[i]] = fileNames[i];
  return result;
}

SpmModulators spmModulators(const RunEvents& run, const std::string& source, const std::vector<std::string>& names) {
  SpmModulators result;
  result.names = names;
  const std::vector<const RunEvents*> pointers = {&run};
  const std::vector<std::string> sources = {source};
  const auto events = eventsByCondition(run, nullptr, false);
  result.carried.resize(run.conditions.size());
  result.values.resize(run.conditions.size());
  for (std::size_t c = 0; c < run.conditions.size(); ++c) {
    if (events[c].empty()) continue;
    std::vector<ScopeEvent> scope;
    for (const std::size_t e : events[c]) scope.push_back({0, e});
    for (std::size_t m = 0; m < names.size(); ++m) {
      auto values = valuesOver(pointers, sources, scope, names[m], scopeLabel(source, run.conditions[c], names[m]),
                               result.warnings);
      if (!values) continue;
      result.carried[c].push_back(m);
      result.values[c].push_back(std::move(*values));
    }
  }
  return result;
}

}  // namespace stimloom
