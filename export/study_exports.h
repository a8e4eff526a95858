#pragma once
// The runs of one study as the files that FSL, AFNI and SPM take their
// conditions from. Pure: every file comes back as a name and its bytes, with
// what it holds counted, and the caller writes them where it wants.
//
// The runs are given in the order of the study. Their conditions are decided
// once for all of them (`StudyConditions`), so that a condition has the same
// place and the same file name in every run, even in a run without its events.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "export/run_events.h"

namespace stimloom {

struct FslModulators;
struct AfniModulators;
struct SpmModulators;

// A file to write: a name without a folder, and its bytes.
struct ExportFile {
  std::string name;  // eg: "run1_congruent.txt"
  std::string bytes;
};

struct StudyConditions {
  std::vector<std::string> names;                        // the union over the runs, UTF-8, in order of first appearance
  std::vector<std::string> fileNames;                    // each name as a file name takes it, unique in the study
  std::unordered_map<std::string, std::size_t> placeOf;  // name -> its place in `names`
};

// The conditions of all the runs, in order of first appearance. The writers
// below take runs from among these, and throw std::out_of_range for a run with
// a condition the study does not know.
StudyConditions studyConditions(const std::vector<RunEvents>& runs);

// Each name with every byte outside A-Z a-z 0-9 . _ - made '_'. Names that
// then collide get "_2", "_3", ... in order; names that differ only in letter
// case collide too, as they would name the same file on Windows and macOS.
//   {"a b", "a_b", "A_B", "x/y"} -> {"a_b", "a_b_2", "A_B_3", "x_y"}
std::vector<std::string> conditionFileNames(const std::vector<std::string>& names);

// `wanted` made file names likewise, numbered past each other and past
// `taken`, names that conditionFileNames gave.
//   ({"a_b"}, {"a b", "x"}) -> {"a_b_2", "x"}
std::vector<std::string> moreFileNames(const std::vector<std::string>& taken, const std::vector<std::string>& wanted);

// What one condition's file holds from one run.
struct ConditionCount {
  std::size_t events = 0;      // written
  std::size_t beforeZero = 0;  // left out: their onset is negative
};

// ---- FSL: one three-column file per run and condition ----------------------

struct FslRunFiles {
  // STEM_COND.txt for every condition of the study, in its order, then
  // STEM_COND_NAME.txt for each of `modulators`' files, then
  // STEM_conditions.tsv, which lists them.
  std::vector<ExportFile> files;
  std::vector<ConditionCount> counts;  // per condition of the study
};

// Each row "onset<TAB>duration<TAB>1" in exact decimal seconds, LF line ends.
// FEAT sets everything before time 0 to 0, so events with a negative onset
// are left out (and counted); a condition with no event left is the single
// row "0<TAB>0<TAB>0", which FEAT reads as an empty EV. The list has the
// header file, condition, events, left_out_before_zero.
//
// With `modulators` (made for the study's runs, of which this is the one at
// `runIndex`), a modulator's file has a row "onset<TAB>duration<TAB>value"
// for each event of the condition from time zero on, the value centred on
// the mean; "0<TAB>0<TAB>0" when this run has no such modulator. The list
// then has a fifth column, modulator ("n/a" for a plain file).
FslRunFiles fslRunFiles(const RunEvents& run, const StudyConditions& study, const std::string& stem,
                        const FslModulators* modulators = nullptr, std::size_t runIndex = 0);

// ---- AFNI: one file per condition, a line per run --------------------------

struct AfniFiles {
  // PREFIX_COND.1D for every condition of the study, in its order, then
  // PREFIX_COND_AM.1D for each condition with modulators, then
  // PREFIX_conditions.tsv, which lists them.
  std::vector<ExportFile> files;
  std::vector<std::vector<ConditionCount>> counts;  // [condition][run]
};

// Line r of each file is run r's events in the married form
// "onset:duration", exact decimal seconds from that run's zero, separated by
// spaces. Events with a negative onset are left out (and counted). A run
// without events is "*"; a run of one event gets a trailing " *", or AFNI
// would read a file of such lines as one column of plain times. The list has
// the header file, condition, events, left_out_before_zero, events_per_run
// (the runs' counts separated by spaces).
//
// With `modulators`, a condition's _AM file holds the same events, each
// "onset*v1,v2,...:duration" with the raw values of its modulators in their
// order (AFNI centres them itself), and the list has a sixth column,
// modulators, their names separated by commas ("n/a" for a plain file).
AfniFiles afniFiles(const std::vector<RunEvents>& runs, const StudyConditions& study, const std::string& prefix,
                    const AfniModulators* modulators = nullptr);

// ---- SPM: one MAT-file per run ---------------------------------------------

struct SpmRunFile {
  ExportFile file;                   // STEM_conditions.mat
  std::vector<std::string> written;  // the conditions it holds, in the study's order
  std::vector<std::string> leftOut;  // the study's conditions without events in this run
  std::size_t events = 0;
  std::size_t beforeZero = 0;  // kept, as SPM models events before the first scan
};

// `names`, `onsets` and `durations` in seconds (the nearest doubles of the
// exact texts). SPM refuses a condition without onsets, so the run's file
// leaves such conditions out. With `modulators` (made for this run), the file
// holds pmod too, an element per condition written. Throws what
// multipleConditionsMatFile throws.
SpmRunFile spmRunFile(const RunEvents& run, const StudyConditions& study, const std::string& stem,
                      const SpmModulators* modulators = nullptr);

}  // namespace stimloom
