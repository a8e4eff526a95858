#pragma once
// A run's conditions as the MAT-file an analysis takes its "multiple
// conditions" from. Pure: the caller writes the bytes where it wants them.

#include <span>
#include <string>
#include <vector>

namespace stimloom {

// A parametric modulator of one condition: its name (UTF-8 text) and one
// value per onset, in the order of the onsets.
struct MatModulator {
  std::string name;
  std::vector<double> values;
};

// One condition of a run: its name (UTF-8 text) and its events, in seconds.
struct MatCondition {
  std::string name;
  std::vector<double> onsets;
  std::vector<double> durations;  // as many as onsets
};

// Each condition's modulators, in the order of the conditions.
using MatModulators = std::vector<std::vector<MatModulator>>;

// The bytes of a MAT-file, Level 5, uncompressed, little-endian, holding three
// variables: `names` (1×n cell of char row vectors), `onsets` and `durations`
// (1×n cells of n_i×1 double column vectors), n = conditions.size().
//
// Given `modulators`, a fourth, `pmod`: a 1×n struct array with the fields
// `name`, `param` and `poly`. For a condition with m modulators, element i
// holds a 1×m cell of their names, a 1×m cell of n_i×1 double columns of
// their values, and a 1×m cell of the double 1 (first order); for one without,
// all three are 0×0 cells.
//
// Names are stored as UTF-16 code units; each invalid UTF-8 sequence (its
// longest valid start, or one byte) becomes U+FFFD. An empty name is a 1×0
// char array, a condition without events a 0×1 double array. The same input
// always gives the same bytes.
//
// Throws std::invalid_argument when a condition has not as many durations, or
// values of a modulator, as onsets, or `modulators` not a list per condition, and std::length_error when a variable
// would exceed the 4 GiB that the format's 32-bit byte counts can describe (or
// the file would not fit a std::string); nothing is returned then, never a
// damaged file.
std::string multipleConditionsMatFile(std::span<const MatCondition> conditions,
                                      const MatModulators* modulators = nullptr);

}  // namespace stimloom
