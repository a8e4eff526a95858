// A run's events as the analysis tools get them: the time zero, the rows
// against values computed by hand, and the BIDS files' own rules.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "export/bids_events.h"
#include "export/condition_map.h"
#include "export/run_events.h"
#include "log/presentation_log.h"
#include "util/decimal.h"

namespace stimloom {
namespace {

constexpr const char* kHeader = "Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration";

// A log without a Subject column: its header, then one line per event, each
// "type code time [duration]".
PresentationLog logOf(const std::vector<std::string>& events, const std::string& pulseCode = "") {
  std::string text = std::string("Scenario - export\nLogfile written - 01/02/2026 09:00:00\n\n") + kHeader + "\n\n";
  int trial = 0;
  for (const std::string& event : events) text += std::to_string(++trial) + "\t" + event + "\n";
  LogReadOptions options;
  if (!pulseCode.empty()) options.pulseCode = pulseCode;
  DiscardLines nowhere;
  return readPresentationLogText("run1.log", text, options, nowhere);
}

// An event line's columns after Trial: type, code, Time, TTime, Uncertainty, Duration.
std::string event(const std::string& type, const std::string& code, const std::string& time,
                  const std::string& duration = "") {
  return type + "\t" + code + "\t" + time + "\t0\t1" + (duration.empty() ? "" : "\t" + duration);
}

struct Row {
  std::string onset, duration, trialType, value, eventType;
  bool operator==(const Row&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Row& row) {
  return out << row.onset << " " << row.duration << " " << row.trialType << " " << row.value << " " << row.eventType;
}

// The rows as the events file holds them, read back from its text.
std::vector<Row> rowsOf(const std::string& tsv) {
  std::vector<Row> rows;
  std::size_t start = tsv.find('\n') + 1;
  while (start < tsv.size()) {
    const std::size_t end = tsv.find('\n', start);
    std::vector<std::string> fields;
    std::string line = tsv.substr(start, end - start);
    for (std::size_t at = 0;;) {
      const std::size_t tab = line.find('\t', at);
      fields.push_back(line.substr(at, tab - at));
      if (tab == std::string::npos) break;
      at = tab + 1;
    }
    fields.resize(5);
    rows.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
    start = end + 1;
  }
  return rows;
}

RunEvents timed(const PresentationLog& log, RunOptions options = {}) {
  std::string error;
  auto run = runEventsOfLog(log, options, "run1.log", error);
  EXPECT_TRUE(run) << error;
  return run ? *run : RunEvents{};
}

TEST(ExactDecimals, DifferencesAndQuotientsAreTheDecimalValue) {
  const std::vector<std::tuple<double, double, int, std::string>> cases = {
      {160445, 152340, 4, "0.8105"},
      {152340, 160445, 4, "-0.8105"},
      {5, 5, 4, "0"},
      {150000, 0, 4, "15"},
      {1000.3, 0, 4, "0.10003"},
      {1000.3, 500.1, 4, "0.05002"},  // in doubles: 0.050019999999999995
      {150389.33333333, 0, 4, "15.038933333333"},
      {0.1, 0.2, 0, "-0.1"},
      {1e-300, 0, 0, "0.000" + std::string(296, '0') + "1"},
      {21474836470, -21474836470, 4, "4294967.294"},
      {1e20, 1, 4, "9999999999999999.9999"},
      {-20, 0, 1, "-2"},
      {7, 0, -2, "700"},
  };
  for (const auto& [a, b, shift, text] : cases) {
    EXPECT_EQ(exactDifferenceText(a, b, shift), text) << a << " - " << b << " / 10^" << shift;
  }
  EXPECT_EQ(exactDifferenceText(std::nan(""), 0, 4), "n/a");
}

// Time zero: the first scanner pulse after the dummy volumes, never a silent 0.
TEST(TimeZero, IsTheFirstPulseAfterTheDummyVolumes) {
  const PresentationLog log =
      logOf({event("Pulse", "99", "100000"), event("Picture", "a", "110000"), event("Pulse", "99", "120000"),
             event("Pulse", "99", "140000"), event("Picture", "b", "150000")});
  EXPECT_EQ(timed(log).zero, 100000);
  RunOptions skipTwo;
  skipTwo.dummyVolumes = 2;
  const RunEvents run = timed(log, skipTwo);
  EXPECT_EQ(run.zero, 140000);
  EXPECT_EQ(run.onsetText(run.events[0]), "-3") << "an event before zero has a negative onset";
  EXPECT_EQ(run.onsetText(run.events[1]), "1");
  RunOptions ownZero;
  ownZero.zero = TimeZero::kLog;
  EXPECT_EQ(timed(log, ownZero).zero, 0);
}

TEST(TimeZero, ALogWithTooFewPulsesIsRefusedSayingWhatToPass) {
  struct Case {
    std::vector<std::string> events;
    std::int32_t dummyVolumes;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{event("Picture", "a", "100")},
       0,
       "run1.log: the log holds no scanner pulse, so the first volume cannot be found. Pass --pulse-code CODE when "
       "the scanner's triggers are logged under another event type, or --zero log to keep the log's own times"},
      {{}, 0, "run1.log: the log holds no scanner pulse"},
      {{event("Pulse", "99", "100"), event("Pulse", "99", "200")},
       2,
       "run1.log: the log holds 2 scanner pulse(s), but 3 are needed to skip 2 dummy volume(s). Pass a smaller "
       "--dummy-volumes, or --zero log"},
  };
  std::string error;
  RunOptions byCode;
  byCode.pulseCode = "5";
  EXPECT_FALSE(runEventsOfLog(logOf({event("Pulse", "99", "100")}, "5"), byCode, "run1.log", error));
  EXPECT_EQ(error,
            "run1.log: the log holds no event with the pulse code 5, so the first volume cannot be found. "
            "Pass the code the scanner's triggers are logged with, or --zero log to keep the log's own times");
  for (const Case& c : cases) {
    RunOptions options;
    options.dummyVolumes = c.dummyVolumes;
    EXPECT_FALSE(runEventsOfLog(logOf(c.events), options, "run1.log", error));
    EXPECT_EQ(error.substr(0, c.error.size()), c.error);
  }
}

TEST(TimeZero, APulseLoggedTwiceCountsOnceAndAnyEventTypeCanCarryTheCode) {
  const std::vector<std::string> events = {
      event("Pulse", "99", "100000"), event("Port Input", "99", "100000"), event("Picture", "a", "105000"),
      event("Pulse", "99", "120000"), event("Port Input", "99", "120000"), event("Response", "7", "130000"),
  };
  const RunEvents pulses = timed(logOf(events));
  ASSERT_TRUE(pulses.pulseCheck);
  EXPECT_EQ(pulses.pulseCheck->count, 2u);
  const RunEvents byCode = timed(logOf(events, "99"));
  ASSERT_TRUE(byCode.pulseCheck);
  EXPECT_EQ(byCode.pulseCheck->count, 2u) << "Pulse and Port Input at the same time are one pulse";
  EXPECT_EQ(*byCode.pulseCheck->medianInterval, 20000);
  const RunEvents responses = timed(
      logOf({event("Response", "t", "50000"), event("Picture", "a", "60000"), event("Response", "t", "70000")}, "t"));
  EXPECT_EQ(responses.zero, 50000) << "a trigger logged as Response";
}

TEST(PulseCheck, NamesStrayIntervalsAndEventsAfterTheLastVolume) {
  std::vector<std::string> events;
  for (int volume = 0; volume < 10; ++volume) {
    if (volume == 6) continue;  // a missed trigger: one interval of twice the TR
    events.push_back(event("Pulse", "99", std::to_string(100000 + 20000 * volume)));
  }
  events.push_back(event("Picture", "late", "400000"));
  const RunEvents run = timed(logOf(events));
  EXPECT_EQ(pulseWarnings(run, "run1.log"),
            (std::vector<std::string>{
                "run1.log: pulse 7 at 24000 ms comes 4000 ms after the one before, 100% more than the median "
                "interval of 2000 ms: a missed trigger?",
                "run1.log: 1 event(s) begin after the last volume ends at 30000 ms (the last pulse and one median "
                "interval)",
            }));
}

// The rows against hand-computed values.
TEST(Rows, FollowTheDurationRulesExactly) {
  const PresentationLog log = logOf({event("Pulse", "99", "100000"), event("Picture", "fix", "100105", "8000"),
                                     event("Sound", "tone", "108105.3"), event("Pulse", "99", "120000"),
                                     event("Response", "1", "112318"), event("Video", "clip", "120105", "")});
  const std::vector<Row> untilNext = rowsOf(bidsEventsTsv(timed(log)));
  EXPECT_EQ(untilNext, (std::vector<Row>{
                           {"0.0105", "0.80003", "fix", "fix", "Picture"},
                           {"0.81053", "0.42127", "tone", "tone", "Sound"},
                           {"1.2318", "0.7787", "1", "1", "Response"},
                           {"2.0105", "0", "clip", "clip", "Video"},  // the last: its own Duration, none
                       }));
  RunOptions own;
  own.durationRule = DurationRule::kOwnDuration;
  const std::vector<Row> ownDuration = rowsOf(bidsEventsTsv(timed(log, own)));
  EXPECT_EQ(ownDuration[0].duration, "0.8");
  EXPECT_EQ(ownDuration[1].duration, "0") << "a missing Duration counts as 0";
}

TEST(Rows, ANegativeDurationBecomesZeroWithTheLineNamedAndRowsAreSortedStably) {
  const PresentationLog log = logOf({event("Pulse", "99", "0"), event("Picture", "b", "20000"),
                                     event("Picture", "a", "10000"), event("Picture", "c", "10000", "-50")});
  const RunEvents run = timed(log);
  EXPECT_EQ(run.warnings, (std::vector<std::string>{"run1.log:7: a negative duration (-1 s) becomes 0",
                                                    "run1.log:9: a negative duration (-0.005 s) becomes 0"}));
  const std::vector<Row> rows = rowsOf(bidsEventsTsv(run));
  EXPECT_EQ(rows, (std::vector<Row>{
                      {"1", "0", "a", "a", "Picture"},  // the next event starts with it
                      {"1", "0", "c", "c", "Picture"},  // the same onset: the log's order; the last, -5 ms
                      {"2", "0", "b", "b", "Picture"},  // the next event starts 1 s before it
                  }));
  RunOptions own;
  own.durationRule = DurationRule::kOwnDuration;
  EXPECT_EQ(timed(log, own).warnings,
            (std::vector<std::string>{"run1.log:9: a negative duration (-0.005 s) becomes 0"}));
}

TEST(Rows, TheConditionMapMergesRenamesAndLeavesOutWhileDurationsStillCountEveryEvent) {
  std::string error;
  const auto map = ConditionMap::parse("code\tcondition\ncongruent*\tcongruent\n?\tresponse\n", "c.tsv", error);
  ASSERT_TRUE(map) << error;
  RunOptions options;
  options.conditions = &*map;
  options.zero = TimeZero::kLog;
  const RunEvents run = timed(logOf({event("Picture", "congruent left", "10000"), event("Picture", "fix", "20000"),
                                     event("Response", "2", "25000"), event("Picture", "congruent right", "30000")}),
                              options);
  EXPECT_EQ(run.conditions, (std::vector<std::string>{"congruent", "response"}));
  EXPECT_EQ(run.leftOutByConditions, 1u);
  EXPECT_EQ(rowsOf(bidsEventsTsv(run)), (std::vector<Row>{
                                            {"1", "1", "congruent", "congruent left", "Picture"},  // until fix
                                            {"2.5", "0.5", "response", "2", "Response"},
                                            {"3", "0", "congruent", "congruent right", "Picture"},
                                        }));
}

TEST(Rows, CodesThatAreNotUtf8AreReadAsWindows1252) {
  RunOptions options;
  options.zero = TimeZero::kLog;
  const RunEvents run = timed(logOf({event("Picture", "caf\xE9", "10000"), event("Picture", "\xE2\x82\xAC", "20000"),
                                     event("Picture", "\x80", "30000")}),
                              options);
  // The euro sign in UTF-8 and in Windows-1252 is one condition.
  EXPECT_EQ(run.conditions, (std::vector<std::string>{"caf\xC3\xA9", "\xE2\x82\xAC"}));
  EXPECT_EQ(run.codes, (std::vector<std::string>{"caf\xC3\xA9", "\xE2\x82\xAC", "\xE2\x82\xAC"}));
}

TEST(Rows, AProtocolGivesOneRowPerIntervalFromItsOwnZero) {
  Protocol protocol;
  protocol.conditions = {{"A", 1, {{1000, 2500}, {5000, 5000}}}, {"B", 2, {{3000, 3200}}}, {"empty", 3, {}}};
  std::string error;
  const auto run = runEventsOfProtocol(protocol, {}, "run1.prt", error);
  ASSERT_TRUE(run) << error;
  EXPECT_EQ(rowsOf(bidsEventsTsv(*run)), (std::vector<Row>{
                                             {"1", "1.5", "A", "n/a", "n/a"},
                                             {"3", "0.2", "B", "n/a", "n/a"},
                                             {"5", "0", "A", "n/a", "n/a"},
                                         }));
  protocol.timeResolution = TimeResolution::kVolumes;
  EXPECT_FALSE(runEventsOfProtocol(protocol, {}, "run1.prt", error));
  EXPECT_EQ(error, "run1.prt: the protocol is timed in volumes: only a protocol in milliseconds has times to export");
}

// What the events file must be, by the BIDS schema's rules for events.
void expectBidsEventsRules(const std::string& tsv) {
  ASSERT_FALSE(tsv.empty());
  EXPECT_EQ(tsv.back(), '\n');
  EXPECT_EQ(tsv.find('\r'), std::string::npos) << "LF line ends";
  EXPECT_EQ(tsv.find("\n\n"), std::string::npos) << "no empty lines";
  EXPECT_EQ(tsv.substr(0, tsv.find('\n')), "onset\tduration\ttrial_type\tvalue\tevent_type");
  double previous = -1e300;
  for (std::size_t start = tsv.find('\n') + 1; start < tsv.size();) {
    const std::size_t end = tsv.find('\n', start);
    const std::string line = tsv.substr(start, end - start);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 4) << line;
    const std::string onset = line.substr(0, line.find('\t'));
    const std::string duration = line.substr(onset.size() + 1, line.find('\t', onset.size() + 1) - onset.size() - 1);
    for (const std::string& number : {onset, duration}) {
      EXPECT_EQ(number.find_first_not_of("-0123456789."), std::string::npos) << number;
      EXPECT_EQ(number.find('e'), std::string::npos);
    }
    EXPECT_GE(decimalTextValue(duration), 0) << line;
    EXPECT_GE(decimalTextValue(onset), previous) << "onsets are sorted";
    previous = decimalTextValue(onset);
    start = end + 1;
  }
}

TEST(BidsFiles, FollowTheSchemasRulesForEvents) {
  const PresentationLog log = logOf({event("Pulse", "99", "100000"), event("Picture", "with space", "90000", "100"),
                                     event("Picture", "b", "110000.5", "-3"), event("Response", "1", "105000")});
  for (const DurationRule rule : {DurationRule::kUntilNextEvent, DurationRule::kOwnDuration}) {
    RunOptions options;
    options.durationRule = rule;
    expectBidsEventsRules(bidsEventsTsv(timed(log, options)));
  }
  const std::string headerOnly = bidsEventsTsv(timed(logOf({event("Pulse", "99", "100")})));
  EXPECT_EQ(headerOnly, "onset\tduration\ttrial_type\tvalue\tevent_type\n") << "valid BIDS: no events";
}

TEST(ConditionMaps, AMalformedFileIsRefusedNamingItsLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "c.tsv:1: the first line must be the header \"code<TAB>condition\" or \"code<TAB>condition<TAB>outcome\""},
      {"code,condition\na,b\n",
       "c.tsv:1: the first line must be the header \"code<TAB>condition\" or \"code<TAB>condition<TAB>outcome\""},
      {"code\tcondition\na\tb\nc d\n", "c.tsv:3: expected a code and a condition separated by one tab"},
      {"code\tcondition\na\tb\tc\n", "c.tsv:2: expected a code and a condition separated by one tab"},
      {"code\tcondition\n\tb\n", "c.tsv:2: the code is empty"},
      {"code\tcondition\r\na\t\r\n", "c.tsv:2: the condition is empty"},
      {"code\tcondition\n", "c.tsv: it maps no code: after the header \"code<TAB>condition\" comes no row"},
      {"code\tcondition\toutcome\na\tb\thit\nc\td\n",
       "c.tsv:3: expected a code, a condition and an outcome (which may be empty) separated by tabs"},
      {"code\tcondition\toutcome\na\tb\thit\tmiss\n",
       "c.tsv:2: expected a code, a condition and an outcome (which may be empty) separated by tabs"},
      {"code\tcondition\toutcome\n\tb\thit\n", "c.tsv:2: the code is empty"},
      {"code\tcondition\toutcome\n",
       "c.tsv: it maps no code: after the header \"code<TAB>condition<TAB>outcome\" comes no row"},
  };
  for (const auto& [text, message] : cases) {
    std::string error;
    EXPECT_FALSE(ConditionMap::parse(text, "c.tsv", error)) << text;
    EXPECT_EQ(error, message);
  }
  std::string error;
  EXPECT_TRUE(
      ConditionMap::parse("\xEF\xBB\xBF"
                          "code\tcondition\r\n\r\nx\ty\r\n",
                          "c.tsv", error))
      << error;
}

TEST(ConditionMaps, AThirdColumnMatchesTheOutcomeAsWell) {
  std::string error;
  const auto map = ConditionMap::parse(
      "code\tcondition\toutcome\ntarget*\tcorrect\thit\ntarget*\terror\t*\n1\tpress\t\n", "c.tsv", error);
  ASSERT_TRUE(map) << error;
  EXPECT_TRUE(map->matchesOutcomes());
  const std::vector<std::tuple<std::string, std::string, const char*>> cases = {
      {"target left", "hit", "correct"}, {"target left", "miss", "error"},
      {"target left", "", "error"},      {"1", "", "press"},
      {"1", "other", "press"},           {"cue", "hit", nullptr},
  };
  for (const auto& [code, outcome, condition] : cases) {
    const std::string* found = map->conditionOf(code, outcome);
    if (condition == nullptr) {
      EXPECT_EQ(found, nullptr) << code << " / " << outcome;
    } else {
      ASSERT_NE(found, nullptr) << code << " / " << outcome;
      EXPECT_EQ(*found, condition);
    }
  }
  EXPECT_EQ(map->patternsOf("correct"), "target* (outcome hit)");
  const auto twoColumns = ConditionMap::parse("code\tcondition\ntarget*\tcorrect\n", "c.tsv", error);
  ASSERT_TRUE(twoColumns);
  EXPECT_FALSE(twoColumns->matchesOutcomes());
  EXPECT_EQ(*twoColumns->conditionOf("target left", "miss"), "correct");
}

TEST(ConditionMaps, PatternsMatchWholeCodes) {
  const std::vector<std::tuple<std::string, std::string, bool>> cases = {
      {"congruent*", "congruent left", true},
      {"congruent*", "incongruent", false},
      {"*left", "congruent left", true},
      {"?", "1", true},
      {"?", "12", false},
      {"?", "\xC3\xA9", true},
      {"a*b*c", "axxbyyc", true},
      {"a*b*c", "axxbyy", false},
      {"", "", true},
      {"*", "", true},
      {"exact", "Exact", false},
  };
  for (const auto& [pattern, code, matches] : cases) {
    EXPECT_EQ(matchesPattern(pattern, code), matches) << pattern << " ~ " << code;
  }
}

}  // namespace
}  // namespace stimloom
