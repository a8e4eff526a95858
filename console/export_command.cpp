#include "console/export_command.h"

#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "console/file_output.h"
#include "console/run_inputs.h"
#include "export/bids_events.h"
#include "export/study_exports.h"

namespace console {
namespace {

// The files one run becomes, and where.
struct BidsFiles {
  std::string folder;
  std::string tsv;
  std::string json;
};

BidsFiles bidsFilesOf(const LoadedRun& run, const Options& options) {
  BidsFiles files;
  const BidsPlace& bids = options.bids;
  if (bids.root.empty()) {
    files.folder = outputFolder(run.input, options.run);
    files.tsv = joinPath(files.folder, run.stem + "_events.tsv");
    files.json = joinPath(files.folder, run.stem + "_events.json");
    return files;
  }
  std::string folder = joinPath(bids.root, "sub-" + bids.subject);
  std::string name = "sub-" + bids.subject;
  if (!bids.session.empty()) {
    folder = joinPath(folder, "ses-" + bids.session);
    name += "_ses-" + bids.session;
  }
  name += "_task-" + bids.task;
  if (!bids.run.empty()) name += "_run-" + bids.run;
  files.folder = joinPath(folder, "func");
  files.tsv = joinPath(files.folder, name + "_events.tsv");
  files.json = joinPath(files.folder, name + "_events.json");
  return files;
}

// `claimed` holds the events files written so far, with their inputs: two
// runs of the same name into one folder would overwrite each other, so the
// later one fails.
bool writeBids(const LoadedRun& run, const Options& options, const RunSettings& settings,
               std::map<std::string, std::string>& claimed, std::FILE* out, std::string& error) {
  const BidsFiles files = bidsFilesOf(run, options);
  const auto [earlier, added] = claimed.try_emplace(files.tsv, run.input);
  if (!added) {
    error = run.input + ": its events file would replace that of " + earlier->second + " (both are " + files.tsv +
            "); give the runs different names or folders";
    return false;
  }
  const auto fail = [&] {
    error = run.input + ": " + error;
    return false;
  };
  if (!prepareFolder(files.folder, error)) return fail();
  stimloom::ExportSettings recorded;
  recorded.source = run.input;
  recorded.fromProtocol = run.fromProtocol;
  recorded.options = settings.options;
  recorded.options.conditions = settings.conditions ? &*settings.conditions : nullptr;
  recorded.pulseCode = options.run.pulseCode;
  recorded.conditionsFile = options.run.conditionsPath;
  const auto writeTsv = [&run](BlockWriter& file) {
    stimloom::writeBidsEventsTsv(run.events, [&file](std::string_view piece) { file.append(piece); });
  };
  if (!writeFileAtomically(files.tsv, writeTsv, error) ||
      !writeFileAtomically(files.json, stimloom::bidsEventsJson(run.events, recorded), error)) {
    return fail();
  }
  const stimloom::RunEvents& events = run.events;
  std::string summary = "exported " + run.input + ": ";
  summary += events.events.empty() ? "no events (a file of the header line only, which is valid BIDS)"
                                   : countOf(events.events.size(), "event", "events") + " in " +
                                         countOf(events.conditions.size(), "condition", "conditions");
  if (events.leftOutByConditions > 0) {
    summary += ", " + countOf(events.leftOutByConditions, "event", "events") + " matching no condition left out";
  }
  if (!run.fromProtocol) summary += ", layout: " + run.layout;
  summary += " -> " + files.tsv + ", " + files.json;
  std::fprintf(out, "%s\n", summary.c_str());
  if (!run.fromProtocol)
    std::fprintf(out, "pulses of %s: %s\n", run.input.c_str(), stimloom::pulseSummary(events).c_str());
  return true;
}

// ---- The study-wide formats ------------------------------------------------

// A run of the study as loaded. Its events are kept apart, in the list the
// writers take.
struct StudyRun {
  std::string input;
  std::string stem;
  std::string folder;  // where its own files go
  std::string layout;  // ", layout: ..." for a log, empty for a protocol
  std::string pulses;  // the pulse line for a log, empty for a protocol
};

struct Study {
  const char* program = "";  // its messages begin with the program's name
  std::vector<StudyRun> runs;
  std::vector<stimloom::RunEvents> events;  // one per run
  std::vector<std::string> failed;          // the inputs that could not be read or timed
};

// Every input read, its warnings and failures said on `err` as it comes.
Study loadStudy(const Options& options, const RunSettings& settings, std::FILE* err) {
  Study study;
  study.program = programName(options.program);
  forEachRun(
      study.program, options.run, settings, false, "exported", err,
      [&](LoadedRun& run, std::string&) {
        StudyRun loaded{run.input, run.stem, outputFolder(run.input, options.run), "", ""};
        if (!run.fromProtocol) {
          loaded.layout = ", layout: " + run.layout;
          loaded.pulses = "pulses of " + run.input + ": " + pulseSummary(run.events);
        }
        study.runs.push_back(std::move(loaded));
        study.events.push_back(std::move(run.events));
        return true;
      },
      &study.failed);
  return study;
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

// "5 events in 2 of 3 conditions (NOTE: rest)", the note naming the
// conditions without events, when there are any.
std::string eventsInConditions(std::size_t events, const std::vector<std::string>& empty, std::size_t conditions,
                               const char* note) {
  std::string text = countOf(events, "event", "events") + " in " + std::to_string(conditions - empty.size()) + " of " +
                     countOf(conditions, "condition", "conditions");
  if (!empty.empty()) text += " (" + std::string(note) + ": " + joined(empty) + ")";
  return text;
}

std::string beforeZeroNote(std::size_t count, const char* what) {
  return count == 0 ? "" : ", " + countOf(count, "event", "events") + " before zero " + what;
}

void printRunLines(const StudyRun& run, const std::string& summary, std::FILE* out) {
  std::fprintf(out, "exported %s: %s\n", run.input.c_str(), summary.c_str());
  if (!run.pulses.empty()) std::fprintf(out, "%s\n", run.pulses.c_str());
}

// False, with `error`, unless every file was written; `written` counts those that were.
bool writeFiles(const std::string& folder, const std::vector<stimloom::ExportFile>& files, std::size_t& written,
                std::string& error) {
  written = 0;
  if (!prepareFolder(folder, error)) return false;
  for (const stimloom::ExportFile& file : files) {
    if (!writeFileAtomically(joinPath(folder, file.name), file.bytes, error)) return false;
    ++written;
  }
  return true;
}

std::string pathsOf(const std::string& folder, const std::vector<stimloom::ExportFile>& files) {
  std::vector<std::string> paths;
  for (const stimloom::ExportFile& file : files) paths.push_back(joinPath(folder, file.name));
  return joined(paths);
}

// FSL's and SPM's files are per run, named by the run's stem: two runs of the
// same name into one folder would overwrite each other, so the later fails.
bool claimName(std::map<std::string, std::string>& claimed, const StudyRun& run, std::string& error) {
  const auto [found, added] = claimed.try_emplace(joinPath(run.folder, run.stem), run.input);
  if (added) return true;
  error = run.input + ": its files would replace those of " + found->second + " (both are " +
          joinPath(run.folder, run.stem) + "_*); give the runs different names or folders";
  return false;
}

int failRun(const Study& study, const std::string& error, std::FILE* err) {
  std::fprintf(err, "%s: not exported: %s\n", study.program, error.c_str());
  return 1;
}

// One run's files, and what its summary line says of them.
struct RunOutput {
  std::vector<stimloom::ExportFile> files;
  std::string said;
};

// FSL's and SPM's files, run by run: each run's names claimed, its files made
// by `make` and written. A run that fails is named and fails only itself.
int exportEachRun(const Study& study, std::FILE* out, std::FILE* err,
                  const std::function<std::optional<RunOutput>(std::size_t run, std::string& error)>& make) {
  int status = study.failed.empty() ? 0 : 1;
  std::map<std::string, std::string> claimed;
  for (std::size_t r = 0; r < study.runs.size(); ++r) {
    const StudyRun& run = study.runs[r];
    std::string error;
    if (!claimName(claimed, run, error)) {
      status = failRun(study, error, err);
      continue;
    }
    const std::optional<RunOutput> output = make(r, error);
    std::size_t written = 0;
    if (!output || !writeFiles(run.folder, output->files, written, error)) {
      status = failRun(study, run.input + ": " + error, err);
      continue;
    }
    printRunLines(run, output->said + run.layout + " -> " + pathsOf(run.folder, output->files), out);
  }
  return status;
}

int exportFsl(const Study& study, const stimloom::StudyConditions& conditions, std::FILE* out, std::FILE* err) {
  return exportEachRun(study, out, err, [&](std::size_t r, std::string&) -> std::optional<RunOutput> {
    stimloom::FslRunFiles files = stimloom::fslRunFiles(study.events[r], conditions, study.runs[r].stem);
    std::size_t events = 0, beforeZero = 0;
    std::vector<std::string> empty;
    for (std::size_t c = 0; c < files.counts.size(); ++c) {
      events += files.counts[c].events;
      beforeZero += files.counts[c].beforeZero;
      if (files.counts[c].events == 0) empty.push_back(conditions.names[c]);
    }
    return RunOutput{std::move(files.files), eventsInConditions(events, empty, conditions.names.size(), "0 0 0") +
                                                 beforeZeroNote(beforeZero, "left out")};
  });
}

int exportSpm(const Study& study, const stimloom::StudyConditions& conditions, std::FILE* out, std::FILE* err) {
  return exportEachRun(study, out, err, [&](std::size_t r, std::string& error) -> std::optional<RunOutput> {
    try {
      stimloom::SpmRunFile file = stimloom::spmRunFile(study.events[r], conditions, study.runs[r].stem);
      return RunOutput{
          {std::move(file.file)},
          eventsInConditions(file.events, file.leftOut, conditions.names.size(), "left out, as they have no events") +
              beforeZeroNote(file.beforeZero, "kept")};
    } catch (const std::exception& refused) {
      error = refused.what();
      return std::nullopt;
    }
  });
}

// AFNI's files hold a line for every run, so none is written unless every
// run could be read.
int exportAfni(const Study& study, const stimloom::StudyConditions& conditions, const Options& options, std::FILE* out,
               std::FILE* err) {
  if (!study.failed.empty()) {
    const std::string message = "no AFNI file was written: each holds a line for every run, and " +
                                std::to_string(study.failed.size()) + " of the " +
                                countOf(options.run.inputs.size(), "run", "runs") + " could not be read (" +
                                joined(study.failed) + ")";
    std::fprintf(err, "%s: %s\n", study.program, message.c_str());
    return 1;
  }
  const StudyRun& first = study.runs.front();
  const std::string prefix = options.prefix.empty() ? first.stem : options.prefix;
  const stimloom::AfniFiles files = stimloom::afniFiles(study.events, conditions, prefix);
  std::size_t written = 0;
  std::string error;
  if (!writeFiles(first.folder, files.files, written, error)) {
    std::vector<std::string> inputs;
    for (const StudyRun& run : study.runs) inputs.push_back(run.input);
    return failRun(study,
                   joined(inputs) + ": " + error + " (" + std::to_string(written) + " of " +
                       std::to_string(files.files.size()) + " AFNI files had been written)",
                   err);
  }
  for (std::size_t r = 0; r < study.runs.size(); ++r) {
    std::size_t events = 0, beforeZero = 0;
    std::vector<std::string> empty;
    for (std::size_t c = 0; c < conditions.names.size(); ++c) {
      events += files.counts[c][r].events;
      beforeZero += files.counts[c][r].beforeZero;
      if (files.counts[c][r].events == 0) empty.push_back(conditions.names[c]);
    }
    printRunLines(study.runs[r],
                  eventsInConditions(events, empty, conditions.names.size(), "*") +
                      beforeZeroNote(beforeZero, "left out") + study.runs[r].layout + " -> line " +
                      std::to_string(r + 1) + " of each .1D file",
                  out);
  }
  for (std::size_t c = 0; c < conditions.names.size(); ++c) {
    std::size_t events = 0, beforeZero = 0, runsWithEvents = 0;
    for (const stimloom::ConditionCount& counted : files.counts[c]) {
      events += counted.events;
      beforeZero += counted.beforeZero;
      runsWithEvents += counted.events > 0 ? 1 : 0;
    }
    const std::string summary = "exported \"" + conditions.names[c] + "\": " + countOf(events, "event", "events") +
                                " in " + std::to_string(runsWithEvents) + " of " +
                                countOf(study.runs.size(), "run", "runs") + beforeZeroNote(beforeZero, "left out") +
                                " -> " + joinPath(first.folder, files.files[c].name);
    std::fprintf(out, "%s\n", summary.c_str());
  }
  std::fprintf(out, "listed %s -> %s\n", countOf(conditions.names.size(), "AFNI file", "AFNI files").c_str(),
               joinPath(first.folder, files.files.back().name).c_str());
  return 0;
}

}  // namespace

int exportRuns(const Options& options, std::FILE* out, std::FILE* err) {
  std::string error;
  const char* program = programName(options.program);
  const auto settings = runSettings(options.run, error);
  if (!settings) {
    std::fprintf(err, "%s: %s\n", program, error.c_str());
    return 1;
  }
  if (options.format != ExportFormat::kBids) {
    const Study study = loadStudy(options, *settings, err);
    const stimloom::StudyConditions conditions = stimloom::studyConditions(study.events);
    switch (options.format) {
      case ExportFormat::kFsl:
        return exportFsl(study, conditions, out, err);
      case ExportFormat::kAfni:
        return exportAfni(study, conditions, options, out, err);
      default:
        return exportSpm(study, conditions, out, err);
    }
  }
  std::map<std::string, std::string> claimed;
  return forEachRun(program, options.run, *settings, false, "exported", err, [&](LoadedRun& run, std::string& failure) {
    return writeBids(run, options, *settings, claimed, out, failure);
  });
}

}  // namespace console
