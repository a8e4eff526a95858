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

// The two shapes the benchmarks measure.
enum class LogShape {
  // As described above: Subject column, CRLF, about 70 bytes an event.
  kSubjectCrlf,
  // No Subject column, LF, about 60 bytes an event: 15% Pulse, 20% Response
  // without Duration, 10% Sound, the rest Picture, codes with spaces, and a
  // second table at the end.
  kPlainLf,
};

std::string generatePresentationLog(std::size_t events, std::uint64_t seed, LogShape shape = LogShape::kSubjectCrlf);

}  // namespace stimloom::bench
