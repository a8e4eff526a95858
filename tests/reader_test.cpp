#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "log/presentation_log.h"
#include "tests/standin_fixture.h"

namespace stimloom::testing {
namespace {

constexpr const char* kSubjectHeader =
    "Subject\tTrial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\tUncertainty\tReqTime\tReqDur\tStim "
    "Type\tPair Index";
constexpr const char* kPlainHeader = "Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration";

// A log as Presentation writes it: the header on lines 0 to 4, the events from
// line 5, two empty lines ending the table, then the second table.
std::string presentationLog(const std::vector<std::string>& events, const char* header = kSubjectHeader,
                            const std::string& end = "\n") {
  std::string text =
      "Scenario - flanker" + end + "Logfile written - 03/14/2026 10:22:31" + end + end + header + end + end;
  for (const std::string& event : events) text += event + end;
  text += end + end + "Event Type\tCode\tType\tResponse" + end + end;
  text += "Picture\tfixation\tother\t\t\t\t152445\t1\t19980" + end;
  // Events of either layout after the table's end, which are never read.
  text += "sub01\t9\tPicture\tafter the table\t152445\t1\t1\t19980" + end;
  text += "9\tPicture\tafter the table\t152445\t1\t1\t19980" + end;
  return text;
}

// "%15.0lf" of a duration in milliseconds.
std::string duration(const char* milliseconds) {
  const std::string digits = milliseconds;
  return std::string(15 - digits.size(), ' ') + digits;
}

struct Event {
  std::string code;
  double time, duration;
  std::int64_t line;
  bool operator==(const Event&) const = default;
};
std::vector<Event> eventsOf(const PresentationLog& log) {
  std::vector<Event> events;
  for (const LogEvent& e : log.Events) events.push_back({std::string(log.code(e)), e.Time, e.Duration, e.Line});
  return events;
}

// The reader is pure: its trace lines go to a sink of the test's own, the
// log pane here.
class Reader : public ::testing::Test {
 protected:
  PresentationLog read(const std::string& content, bool hasSubjectColumn = true) {
    return readPresentationLog(dir.write("run1.log", content), hasSubjectColumn);
  }
  PresentationLog readPresentationLog(const std::string& path, bool hasSubjectColumn) {
    return readPresentationLogFile(path, LogReadOptions{hasSubjectColumn, {}}, pane);
  }
  const std::vector<std::string>& logPane() const { return pane.lines; }
  void clearPane() { pane.lines.clear(); }
  TempDir dir;
  CollectLines pane;
};

const std::vector<std::string> kRealEvents = {
    "sub01\t1\tPulse\t99\t152340\t0\t1",
    "sub01\t2\tPicture\tcongruent left\t160445\t8105\t1\t15000\t2\t0\t15000\thit\t0",
    "sub01\t2\tResponse\t2\t164658\t12318\t1",
    "sub01\t3\tSound\tbeep\t170000\t0\t1\t\t2\t0\t5000\tother\t0",
    "sub01\t3\tPort Input\t4\t171000\t0\t1",
};

TEST_F(Reader, ReadsARealLogFromItsFirstEventOnLine5ToTheTwoEmptyLines) {
  const PresentationLog log = read(presentationLog(kRealEvents));
  EXPECT_FALSE(log.readFailed);
  EXPECT_EQ(log.LogFilePath, dir.file("run1.log"));
  EXPECT_EQ(log.ExperimentName, "run1");
  EXPECT_EQ(log.NrOfEvents, 3);
  EXPECT_EQ(log.NrOfEventSlots, 3);
  EXPECT_EQ(eventsOf(log), (std::vector<Event>{{"congruent left", 160445, 15000, 7},
                                               {"2", 164658, 0, 8},        // a Response without Duration
                                               {"beep", 170000, 0, 9}}));  // an empty Duration
  EXPECT_EQ(logPane(), (std::vector<std::string>{
                           "Trial: 1 EventType: Pulse Code: 99",
                           "Trial: 2 EventType: Picture Code: congruent left",
                           "Trial: 2 EventType: Response Code: 2",
                           "Trial: 3 EventType: Sound Code: beep",
                           "Trial: 3 EventType: Port Input Code: 4",
                           "Number of trials: 3, Picture/Sound/Video/Response events: 3",
                           "Number of lines in first part of file: 11",
                           "Trial: 2, code: congruent left, duration: " + duration("1500"),
                           "Trial: 2, code: 2, duration: " + duration("0"),
                           "Trial: 3, code: beep, duration: " + duration("0"),
                           "The first scanner pulse (Pulse event) is at 15234 ms: shifting the protocol by 15234 ms "
                           "(menu option 2, subtract) aligns it with the first volume.",
                       }));
}

TEST_F(Reader, CrlfAndLfFilesGiveTheSameResult) {
  const PresentationLog lf = read(presentationLog(kRealEvents));
  const std::vector<std::string> lfPane = logPane();
  clearPane();
  const PresentationLog crlf = read(presentationLog(kRealEvents, kSubjectHeader, "\r\n"));
  EXPECT_EQ(eventsOf(crlf), eventsOf(lf));
  EXPECT_EQ(logPane(), lfPane);
}

TEST_F(Reader, EmptyAndUnparseableLinesAddNothing) {
  const PresentationLog log = read(presentationLog({
      "sub01\t4\tPicture\tfix\t100000\t0\t1\t19980",
      "",
      "sub01\tfour\tPicture\tfix\t120000\t0\t1\t19980",
      "sub01\t5\tpicture\tfix\t130000\t0\t1\t19980",  // letter case counts: traced, not kept
      "sub01\t5\tPICTURE\tfix\t130000\t0\t1\t19980",
      "sub01\t5\tPictures\tfix\t130000\t0\t1\t19980",
      "sub01\t6\tVideo\tclip\t140000\t0\t1\t30000",
  }));
  EXPECT_EQ(eventsOf(log), (std::vector<Event>{{"fix", 100000, 19980, 6}, {"clip", 140000, 30000, 12}}));
  EXPECT_EQ(logPane(), (std::vector<std::string>{
                           "Trial: 4 EventType: Picture Code: fix",
                           "Trial: 5 EventType: picture Code: fix",
                           "Trial: 5 EventType: PICTURE Code: fix",
                           "Trial: 5 EventType: Pictures Code: fix",
                           "Trial: 6 EventType: Video Code: clip",
                           "Number of trials: 6, Picture/Sound/Video/Response events: 2",
                           "Number of lines in first part of file: 13",
                           "Trial: 4, code: fix, duration: " + duration("1998"),
                           "Trial: 6, code: clip, duration: " + duration("3000"),
                       }));
}

TEST_F(Reader, KeptLinesThatCannotBeStoredAreNamedWithTheirLineAndReason) {
  const std::string code255(255, 'c');
  const std::string code256(256, 'c');
  const PresentationLog log = read(presentationLog({
      "sub01\t1\tPicture\t" + code255 + "\t100000\t0\t1\t100\t2\t0\t100\tother\t0",  // 304 characters
      "sub01\t2\tPicture\t" + code256 + "\t100000\t0\t1\t100",
      "sub01\t3\tSound\tbeep\tsoon\t0\t1\t100",
      "sub01\t4\tSound\tbeep\t21474836480\t0\t1\t100",
      "sub01\t5\tSound\tbeep\t100\t0\t1\t-1e12",
      "sub01\t6\tResponse\t\t100\t0\t1",
  }));
  EXPECT_EQ(eventsOf(log), (std::vector<Event>{{code255, 100000, 100, 6}}));
  const std::string path = dir.file("run1.log");
  EXPECT_EQ(logPane(), (std::vector<std::string>{
                           "Trial: 1 EventType: Picture Code: " + code255,
                           "Trial: 2 EventType: Picture Code: " + code256,
                           path + ":7: Picture event not stored: its code is longer than 255 characters",
                           path + ":8: Sound event not stored: its Time is not a number",
                           "Trial: 4 EventType: Sound Code: beep",
                           path + ":9: Sound event not stored: its Time in milliseconds does not fit a 32-bit integer",
                           "Trial: 5 EventType: Sound Code: beep",
                           path + ":10: Sound event not stored: its Duration in milliseconds does not fit a 32-bit "
                                  "integer",
                           "Trial: 6 EventType: Response Code: ",
                           path + ":11: Response event not stored: it has no code",
                           "Number of trials: 6, Picture/Sound/Video/Response events: 1",
                           "Number of lines in first part of file: 12",
                           "Trial: 1, code: " + code255 + ", duration: " + duration("10"),
                       }));
}

TEST_F(Reader, TwoIdenticalBlankLinesEndTheTableAndALastLineWithoutLineEndCounts) {
  struct Case {
    std::string content;
    std::int32_t events;
    std::string linesLine;
  };
  const std::vector<Case> cases = {
      // A device may send the same byte twice in one millisecond: a repeated event line is data.
      {"1 Picture a 10 0 1 5\n1 Picture a 10 0 1 5\n2 Picture b 20 0 1 5\n", 3,
       "Number of lines in first part of file: 3"},
      {"1 Picture a 10 0 1 5\n2 Picture b 20 0 1 5", 2, "Number of lines in first part of file: 2"},
      {"1 Picture a 10 0 1 5\n1 Picture a 10 0 1 5", 2, "Number of lines in first part of file: 2"},
      {"Trial\tEvent Type\n\n\n1 Picture a 10 0 1 5\n", 0, "Number of lines in first part of file: 2"},
      {"Scenario - x\n \t\n \t\n1 Picture a 10 0 1 5\n", 0, "Number of lines in first part of file: 2"},
      {"1 Picture a 10 0 1 5\n\t\n\n \n2 Picture b 20 0 1 5\n", 2, "Number of lines in first part of file: 5"},
  };
  for (const Case& c : cases) {
    clearPane();
    const PresentationLog log = read(c.content, false);
    EXPECT_EQ(log.NrOfEvents, c.events) << c.content;
    EXPECT_EQ(logPane().at(static_cast<std::size_t>(1 + c.events)), c.linesLine) << c.content;
  }
}

// Two identical Port Input lines in the middle of the table once ended it,
// and every line after them was lost.
TEST_F(Reader, IdenticalEventLinesInTheTableAreEachReadAndTheTableGoesOn) {
  const PresentationLog log = read(presentationLog({
      "sub01\t1\tPicture\tcue\t100000\t0\t1\t5000",
      "sub01\t1\tPort Input\t8\t101000\t0\t1",
      "sub01\t1\tPort Input\t8\t101000\t0\t1",
      "sub01\t1\tResponse\t2\t102000\t0\t1",
      "sub01\t1\tResponse\t2\t102000\t0\t1",
      "sub01\t2\tPicture\ttarget\t110000\t0\t1\t5000",
  }));
  EXPECT_EQ(eventsOf(log),
            (std::vector<Event>{
                {"cue", 100000, 5000, 6}, {"2", 102000, 0, 9}, {"2", 102000, 0, 10}, {"target", 110000, 5000, 11}}));
  EXPECT_EQ(std::count(logPane().begin(), logPane().end(), "Number of lines in first part of file: 12"), 1);
}

// Presentation writes a scenario's own event properties between Code and
// Time; a header may also call its trial column otherwise, or leave out
// Duration. Whatever the layout asked for, the header's names decide.
TEST_F(Reader, ColumnsAreReadByTheNamesTheColumnHeaderGivesThem) {
  struct Case {
    const char* what;
    const char* header;
    std::vector<std::string> lines;
    bool asked;
    std::vector<Event> events;
    std::vector<double> pulses;
  };
  const std::vector<Case> cases = {
      {"properties before Time",
       "Subject\tTrial\tEvent Type\tCode\tEvent(str)\tTemperature(num)\tVAS(num)\tTarget_temperature(num)\tTime\t"
       "TTime\tUncertainty\tDuration\tUncertainty\tReqTime\tReqDur\tStim Type\tPair Index",
       {"s1\t1\tPulse\t99\t\t\t\t\t40000\t0\t1",
        "s1\t1\tPicture\theat\tpain\t46.5\t\t47\t50000\t0\t1\t30000\t1\t0\t30000\thit\t4",
        "s1\t1\tResponse\t2\t\t\t\t\t54521\t4521\t1"},
       true,
       {{"heat", 50000, 30000, 7}, {"2", 54521, 0, 8}},
       {40000}},
      {"a Pulse-named trial column, answered without a Subject column",
       "Subject\tPulse\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration",
       {"s1\t0\tPulse\t53\t93010\t93010\t1", "s1\t1\tPicture\tA\t95000\t0\t1\t2000"},
       false,
       {{"A", 95000, 2000, 7}},
       {93010}},
      {"no Trial and no Duration column, answered with a Subject column",
       "Event Type\tCode\tTime",
       {"Picture\tB\t12345"},  // no column before Event Type holds a trial: not read by name
       true,
       {},
       {}},
      {"no Duration column",
       "Trial\tEvent Type\tCode\tTime\tTTime",
       {"3\tSound\ttone\t12345\t0\t1\t5000"},
       true,
       {{"tone", 12345, 0, 6}},
       {}},
  };
  for (const Case& c : cases) {
    clearPane();
    const PresentationLog log = read(presentationLog(c.lines, c.header), c.asked);
    EXPECT_EQ(eventsOf(log), c.events) << c.what;
    EXPECT_EQ(log.Pulses, c.pulses) << c.what;
  }
  // One pane line says when the answer and the header disagree.
  clearPane();
  read(presentationLog(kRealEvents), false);
  ASSERT_FALSE(logPane().empty());
  EXPECT_EQ(logPane().front(),
            "The column header on line 4 has a Subject column: the columns are read by the names it gives them, not "
            "as answered to \"Which fields are in the log file?\".");
  EXPECT_EQ(
      std::count(logPane().begin(), logPane().end(), "Number of trials: 3, Picture/Sound/Video/Response events: 3"), 1);
}

// A run stopped before its first event leaves only the log's first two lines.
TEST_F(Reader, ALogOfItsFirstTwoLinesOnlyIsALogWithoutEvents) {
  for (const std::string& content :
       {std::string("Scenario - workup\nLogfile written - 03/14/2026 10:22:31\n"), std::string("Scenario - workup")}) {
    clearPane();
    const PresentationLog log = read(content);
    EXPECT_FALSE(log.readFailed) << content;
    EXPECT_EQ(log.NrOfEvents, 0);
    EXPECT_EQ(logPane().back(),
              "No Picture, Sound, Video or Response events were found in " + dir.file("run1.log") + ".");
  }
  clearPane();
  EXPECT_TRUE(read("Scenario: workup\n").readFailed) << "only the first line as Presentation writes it";
}

// Refused before anything is made of them: what the user picked is no log.
TEST_F(Reader, AFileThatIsNoPresentationLogIsRefusedNamingItAndWhy) {
  using namespace std::string_literals;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "it is empty, so it is not a Presentation log"},
      {"Scenario - x\n\x7f"
       "ELF\0\0\x01\n"s,
       "line 2 holds a NUL byte: it is not a Presentation log, which is text"},
      {"1\tPicture\tfix\t100\t0\t1\t50\n2\tPicture\tfix\t10\0\n"s,
       "line 2 holds a NUL byte: it is not a Presentation log, which is text"},
      {"Dear diary,\nno events today.\n",
       "it is not a Presentation log: it has neither the event table's column header line (Trial, Event Type, Code, "
       "...) nor any event line"},
      {"h\n\n\n1 Picture a 10 0 1 5\n",  // the event line lies after the table's end
       "it is not a Presentation log: it has neither the event table's column header line (Trial, Event Type, Code, "
       "...) nor any event line"},
  };
  for (const auto& [content, reason] : cases) {
    clearPane();
    const PresentationLog log = read(content, false);
    EXPECT_TRUE(log.readFailed) << content;
    EXPECT_EQ(log.NrOfEvents, 0);
    EXPECT_TRUE(log.Events.empty());
    EXPECT_EQ(log.failure, dir.file("run1.log") + ": " + reason);
    ASSERT_FALSE(logPane().empty());
    EXPECT_EQ(logPane().back(), "Error while reading Presentation file " + log.failure);
  }

  // A real log whose event table is empty is a log: it has the header line.
  clearPane();
  const PresentationLog empty = read(presentationLog({}, kPlainHeader), false);
  EXPECT_FALSE(empty.readFailed);
  EXPECT_EQ(logPane().back(),
            "No Picture, Sound, Video or Response events were found in " + dir.file("run1.log") + ".");
}

TEST_F(Reader, LinesWithoutTabsAreSplitAtSpaces) {
  const PresentationLog log = read(presentationLog(
                                       {
                                           "1 Picture fix 10000 0 1 5000",
                                           "  2   Sound   tone   15005.7 0 1",
                                           "3 Picture Errors incongruent: 27 20000 0 1 100",
                                       },
                                       kPlainHeader),
                                   false);
  EXPECT_EQ(eventsOf(log), (std::vector<Event>{{"fix", 10000, 5000, 6}, {"tone", 15005.7, 0, 7}}));
  EXPECT_EQ(logPane().at(2), dir.file("run1.log") + ":8: Picture event not stored: its Time is not a number");
}

// A header that is not tab-separated does not name the columns: the answer decides.
TEST_F(Reader, NoEventsWithTheOtherLayoutsHeaderSaysWhichAnswerToPick) {
  const std::string answer = " to \"Which fields are in the log file?\".";
  read(presentationLog(kRealEvents, "Subject Trial Event Type Code Time TTime Uncertainty Duration"), false);
  EXPECT_EQ(logPane(), (std::vector<std::string>{
                           "Number of trials: 0, Picture/Sound/Video/Response events: 0",
                           "Number of lines in first part of file: 11",
                           "No events were found, and the column header on line 4 has a Subject column: run the "
                           "conversion again and answer 2" +
                               answer,
                       }));
  clearPane();
  read(presentationLog({"1\tPicture\tfix\t100\t0\t1\t50"}, "Trial Event Type Code Time"), true);
  EXPECT_EQ(logPane().back(),
            "No events were found, and the column header on line 4 has no Subject column: run the conversion again "
            "and answer 1" +
                answer);
}

TEST_F(Reader, AFileThatCannotBeReadIsReportedNamingTheFile) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {dir.file("missing.log"), "No such file or directory"},
      {dir.path().string(), "Is a directory"},
  };
  for (const auto& [path, reason] : cases) {
    clearPane();
    const PresentationLog log = readPresentationLog(path, true);
    EXPECT_TRUE(log.readFailed);
    EXPECT_EQ(log.failure, path + ": " + reason);
    EXPECT_EQ(log.NrOfEvents, 0);
    EXPECT_TRUE(log.Events.empty());
    EXPECT_EQ(logPane(), std::vector<std::string>{"Error while reading Presentation file " + log.failure});
  }
}

TEST_F(Reader, ReadsTheShippedExample) {
  const PresentationLog log = readPresentationLog(STIMLOOM_EXAMPLES_DIR "/flanker_run1.log", true);
  ASSERT_FALSE(log.readFailed) << log.failure;
  EXPECT_EQ(log.ExperimentName, "flanker_run1");
  ASSERT_EQ(log.NrOfEvents, 46);
  EXPECT_EQ(eventsOf(log).front(), (Event{"fixation", 152445, 19980, 7}));
  EXPECT_EQ(eventsOf(log).back(), (Event{"1", 465213, 0, 56}));
  const auto& lines = logPane();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Number of trials: 17, Picture/Sound/Video/Response events: 46"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Number of lines in first part of file: 57"), 1);
}

}  // namespace
}  // namespace stimloom::testing
