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

// The log pane and the protocol of a generated 100,000-event log, byte for
// byte as the conversion wrote them before it was made faster: checksums of
// the text stimloom-host --log-pane writes and of run1.prt, taken then.
std::uint64_t fnv1a(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return hash;
}

TEST_F(LogGeneratorConversion, AHundredThousandEventsGiveTheSamePaneAndProtocolAsBefore) {
  keepFilesInMemory();
  host().recordCalls = false;
  host().memoryFiles->emplace("run1.log", bench::generatePresentationLog(100000, 20261208));
  answer(standin::conversionAnswers("run1.log", true));
  ASSERT_TRUE(runMenu());
  std::string pane;
  for (const std::string& line : logPane()) pane.append(line).append("\n");
  EXPECT_EQ(pane.size(), 14921896u);
  EXPECT_EQ(fnv1a(pane), 0x5dca891ec80f204bull);
  const std::string& protocol = host().memoryFiles->at("run1.prt");
  EXPECT_EQ(protocol.size(), 1575243u);
  EXPECT_EQ(fnv1a(protocol), 0x638632d58fad0d3eull);
}

TEST(LogGenerator, ThePlainShapeHasNoSubjectColumnAndLfLineEnds) {
  const std::string log = bench::generatePresentationLog(10000, 3, bench::LogShape::kPlainLf);
  EXPECT_EQ(log.find('\r'), std::string::npos);
  EXPECT_EQ(log.find("subj07"), std::string::npos);
  const std::size_t pulse = log.find("\tPulse\t99\t");
  ASSERT_NE(pulse, std::string::npos);
  const std::size_t lineStart = log.rfind('\n', pulse) + 1;
  EXPECT_EQ(log.substr(lineStart, pulse - lineStart).find_first_not_of("0123456789"), std::string::npos)
      << "the line starts with its Trial";
  EXPECT_NE(log.find("\tcongruent left\t"), std::string::npos);
  const double bytesPerEvent = static_cast<double>(log.size()) / 10000;
  EXPECT_GT(bytesPerEvent, 50);
  EXPECT_LT(bytesPerEvent, 70);
  std::size_t sounds = 0;
  for (std::size_t at = log.find("\tSound\t"); at != std::string::npos; at = log.find("\tSound\t", at + 1)) ++sounds;
  EXPECT_GT(sounds, 800u);  // about 10%
  EXPECT_LT(sounds, 1200u);
  EXPECT_EQ(log.find("\tVideo\t"), std::string::npos);
}

}  // namespace
}  // namespace stimloom::testing
