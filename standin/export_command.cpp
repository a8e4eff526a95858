#include "standin/export_command.h"

#include <string>
#include <vector>

#include "export/bids_events.h"
#include "standin/file_output.h"
#include "standin/run_inputs.h"

namespace standin {
namespace {

constexpr const char* kProgram = "stimloom-host";

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

bool writeBids(const LoadedRun& run, const Options& options, const RunSettings& settings, std::FILE* out,
               std::string& error) {
  const BidsFiles files = bidsFilesOf(run, options);
  if (!prepareFolder(files.folder, error)) return false;
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
    return false;
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

}  // namespace

int exportRuns(const Options& options, std::FILE* out, std::FILE* err) {
  std::string error;
  const auto settings = runSettings(options.run, error);
  if (!settings) {
    std::fprintf(err, "%s: %s\n", kProgram, error.c_str());
    return 1;
  }
  int status = 0;
  for (const std::string& input : options.run.inputs) {
    error.clear();
    const auto run = loadRun(input, options.run, *settings, false, error);
    if (run) {
      for (const std::string& warning : run->warnings)
        std::fprintf(err, "%s: warning: %s\n", kProgram, warning.c_str());
    }
    if (!run || !writeBids(*run, options, *settings, out, error)) {
      std::fprintf(err, "%s: not exported: %s\n", kProgram, error.c_str());
      status = 1;
    }
  }
  return status;
}

}  // namespace standin
