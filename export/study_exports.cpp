#include "export/study_exports.h"

#include <unordered_set>

#include "export/bids_events.h"
#include "export/mat_file.h"

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

// The list of a study's files: one row per condition, with its counts.
std::string conditionsTsv(const std::vector<ExportFile>& files, const StudyConditions& study,
                          const std::vector<ConditionCount>& totals, const std::vector<std::string>& extra,
                          const std::string& extraHeader) {
  std::string text = "file\tcondition\tevents\tleft_out_before_zero";
  if (!extraHeader.empty()) text += "\t" + extraHeader;
  text += "\n";
  for (std::size_t c = 0; c < study.names.size(); ++c) {
    text += files[c].name + "\t" + tsvField(study.names[c]) + "\t" + std::to_string(totals[c].events) + "\t" +
            std::to_string(totals[c].beforeZero);
    if (!extraHeader.empty()) text += "\t" + extra[c];
    text += "\n";
  }
  return text;
}

}  // namespace

std::vector<std::string> conditionFileNames(const std::vector<std::string>& names) {
  std::vector<std::string> fileNames;
  fileNames.reserve(names.size());
  std::unordered_set<std::string> taken;  // lower case
  for (const std::string& name : names) {
    std::string base = name;
    for (char& c : base) {
      if (!fileNameByte(c)) c = '_';
    }
    std::string chosen = base;
    for (std::size_t suffix = 2; taken.contains(lowerCase(chosen)); ++suffix) {
      chosen = base + "_" + std::to_string(suffix);
    }
    taken.insert(lowerCase(chosen));
    fileNames.push_back(std::move(chosen));
  }
  return fileNames;
}

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

FslRunFiles fslRunFiles(const RunEvents& run, const StudyConditions& study, const std::string& stem) {
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
  for (std::size_t c = 0; c < count; ++c) {
    result.files.push_back({stem + "_" + study.fileNames[c] + ".txt", rows[c].empty() ? "0\t0\t0\n" : rows[c]});
  }
  result.files.push_back({stem + "_conditions.tsv", conditionsTsv(result.files, study, result.counts, {}, "")});
  return result;
}

AfniFiles afniFiles(const std::vector<RunEvents>& runs, const StudyConditions& study, const std::string& prefix) {
  const std::size_t count = study.names.size();
  AfniFiles result;
  result.counts.assign(count, std::vector<ConditionCount>(runs.size()));
  std::vector<std::string> texts(count);
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const RunEvents& run = runs[r];
    const std::vector<std::size_t> places = studyPlaces(run, study);
    std::vector<std::string> lines(count);
    for (const RunEvent& event : run.events) {
      const std::size_t place = places[event.condition];
      ConditionCount& counted = result.counts[place][r];
      if (beforeZero(run, event)) {
        ++counted.beforeZero;
        continue;
      }
      if (counted.events > 0) lines[place] += ' ';
      lines[place] += run.onsetText(event) + ":" + run.durationText(event);
      ++counted.events;
    }
    for (std::size_t c = 0; c < count; ++c) {
      const std::size_t events = result.counts[c][r].events;
      texts[c] += events == 0 ? "*" : events == 1 ? lines[c] + " *" : lines[c];
      texts[c] += '\n';
    }
  }
  std::vector<ConditionCount> totals(count);
  std::vector<std::string> perRun(count);
  for (std::size_t c = 0; c < count; ++c) {
    result.files.push_back({prefix + "_" + study.fileNames[c] + ".1D", std::move(texts[c])});
    for (std::size_t r = 0; r < runs.size(); ++r) {
      totals[c].events += result.counts[c][r].events;
      totals[c].beforeZero += result.counts[c][r].beforeZero;
      perRun[c] += (r > 0 ? " " : "") + std::to_string(result.counts[c][r].events);
    }
  }
  result.files.push_back(
      {prefix + "_conditions.tsv", conditionsTsv(result.files, study, totals, perRun, "events_per_run")});
  return result;
}

SpmRunFile spmRunFile(const RunEvents& run, const StudyConditions& study, const std::string& stem) {
  const std::vector<std::size_t> places = studyPlaces(run, study);
  std::vector<MatCondition> byPlace(study.names.size());
  SpmRunFile result;
  for (const RunEvent& event : run.events) {
    MatCondition& condition = byPlace[places[event.condition]];
    condition.onsets.push_back(run.onsetSeconds(event));
    condition.durations.push_back(run.durationSeconds(event));
    if (beforeZero(run, event)) ++result.beforeZero;
    ++result.events;
  }
  std::vector<MatCondition> written;
  for (std::size_t c = 0; c < byPlace.size(); ++c) {
    if (byPlace[c].onsets.empty()) {
      result.leftOut.push_back(study.names[c]);
      continue;
    }
    byPlace[c].name = study.names[c];
    result.written.push_back(study.names[c]);
    written.push_back(std::move(byPlace[c]));
  }
  result.file = {stem + "_conditions.mat", multipleConditionsMatFile(written)};
  return result;
}

}  // namespace stimloom
