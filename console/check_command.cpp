#include "console/check_command.h"

#include <string>
#include <vector>

#include "console/file_output.h"
#include "console/nifti_file.h"
#include "console/run_inputs.h"
#include "design/check_report.h"
#include "design/study_check.h"

namespace console {
namespace {

// `error` without the "INPUT: " it begins with, as the finding names the input.
std::string withoutInput(const std::string& error, const std::string& input) {
  return error.starts_with(input + ": ") ? error.substr(input.size() + 2) : error;
}

stimloom::CheckRun loaded(LoadedRun& run) {
  stimloom::CheckRun input;
  input.source = run.input;
  input.timedFromLogZero = run.noPulseForZero;
  input.warnings = std::move(run.warnings);
  input.events = std::move(run.events);
  return input;
}

}  // namespace

int checkRuns(const Options& options, std::FILE* out, std::FILE* err) {
  const char* kProgram = programName(options.program);
  std::string error;
  const auto settings = runSettings(options.run, error);
  if (!settings) {
    std::fprintf(err, "%s: %s\n", kProgram, error.c_str());
    return 1;
  }
  stimloom::CheckOptions checking;
  checking.tr = options.check.tr;
  checking.highPass = options.check.highPass;
  checking.vifLimit = options.check.vifLimit;
  checking.dummyVolumes = options.run.dummyVolumes;

  // Each run loaded once, a log without pulses from its own zero; one that
  // cannot be loaded stays in its place, so that the images keep theirs.
  std::vector<stimloom::CheckRun> runs;
  std::vector<std::string> typesFound;
  const std::vector<std::string>& inputs = options.run.inputs;
  for (std::size_t r = 0; r < inputs.size(); ++r) {
    std::optional<LoadedRun> run = loadRun(inputs[r], options.run, *settings, true, error);
    stimloom::CheckRun input;
    if (run) {
      addTypesFound(*run, typesFound);
      input = loaded(*run);
    } else {
      input.source = inputs[r];
      input.failure = withoutInput(error, inputs[r]);
    }
    if (r < options.check.bold.size()) {
      const std::string& image = options.check.bold[r];
      if (const auto header = readNiftiHeader(image, error)) {
        input.bold = stimloom::ScanImage{image, header->volumes(), header->repetitionSeconds(), header->timeUnit()};
      } else {
        input.imageFailure = error;
      }
    }
    runs.push_back(std::move(input));
  }
  warnOfEventTypesNotFound(kProgram, options.run, typesFound, err);

  const stimloom::StudyCheck check = stimloom::checkStudy(runs, checking);
  for (const stimloom::Finding& finding : check.findings) {
    std::fprintf(out, "%s\n", stimloom::findingLine(finding).c_str());
  }
  std::fflush(out);
  int status = check.hasErrors() ? 1 : 0;
  if (!options.check.reportPath.empty()) {
    if (!writeFileAtomically(options.check.reportPath, stimloom::checkReportHtml(runs, check, checking), error)) {
      std::fprintf(err, "%s: the report was not written: %s\n", kProgram, error.c_str());
      return 1;
    }
    std::fprintf(err, "%s: checked %s -> %s\n", kProgram, countOf(runs.size(), "run", "runs").c_str(),
                 options.check.reportPath.c_str());
  }
  return status;
}

}  // namespace console
