#pragma once
// Runs of a study made from a few event lines, for the tests of the writers
// that take a study's runs.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/run_events.h"
#include "log/presentation_log.h"

namespace stimloom::testing {

// A run from a log without a Subject column, each event "type code time
// [duration]" in the log's tenths of a millisecond, timed from its first pulse.
inline RunEvents runOf(const std::vector<std::string>& events) {
  std::string text =
      "Scenario - study\nLogfile written - 01/02/2026 09:00:00\n\n"
      "Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\n\n";
  int trial = 0;
  for (const std::string& event : events) text += std::to_string(++trial) + "\t" + event + "\n";
  DiscardLines nowhere;
  const PresentationLog log = readPresentationLogText("run.log", text, {}, nowhere);
  std::string error;
  auto run = runEventsOfLog(log, {}, "run.log", error);
  EXPECT_TRUE(run) << error;
  return run ? *run : RunEvents{};
}

inline std::string picture(const std::string& code, const std::string& time, const std::string& duration = "0") {
  return "Picture\t" + code + "\t" + time + "\t0\t1\t" + duration;
}
inline std::string pulse(const std::string& time) { return "Pulse\t99\t" + time + "\t0\t1"; }

}  // namespace stimloom::testing
