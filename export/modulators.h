#pragma once
// Parametric modulators: a numeric column of the events (the response time,
// a property such as a temperature) that a condition's events are weighed by,
// as FSL, AFNI and SPM each take it. Pure.
//
// A modulator's values are taken over a scope: a run's condition for FSL and
// SPM, a condition over all runs for AFNI, and only the events the tool's
// file holds (FSL and AFNI leave out those before zero, SPM keeps them). An
// event without a value (n/a) takes the mean of the scope's known values. A
// scope without a known value, or whose values are all equal (centred, a
// column of zeros), has no modulator. Each of these is said in a warning.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "export/run_events.h"
#include "export/study_exports.h"
#include "util/decimal.h"

namespace stimloom {

// The decimals a modulator's mean is rounded to.
inline constexpr int kModulatorMeanPlaces = 6;

// One modulator over the events of one scope, in the order of those events.
struct ModulatorValues {
  std::vector<ExactDecimal> values;  // an event without a value holds the mean
  ExactDecimal mean;                 // of the known values, rounded to at most 6 decimals
};

// The numeric columns the runs' events carry, in order of first appearance:
// the names a modulator may have.
std::vector<std::string> modulatorNames(const std::vector<RunEvents>& runs);

// Why `names` cannot be the modulators of these runs, or empty when they can:
// a name given twice, a text column, or a name that no event carries. The
// message lists the names that can be asked for.
std::string modulatorRefusal(const std::vector<RunEvents>& runs, const std::vector<std::string>& names);

// ---- FSL: a three-column file per run, condition and modulator -------------

struct FslModulatorFile {
  std::size_t condition = 0;  // its place in the study
  std::size_t modulator = 0;  // its place in the names asked for
  std::string fileName;       // without stem and extension, eg "face_response_time"; unique in the study
};

struct FslModulators {
  std::vector<std::string> names;       // as asked for
  std::vector<FslModulatorFile> files;  // each condition and modulator that some run has, in the study's order
  // [run][file]: the values over the run's events of the condition from time
  // zero on; nothing when the run has none (it gets "0 0 0").
  std::vector<std::vector<std::optional<ModulatorValues>>> values;
  std::vector<std::string> warnings;
};

// `sources` name the runs in warnings, eg "run1.log".
FslModulators fslModulators(const std::vector<RunEvents>& runs, const std::vector<std::string>& sources,
                            const StudyConditions& study, const std::vector<std::string>& names);

// ---- AFNI: an amplitude-married file per condition -------------------------

struct AfniModulators {
  std::vector<std::string> names;  // as asked for
  // Per condition of the study: the modulators it has, as places in `names`,
  // and their values over its events from time zero on in all the runs, run
  // after run.
  std::vector<std::vector<std::size_t>> carried;
  std::vector<std::vector<ModulatorValues>> values;
  std::vector<std::string> fileNames;  // per condition: eg "face_AM", unique in the study; empty without modulators
  std::vector<std::string> warnings;
};

AfniModulators afniModulators(const std::vector<RunEvents>& runs, const std::vector<std::string>& sources,
                              const StudyConditions& study, const std::vector<std::string>& names);

// ---- SPM: pmod in each run's file ------------------------------------------

struct SpmModulators {
  std::vector<std::string> names;  // as asked for
  // Per condition of the run: the modulators it has, as places in `names`,
  // and their values over all its events.
  std::vector<std::vector<std::size_t>> carried;
  std::vector<std::vector<ModulatorValues>> values;
  std::vector<std::string> warnings;
};

SpmModulators spmModulators(const RunEvents& run, const std::string& source, const std::vector<std::string>& names);

}  // namespace stimloom
