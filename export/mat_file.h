#pragma once
// A run's conditions as the MAT-file an analysis takes its "multiple
// conditions" from. Pure: the caller writes the bytes where it wants them.

#include <span>
#include <string>
#include <vector>

namespace stimloom {

// One condition of a run: its name (UTF-8 text) and its events, in seconds.
struct MatCondition {
  std::string name;
  std::vector<double> onsets;
  std::vector<double> durations;  // as many as onsets
};

// The bytes of a MAT-file, Level 5, uncompressed, little-endian, holding three
// variables: `names` (1×n cell of char row vectors), `onsets` and `durations`
// (1×n cells of n_i×1 double column vectors), n = conditions.size().
//
// Names are stored as UTF-16 code units; each invalid UTF-8 sequence (its
// longest valid start, or one byte) becomes U+FFFD. An empty name is a 1×0
// char array, a condition without events a 0×1 double array. The same input
// always gives the same bytes.
//
// Throws std::invalid_argument when a condition has not as many durations as
// onsets, and std::length_error when a variable would exceed the 4 GiB that
// the format's 32-bit byte counts can describe (or the file would not fit a
// std::string); nothing is returned then, never a damaged file.
std::string multipleConditionsMatFile(std::span<const MatCondition> conditions);

}  // namespace stimloom
