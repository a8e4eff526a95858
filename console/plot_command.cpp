#include "console/plot_command.h"

#include <string>

#include "console/file_output.h"
#include "console/run_inputs.h"
#include "plot/run_timeline.h"
#include "util/file_names.h"

namespace console {
namespace {

constexpr const char* kNoPulseNote =
    "No scanner pulse in this log: times are from the log's own zero, not from the first volume";

bool drawRun(const LoadedRun& run, const RunChoices& choices, std::FILE* out, std::string& error) {
  const std::string folder = outputFolder(run.input, choices);
  const auto fail = [&] {
    error = run.input + ": " + error;
    return false;
  };
  if (!prepareFolder(folder, error)) return fail();
  const std::string path = joinPath(folder, run.stem + ".svg");
  const std::string fileName = stimloom::fileNameFromPath(run.input, false, false).value_or(run.input);
  const stimloom::Timeline timeline =
      stimloom::runTimeline(run.events, fileName, run.noPulseForZero ? kNoPulseNote : "");
  if (!writeFileAtomically(path, stimloom::timelineSvg(timeline), error)) return fail();
  std::string summary = "plotted " + run.input + ": " + countOf(run.events.events.size(), "event", "events") + " in " +
                        countOf(run.events.conditions.size(), "condition", "conditions");
  if (run.noPulseForZero) summary += ", from the log's own zero (it has no scanner pulse)";
  std::fprintf(out, "%s -> %s\n", summary.c_str(), path.c_str());
  return true;
}

}  // namespace

int plotRuns(const Options& options, std::FILE* out, std::FILE* err) {
  std::string error;
  const char* program = programName(options.program);
  const auto settings = runSettings(options.run, error);
  if (!settings) {
    std::fprintf(err, "%s: %s\n", program, error.c_str());
    return 1;
  }
  // The picture is drawn from the log's own zero when it has no pulse.
  return forEachRun(program, options.run, *settings, true, "plotted", err,
                    [&](LoadedRun& run, std::string& failure) { return drawRun(run, options.run, out, failure); });
}

}  // namespace console
