// What a log says of each trial beyond its time: Presentation's outcome, the
// Response its Pair Index names, and the scenario's own event properties, as
// the BIDS events file writes them. Values are worked out by hand below.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "export/bids_events.h"
#include "export/run_events.h"
#include "export/study_exports.h"
#include "log/presentation_log.h"

namespace stimloom {
namespace {

constexpr const char* kHeader =
    "Subject\tTrial\tEvent Type\tCode\tEvent(str)\tTemperature(num)\tTime\tTTime\tUncertainty\tDuration\tUncertainty\t"
    "ReqTime\tReqDur\tStim Type\tPair Index";

// Rows of the event table, counted from 1 as Pair Index counts them.
const std::vector<std::string> kTable = {
    "s1\t1\tPulse\t99\t\t\t100000\t0\t1",                                              // 1
    "s1\t1\tPicture\twarm\tcaf\xE9\t46.5\t110000\t0\t1\t20000\t1\t0\t20000\thit\t3",   // 2: paired with 3
    "s1\t1\tResponse\t1\t\t\t114521\t4521\t1",                                         // 3
    "s1\t2\tPicture\thot\t\t48\t130000\t0\t1\t20000\t1\t0\t20000\tmiss\t0",            // 4: no pair
    "s1\t2\tPicture\thot\t  \t48\t150000\t0\t1\t20000\t1\t0\t20000\tincorrect\t99",    // 5: out of range
    "s1\t3\tPicture\twarm\tpain\t47\t170000\t0\t1\t1000\t1\t0\t1000\tfalse_alarm\t2",  // 6: at a Picture
    "s1\t3\tResponse\t2\t\t\t171000\t1000\t1",                                         // 7
};

// The log with `spacing` between its rows: "" or a blank line.
std::string logText(const std::string& spacing, const std::vector<std::string>& table = kTable,
                    const std::string& header = kHeader) {
  std::string text = "Scenario - heat\nLogfile written - 01/02/2026 09:00:00\n\n" + header + "\n\n";
  for (const std::string& row : table) text += row + "\n" + spacing;
  return text + "\n\nEvent Type\tCode\tType\tResponse\n";
}

struct Read {
  PresentationLog log;
  std::vector<std::string> lines;
};

Read read(const std::string& text, std::vector<std::string> types = defaultKeptTypes()) {
  Read read;
  CollectLines lines;
  LogReadOptions options;
  options.trace = false;
  options.trialFacts = true;
  options.keptTypes = std::move(types);
  read.log = readPresentationLogText("heat.log", text, options, lines);
  read.lines = lines.lines;
  return read;
}

RunEvents timed(const PresentationLog& log, RunOptions options = {}) {
  std::string error;
  auto run = runEventsOfLog(log, options, "heat.log", error);
  EXPECT_TRUE(run) << error;
  return run ? *run : RunEvents{};
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

TEST(TrialFacts, OutcomesResponseTimesAndPropertiesBecomeColumns) {
  // Time zero is the pulse at 100000; durations run to the next kept event.
  const std::vector<std::string> expected = {
      "onset\tduration\ttrial_type\tvalue\tevent_type\tresponse_time\tresponse\toutcome\tevent\ttemperature",
      "1\t0.4521\twarm\twarm\tPicture\t0.4521\t1\thit\tcafé\t46.5",
      "1.4521\t1.5479\t1\t1\tResponse\tn/a\tn/a\tn/a\tn/a\tn/a",
      "3\t2\thot\thot\tPicture\tn/a\tn/a\tmiss\tn/a\t48",
      "5\t2\thot\thot\tPicture\tn/a\tn/a\tincorrect\tn/a\t48",
      "7\t0.1\twarm\twarm\tPicture\tn/a\tn/a\tfalse_alarm\tpain\t47",
      "7.1\t0\t2\t2\tResponse\tn/a\tn/a\tn/a\tn/a\tn/a",
  };
  // Blank lines between the rows are not rows: the Pair Indexes point at the same Responses.
  for (const std::string spacing : {"", "\n", " \t\n"}) {
    const Read single = read(logText(spacing));
    const RunEvents run = timed(single.log);
    EXPECT_EQ(linesOf(bidsEventsTsv(run)), expected) << "spacing \"" << spacing << "\"";
    const int step = spacing.empty() ? 1 : 2;
    EXPECT_EQ(single.lines, (std::vector<std::string>{
                                "heat.log:" + std::to_string(6 + 4 * step) +
                                    ": its Pair Index 99 points at no Response row of the event table (7 rows): no "
                                    "response time",
                                "heat.log:" + std::to_string(6 + 5 * step) +
                                    ": its Pair Index 2 points at no Response row of the event table (7 rows): no "
                                    "response time",
                            }));
    ASSERT_EQ(run.events.size(), 6u);
    EXPECT_EQ(run.events[0].outcome, "hit");
    EXPECT_EQ(run.events[0].responseTime, 4521.0);
    EXPECT_EQ(run.events[1].outcome, "");
    EXPECT_FALSE(run.events[3].responseTime);
    ASSERT_NE(run.column("temperature"), nullptr);
    EXPECT_TRUE(run.column("temperature")->numeric);
    EXPECT_EQ(run.column("temperature")->header, "Temperature(num)");
    EXPECT_FALSE(run.column("event")->numeric);
    EXPECT_EQ(run.column("reaction"), nullptr);
  }
}

TEST(TrialFacts, TheSidecarDescribesEveryColumnItWrites) {
  const RunEvents run = timed(read(logText("")).log);
  const nlohmann::json sidecar =
      nlohmann::json::parse(bidsEventsJson(run, ExportSettings{"heat.log", false, {}, {}, ""}));
  EXPECT_EQ(sidecar["response_time"]["Units"], "s");
  EXPECT_EQ(sidecar["outcome"]["Levels"], (nlohmann::json{{"hit", "the expected response in time"},
                                                          {"miss", "no response when one was expected"},
                                                          {"incorrect", "a response other than the expected one"},
                                                          {"false_alarm", "a response when none was expected"}}));
  EXPECT_TRUE(sidecar["response"].contains("Description"));
  EXPECT_EQ(sidecar["event"]["Description"], "Presentation event property Event(str)");
  EXPECT_EQ(sidecar["temperature"]["Description"], "Presentation event property Temperature(num)");
}

TEST(TrialFacts, PropertyNamesAreMadeBidsNamesAndClashesNumbered) {
  const std::string header =
      "Trial\tEvent Type\tCode\tOutcome(str)\tValue\tTemp \xE9(num)\tTemp  (num)\tTemp__\tTime\tTTime\tUncertainty\t"
      "Duration\tEmpty(num)";
  const Read read1 = read(logText("", {"1\tPicture\tA\tgood\t3\t1\t2\t3\t5000\t0\t1\t100"}, header));
  RunOptions options;
  options.zero = TimeZero::kLog;
  const std::vector<std::string> lines = linesOf(bidsEventsTsv(timed(read1.log, options)));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "onset\tduration\ttrial_type\tvalue\tevent_type\toutcome\tvalue_2\ttemp__\ttemp___2\ttemp___3",
                       "0.5\t0.01\tA\tA\tPicture\tgood\t3\t1\t2\t3",
                   }));
}

// A scenario may log its properties on rows of other types; --event-types
// makes those rows, and the next event of duration rule 1 is the next listed one.
TEST(TrialFacts, ListedEventTypesBecomeRowsWithTheirProperties) {
  const std::string header = "Trial\tEvent Type\tCode\tRating(num)\tTime\tTTime\tUncertainty\tDuration";
  const std::vector<std::string> table = {
      "1\tPulse\t99\t\t10000\t0\t1",
      "1\tPicture\tface\t\t20000\t0\t1\t5000",
      "1\tSave Logfile\tsaved\t7\t30000\t0\t1",
      "1\tQuit\t\t\t35000\t0\t1",  // no code: never a row
      "2\tPicture\tface\t\t40000\t0\t1\t5000",
  };
  const Read listed = read(logText("", table, header), {"Save Logfile", "Picture", "Quit"});
  EXPECT_EQ(listed.log.TypesFound, (std::vector<std::string>{"Pulse", "Picture", "Save Logfile", "Quit"}));
  RunOptions options;
  options.eventTypes = {"Save Logfile", "Picture", "Quit"};
  EXPECT_EQ(linesOf(bidsEventsTsv(timed(listed.log, options))),
            (std::vector<std::string>{
                "onset\tduration\ttrial_type\tvalue\tevent_type\trating",
                "1\t1\tface\tface\tPicture\tn/a",
                "2\t1\tsaved\tsaved\tSave Logfile\t7",
                "3\t0.5\tface\tface\tPicture\tn/a",
            }));
  EXPECT_EQ(listed.lines, std::vector<std::string>{"heat.log:9: Quit event not stored: it has no code"});

  // By default only the Pictures are rows, and a column without a value is not written.
  EXPECT_EQ(linesOf(bidsEventsTsv(timed(read(logText("", table, header)).log))),
            (std::vector<std::string>{
                "onset\tduration\ttrial_type\tvalue\tevent_type",
                "1\t2\tface\tface\tPicture",
                "3\t0.5\tface\tface\tPicture",
            }));
}

// Correct and error trials of one stimulus become conditions of their own, for
// BIDS as for FSL, AFNI and SPM.
TEST(TrialFacts, ConditionsCanMatchTheOutcome) {
  std::string error;
  const auto map = ConditionMap::parse(
      "code\tcondition\toutcome\nwarm\twarm_hit\thit\nwarm\twarm_other\t*\nhot\thot\t\n?\tresponse\t\n", "c.tsv",
      error);
  ASSERT_TRUE(map) << error;
  RunOptions options;
  options.conditions = &*map;
  const RunEvents run = timed(read(logText("")).log, options);
  EXPECT_EQ(run.conditions, (std::vector<std::string>{"warm_hit", "response", "hot", "warm_other"}));
  const StudyConditions study = studyConditions({run});
  const FslRunFiles fsl = fslRunFiles(run, study, "heat");
  ASSERT_EQ(fsl.files.size(), 5u);
  EXPECT_EQ(fsl.files[0].name, "heat_warm_hit.txt");
  EXPECT_EQ(std::string(fsl.files[0].bytes.begin(), fsl.files[0].bytes.end()), "1\t0.4521\t1\n");
  EXPECT_EQ(fsl.files[3].name, "heat_warm_other.txt");
  EXPECT_EQ(std::string(fsl.files[3].bytes.begin(), fsl.files[3].bytes.end()), "7\t0.1\t1\n");
}

// Logs as older scenarios write them keep today's five columns.
TEST(TrialFacts, ALogWithoutTrialColumnsKeepsTheFiveColumns) {
  const std::vector<std::string> table = {"s1\t1\tPulse\t99\t100000\t0\t1", "s1\t1\tPicture\tA\t110000\t0\t1\t20000"};
  const std::string header = "Subject\tTrial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration";
  const RunEvents run = timed(read(logText("", table, header)).log);
  EXPECT_TRUE(run.columns.empty());
  EXPECT_EQ(bidsEventsTsv(run), "onset\tduration\ttrial_type\tvalue\tevent_type\n1\t2\tA\tA\tPicture\n");
}

}  // namespace
}  // namespace stimloom
