#include "standin/plot_command.h"

#include <string>

#include "plot/run_timeline.h"
#include "standin/file_output.h"
#include "standin/run_inputs.h"
#include "util/file_names.h"

namespace standin {
namespace {

constexpr const char* kProgram = "stimloom-host";
constexpr const char* kNoPulseNote =
    "No scanner pulse in this log: times are from the log's own zero, not from the first volume";

bool drawRun(const LoadedRun& run, const RunChoices& choices, std::FILE* out, std::string& error) {
  const std::string folder = outputFolder(run.input, choices);
  if (!prepareFolder(folder, error)) return false;
  const std::string path = joinPath(folder, run.stem + ".svg");
  const std::string fileName = stimloom::fileNameFromPath(run.input, false, false).value_or(run.input);
  const stimloom::Timeline timeline =
      stimloom::runTimeline(run.events, fileName, run.noPulseForZero ? kNoPulseNote : "");
  if (!writeFileAtomically(path, stimloom::timelineSvg(timeline), error)) return false;
  std::string summary = "plotted " + run.input + ": " + countOf(run.events.events.size(), "event", "events") + " in " +
                        countOf(run.events.conditions.size(), "condition", "conditions");
  if (run.noPulseForZero) summary += ", from the log's own zero (it has no scanner pulse)";
  std::fprintf(out, "%s -> %s\n", summary.c_str(), path.c_str());
  return true;
}

}  // namespace

int plotRuns(const Options& options, std::FILE* out, std::FILE* err) {
  std::string error;
  const auto settings = runSettings(options.run, error);
  if (!settings) {
    std::fprintf(err, "%s: %s\n", kProgram, error.c_str());
    return 1;
  }
  int status = 0;
  for (const std::string& input : options.run.inputs) {
    error.clear();
    // The picture is drawn from the log's own zero when it has no pulse.
    const auto run = loadRun(input, options.run, *settings, true, error);
    if (run) {
      for (const std::string& warning : run->warnings)
        std::fprintf(err, "%s: warning: %s\n", kProgram, warning.c_str());
    }
    if (!run || !drawRun(*run, options.run, out, error)) {
      std::fprintf(err, "%s: not plotted: %s\n", kProgram, error.c_str());
      status = 1;
    }
  }
  return status;
}

}  // namespace standin
