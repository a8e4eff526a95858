#pragma once
// Writes realistic Presentation logs of any size for benchmarks and fuzzing
// seeds: the five header lines, a tab-separated event table with the Subject
// column (Pulse, Picture, Sound, Video and Response lines, codes with and
// without spaces, Pulse and Response lines ending after Uncertainty, some
// empty Durations), two empty lines and a second table. The same seed gives
// the same file on every platform.

#include <cstdint>
#include <string>

namespace stimloom::bench {

std::string generatePresentationLog(std::size_t events, std::uint64_t seed);

}  // namespace stimloom::bench
