#include "bench/log_generator.h"

#include <array>
#include <string_view>

namespace stimloom::bench {
namespace {

// A small generator with a fixed algorithm, so files do not depend on the
// standard library's distributions.
class SplitMix {
 public:
  explicit SplitMix(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint64_t below(std::uint64_t bound) { return next() % bound; }

 private:
  std::uint64_t state_;
};

constexpr std::array<std::string_view, 10> kCodes = {
    "fixation", "congruent left", "congruent right", "incongruent left", "incongruent right", "Errors incongruent: 27",
    "target",   "Target",         "fb_correct",      "fb_wrong"};

void appendColumn(std::string& line, std::string_view text) {
  line += '\t';
  line += text;
}

}  // namespace

std::string generatePresentationLog(std::size_t events, std::uint64_t seed, LogShape shape) {
  const bool plain = shape == LogShape::kPlainLf;
  const std::string_view end = plain ? "\n" : "\r\n";
  SplitMix random(seed);
  std::string log;
  log.reserve(events * 72 + 512);
  log.append("Scenario - generated_task").append(end);
  log.append("Logfile written - 01/02/2026 09:00:00").append(end).append(end);
  if (!plain) log += "Subject\t";
  log +=
      "Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\tUncertainty\tReqTime\tReqDur\tStim Type\tPair "
      "Index";
  log.append(end).append(end);

  std::uint64_t time = 50000 + random.below(10000);  // tenths of a millisecond
  std::uint64_t trial = 1;
  const std::uint64_t start = time;
  // Pulse and Response, in percent; then the stimuli.
  const std::uint64_t pulses = 15;
  const std::uint64_t responses = pulses + 20;
  const std::uint64_t sounds = responses + 10;  // the plain shape's; the other has Sound and Video lines later
  for (std::size_t i = 0; i < events; ++i) {
    const std::uint64_t kind = random.below(100);
    std::string line = plain ? std::to_string(trial) : "subj07\t" + std::to_string(trial);
    const std::string timeText = std::to_string(time);
    const std::string ttime = std::to_string(time - start);
    if (kind < pulses) {  // scanner pulse: no duration columns at all
      appendColumn(line, "Pulse");
      appendColumn(line, "99");
      appendColumn(line, timeText);
      appendColumn(line, ttime);
      appendColumn(line, "1");
    } else if (kind < responses) {  // response: ends after Uncertainty
      appendColumn(line, "Response");
      appendColumn(line, std::to_string(1 + random.below(4)));
      appendColumn(line, timeText);
      appendColumn(line, ttime);
      appendColumn(line, "1");
    } else {
      const char* type = plain ? (kind < sounds ? "Sound" : "Picture")
                               : (kind < 85   ? "Picture"
                                  : kind < 95 ? "Sound"
                                              : "Video");
      appendColumn(line, type);
      appendColumn(line, kCodes[random.below(kCodes.size())]);
      appendColumn(line, timeText);
      appendColumn(line, ttime);
      appendColumn(line, "1");
      const bool emptyDuration = random.below(50) == 0;
      appendColumn(line, emptyDuration ? "" : std::to_string(1000 + random.below(20000)));
      appendColumn(line, "2");
      appendColumn(line, "0");
      appendColumn(line, "20000");
      appendColumn(line, random.below(4) == 0 ? "miss" : "hit");
      appendColumn(line, "0");
      ++trial;
    }
    line += end;
    log += line;
    time += 100 + random.below(plain ? 4000 : 30000);
  }
  log.append(end).append(end);
  log +=
      "Event Type\tCode\tType\tResponse\tRT\tRT Uncertainty\tTime\tUncertainty\tDuration\tUncertainty\tReqTime\tReqDur";
  log.append(end).append(end);
  log.append("Picture\tfixation\tother\t\t\t\t50000\t1\t19980\t2\t0\t20000").append(end);
  return log;
}

}  // namespace stimloom::bench
