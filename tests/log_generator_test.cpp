// The benchmark's log generator: the same file for the same seed, and logs
// that convert with every Picture, Sound, Video and Response event they hold.

#include "bench/log_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "plugin/menu.h"
#include "standin/scripted_runs.h"
#include "tests/standin_fixture.h"

namespace stimloom::testing {
namespace {

// Event lines of the kept types, counted on the text of the event table,
// which ends with two empty lines: with the Subject column first, the type
// follows a tab.
int keptEventLines(std::string_view log) {
  log = log.substr(0, log.find("\r\n\r\n\r\n"));
  int count = 0;
  for (const std::string_view type : {"\tPicture\t", "\tSound\t", "\tVideo\t", "\tResponse\t"}) {
    for (std::size_t at = log.find(type); at != std::string_view::npos; at = log.find(type, at + 1)) ++count;
  }
  return count;
}

TEST(LogGenerator, TheSameSeedGivesTheSameLog) {
  const std::string log = bench::generatePresentationLog(2000, 7);
  EXPECT_EQ(bench::generatePresentationLog(2000, 7), log);
  EXPECT_NE(bench::generatePresentationLog(2000, 8), log);
  EXPECT_EQ(log.rfind("Scenario - generated_task\r\n", 0), 0u);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 5 + 2000 + 2 + 3);
  EXPECT_NE(log.find("\tPulse\t"), std::string::npos);
  EXPECT_NE(log.find("\tErrors incongruent: 27\t"), std::string::npos) << "a code with spaces";
}

using LogGeneratorConversion = StandinTest;

TEST_F(LogGeneratorConversion, EveryKeptEventBecomesAnInterval) {
  TempDir dir;
  for (const std::size_t events : {std::size_t{1}, std::size_t{500}, std::size_t{5000}}) {
    standin::resetHost();
    const std::string log = bench::generatePresentationLog(events, 20261208 + events);
    const std::string path = dir.write("generated.log", log);
    host().recordCalls = false;
    answer(standin::conversionAnswers(path, true, 2000, 2));
    ASSERT_TRUE(runMenu());
    const int kept = keptEventLines(log);
    const auto summary = std::find_if(logPane().begin(), logPane().end(),
                                      [](const std::string& line) { return line.rfind("Number of trials: ", 0) == 0; });
    ASSERT_NE(summary, logPane().end());
    EXPECT_TRUE(summary->ends_with(", Picture/Sound/Video/Response events: " + std::to_string(kept))) << *summary;
    std::size_t intervals = 0;
    for (const auto& condition : host().protocol.conditions) intervals += condition.starts.size();
    EXPECT_EQ(intervals, static_cast<std::size_t>(kept)) << events << " events";
    EXPECT_EQ(host().savedPaths, std::vector<std::string>{dir.file("generated.prt")});
  }
}

}  // namespace
}  // namespace stimloom::testing
