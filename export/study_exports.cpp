#include "export/study_exports.h"

#include <unordered_set>

#include "export/bids_events.h"
#include "export/mat_file.h"
#include "export/modulators.h"

namespace stimloom {
namespace {

bool fileNameByte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
}

std::string lowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The study's place of each of the run's conditions.
std::vector<std::size_t> studyPlaces(const RunEvents& run, const StudyConditions& study) {
  std::vector<std::size_t> places;
  places.reserve(run.conditions.size());
  for (const std::string& name : run.conditions) places.push_back(study.placeOf.at(name));
  return places;
}

bool beforeZero(const RunEvents& run, const RunEvent& event) { return event.time < run.zero; }

// A row of the list of a study's files.
struct ListRow {
  std::string file;
  std::size_t condition = 0;  // its place in the study
  ConditionCount count;
  std::vector<std::string> extra;  // the values of the extra columns
};

std::string listTsv(const StudyConditions& study, const std::vector<std::string>& extraHeaders,
                    const std::vector<ListRow>& rows) {
  std::string text = "file\tcondition\tevents\tleft_out_before_zero";
  for (const std::string& header : extraHeaders) text += "\t" + header;
  text += "\n";
  for (const ListRow& row : rows) {
    text += row.file + "\t" + tsvField(study.names[row.condition]) + "\t" + std::to_string(row.count.events) + "\t" +
            std::to_string(row.count.beforeZero);
    for (const std::string& value : row.extra) text += "\t" + value;
    text += "\n";
  }
  return text;
}

std::string joinedBy(const std::vector<std::string>& items, char separator) {
  std::string text;
  for (const std::string& item : items) {
    if (!text.empty()) text += separator;
    text += item;
  }
  return text;
}

}  // namespace

std::vector<std::string> moreFileNames(const std::vector<std::string>& taken, const std::vector<std::string>& wanted) {
  std::vector<std::string> fileNames;
  fileNames.reserve(wanted.size());
  std::unordered_set<std::string> folded;  // lower case
  for (const std::string& name : taken) folded.insert(lowerCase(name));
  for (const std::string& name : wanted) {
    std::string base = name;
    for (char& c : base) {
      if (!fileNameByte(c)) c = '_';
    }
    std::string chosen = base;
    for (std::size_t suffix = 2; folded.contains(lowerCase(chosen)); ++suffix) {
      chosen = base + "_" + std::to_string(suffix);
    }
    folded.insert(lowerCase(chosen));
    fileNames.push_back(std::move(chosen));
  }
  return fileNames;
}

std::vector<std::string> conditionFileNames(const std::vector<std::string>& names) { return moreFileNames({}, names); }

StudyConditions studyConditions(const std::vector<RunEvents>& runs) {
  StudyConditions study;
  for (const RunEvents& run : runs) {
    for (const std::string& name : run.conditions) {
      if (study.placeOf.try_emplace(name, study.names.size()).second) study.names.push_back(name);
    }
  }
  study.fileNames = conditionFileNames(study.names);
  return study;
}

FslRunFiles fslRunFiles(const RunEvents& run, const StudyConditions& study, const std::string& stem,
                        const FslModulators* modulators, std::size_t runIndex) {
  const std::size_t count = study.names.size();
  const std::vector<std::size_t> places = studyPlaces(run, study);
  FslRunFiles result;
  result.counts.resize(count);
  std::vector<std::string> rows(count);
  for (const RunEvent& event : run.events) {
    const std::size_t place = places[event.condition];
    if (beforeZero(run, event)) {
      ++result.counts[place].beforeZero;
      continue;
    }
    rows[place] += run.onsetText(event) + "\t" + run.durationText(event) + "\t1\n";
    ++result.counts[place].events;
  }
  std::vector<ListRow> list;
  for (std::size_t c = 0; c < count; ++c) {
    result.files.push_back({stem + "_" + study.fileNames[c] + ".txt", rows[c].empty() ? "0\t0\t0\n" : rows[c]});
    list.push_back({result.files.back().name, c, result.counts[c], {}});
  }
  if (modulators == nullptr) {
    result.files.push_back({stem + "_conditions.tsv", listTsv(study, {}, list)});
    return result;
  }
  for (ListRow& row : list) row.extra = {"n/a"};
  for (std::size_t f = 0; f < modulators->files.size(); ++f) {
    const FslModulatorFile& file = modulators->files[f];
    const std::optional<ModulatorValues>& values = modulators->values.at(runIndex)[f];
    std::string text;
    ConditionCount counted{0, result.counts[file.condition].beforeZero};
    if (values) {
      for (const RunEvent& event : run.events) {
        if (places[event.condition] != file.condition || beforeZero(run, event)) continue;
        const ExactDecimal centred = values->values.at(counted.events) - values->mean;
        text += run.onsetText(event) + "\t" + run.durationText(event) + "\t" + centred.text() + "\n";
        ++counted.events;
      }
    }
    result.files.push_back({stem + "_" + file.fileName + ".txt", text.empty() ? "0\t0\t0\n" : text});
    list.push_back({result.files.back().name, file.condition, counted, {modulators->names[file.modulator]}});
  }
  result.files.push_back({stem + "_conditions.tsv", listTsv(study, {"modulator"}, list)});
  return result;
}

AfniFiles afniFiles(const std::vector<RunEvents>& runs, const StudyConditions& study, const std::string& prefix,
                    const AfniModulators* modulators) {
  const std::size_t count = study.names.size();
  AfniFiles result;
  result.counts.assign(count, std::vector<ConditionCount>(runs.size()));
  std::vector<std::string> texts(count), married(count);
  std::vector<std::size_t> valuesUsed(count, 0);  // of each condition's modulator values, over the runs so far
  // "onset*v1,v2:duration" for the k-th event of a modulated condition.
  const auto amplitudes = [&](std::size_t place) {
    std::string text = "*";
    const auto& values = modulators->values[place];
    for (std::size_t m = 0; m < values.size(); ++m) {
      if (m > 0) text += ',';
      text += values[m].values.at(valuesUsed[place]).text();
    }
    ++valuesUsed[place];
    return text;
  };
  // A run's line: '*' without events, a trailing " *" after a single one.
  const auto line = [](const std::string& events, std::size_t counted) {
    return (counted == 0 ? "*" : counted == 1 ? events + " *" : events) + "\n";
  };
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const RunEvents& run = runs[r];
    const std::vector<std::size_t> places = studyPlaces(run, study);
    std::vector<std::string> lines(count), marriedLines(count);
    for (const RunEvent& event : run.events) {
      const std::size_t place = places[event.condition];
      ConditionCount& counted = result.counts[place][r];
      if (beforeZero(run, event)) {
        ++counted.beforeZero;
        continue;
      }
      const std::string separator = counted.events > 0 ? " " : "";
      lines[place] += separator + run.onsetText(event) + ":" + run.durationText(event);
      if (modulators != nullptr && !modulators->fileNames[place].empty()) {
        marriedLines[place] += separator + run.onsetText(event) + amplitudes(place) + ":" + run.durationText(event);
      }
      ++counted.events;
    }
    for (std::size_t c = 0; c < count; ++c) {
      texts[c] += line(lines[c], result.counts[c][r].events);
      married[c] += line(marriedLines[c], result.counts[c][r].events);
    }
  }
  std::vector<ListRow> list;
  for (std::size_t c = 0; c < count; ++c) {
    result.files.push_back({prefix + "_" + study.fileNames[c] + ".1D", std::move(texts[c])});
    ListRow row{result.files.back().name, c, {}, {""}};
    for (std::size_t r = 0; r < runs.size(); ++r) {
      row.count.events += result.counts[c][r].events;
      row.count.beforeZero += result.counts[c][r].beforeZero;
      row.extra[0] += (r > 0 ? " " : "") + std::to_string(result.counts[c][r].events);
    }
    list.push_back(std::move(row));
  }
  if (modulators == nullptr) {
    result.files.push_back({prefix + "_conditions.tsv", listTsv(study, {"events_per_run"}, list)});
    return result;
  }
  for (std::size_t c = 0; c < count; ++c) {
    list[c].extra.push_back("n/a");
    if (modulators->fileNames[c].empty()) continue;
    result.files.push_back({prefix + "_" + modulators->fileNames[c] + ".1D", std::move(married[c])});
    std::vector<std::string> names;
    for (const std::size_t m : modulators->carried[c]) names.push_back(modulators->names[m]);
    ListRow row = list[c];
    row.file = result.files.back().name;
    row.extra.back() = joinedBy(names, ',');
    list.push_back(std::move(row));
  }
  result.files.push_back({prefix + "_conditions.tsv", listTsv(study, {"events_per_run", "modulators"}, list)});
  return result;
}

SpmRunFile spmRunFile(const RunEvents& run, const StudyConditions& study, const std::string& stem,
                      const SpmModulators* modulators) {
  const std::vector<std::size_t> places = studyPlaces(run, study);
  std::vector<MatCondition> byPlace(study.names.size());
  std::vector<std::size_t> runCondition(study.names.size());  // the run's own place of each condition it has
  for (std::size_t c = 0; c < places.size(); ++c) runCondition[places[c]] = c;
  SpmRunFile result;
  for (const RunEvent& event : run.events) {
    MatCondition& condition = byPlace[places[event.condition]];
    condition.onsets.push_back(run.onsetSeconds(event));
    condition.durations.push_back(run.durationSeconds(event));
    if (beforeZero(run, event)) ++result.beforeZero;
    ++result.events;
  }
  std::vector<MatCondition> written;
  MatModulators pmod;
  for (std::size_t c = 0; c < byPlace.size(); ++c) {
    if (byPlace[c].onsets.empty()) {
      result.leftOut.push_back(study.names[c]);
      continue;
    }
    byPlace[c].name = study.names[c];
    result.written.push_back(study.names[c]);
    written.push_back(std::move(byPlace[c]));
    if (modulators == nullptr) continue;
    pmod.emplace_back();
    const std::size_t own = runCondition[c];
    for (std::size_t k = 0; k < modulators->carried.at(own).size(); ++k) {
      MatModulator modulator{modulators->names[modulators->carried[own][k]], {}};
      for (const ExactDecimal& value : modulators->values[own][k].values) {
        modulator.values.push_back(value.nearestDouble());
      }
      pmod.back().push_back(std::move(modulator));
    }
  }
  result.file = {stem + "_conditions.mat", multipleConditionsMatFile(written, modulators ? &pmod : nullptr)};
  return result;
}

}  // namespace stimloom
