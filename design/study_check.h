#pragma once
// The check of a study's design before it is analysed: the runs' timing
// against the scans, their events, the responses, and the collinearity of
// each run's regressors. Pure: the runs come in as values, and everything
// found goes out as values, each finding a line "RUN: error|warning|note: ...".

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "design/design_matrix.h"
#include "export/run_events.h"

namespace stimloom {

// What a run's BOLD image says of its scans, read from its header.
struct ScanImage {
  std::string file;                 // as given, eg "sub-01_run-1_bold.nii.gz"
  std::int64_t volumes = 0;         // dim[4]
  std::optional<double> trSeconds;  // pixdim[4] in seconds, when it is a time
  std::string timeUnit;             // as the header gives it, eg "s", "ms", "unset"
};

// One run of the study, as loaded. Its events carry their outcomes and
// response times when the log scores them.
struct CheckRun {
  std::string source;   // the input as given: every finding of the run names it
  std::string failure;  // why the run could not be read, eg "cannot be opened"; empty when it was
  RunEvents events;
  bool timedFromLogZero = false;  // a log without pulses, timed from its own zero
  // The loader's lines, each beginning "SOURCE: " or "SOURCE:LINE: ".
  std::vector<std::string> warnings;
  std::optional<ScanImage> bold;
  std::string imageFailure;  // why its BOLD image could not be read, naming the image
};

struct CheckOptions {
  std::optional<double> tr;  // seconds, --tr
  double highPass = 128;     // seconds
  double vifLimit = 5;
  std::int32_t dummyVolumes = 0;
};

enum class Severity { kError, kWarning, kNote };

struct Finding {
  std::string run;  // the run's input, eg "run1.log"
  Severity severity = Severity::kNote;
  std::string text;
};

// "run1.log: error: ..."
std::string findingLine(const Finding& finding);
const char* severityName(Severity severity);

// One run's design as modelled, or why it was not.
struct RunDesign {
  std::string source;
  std::optional<double> tr;  // seconds
  std::string trFrom;        // eg "--tr", "the header of bold.nii", "the median pulse interval"
  std::optional<std::int64_t> scans;
  std::string scansFrom;
  std::string skipped;  // why there is no design; empty when there is one
  DesignMatrix matrix;
  DesignFigures figures;
};

// Events per condition and run, the conditions in order of first appearance.
struct ConditionCounts {
  std::vector<std::string> conditions;
  std::vector<std::vector<std::size_t>> perRun;  // [condition][run]
};

// The events of one condition with one outcome, over all runs.
struct ResponseRow {
  std::string condition;
  std::string outcome;
  std::size_t events = 0;
  std::size_t responses = 0;  // those that got a response: paired, or scored hit, incorrect or false_alarm
  // Response times in seconds: numpy's default quantiles (linear between the
  // sorted values, at (N - 1)·q), when any came.
  std::optional<double> median;
  std::optional<double> lowerQuartile;
  std::optional<double> upperQuartile;
  double rate() const { return events == 0 ? 0 : static_cast<double>(responses) / static_cast<double>(events); }
};

struct StudyCheck {
  std::vector<std::string> runs;  // the inputs, in order
  std::vector<Finding> findings;  // errors, then warnings, then notes, each in the order found
  ConditionCounts counts;
  std::vector<ResponseRow> responses;  // empty when no log has outcomes
  std::vector<RunDesign> designs;      // one per run

  bool hasErrors() const;
};

StudyCheck checkStudy(const std::vector<CheckRun>& runs, const CheckOptions& options);

// The linear quantile of sorted values, as numpy takes it by default.
double linearQuantile(const std::vector<double>& sorted, double q);

// A figure with 7 significant digits, trailing zeros kept: "5.123457",
// "0.01234500", "inf".
std::string significantText(double value);

}  // namespace stimloom
