// Bad input, run as a user meets it: through the menu and the stand-in host,
// with a protocol saved earlier beside the log. Each case checks what the log
// pane says and that the protocol file keeps its bytes unless the operation
// succeeded. docs/robustness.md lists these cases.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/host_functions.h"
#include "plugin/menu.h"
#include "standin/protocol_store.h"
#include "standin/scripted_runs.h"
#include "tests/standin_fixture.h"
#include "util/file_names.h"

namespace stimloom::testing {
namespace {

using standin::Answer;

constexpr const char* kSubjectHeader =
    "Subject\tTrial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\tUncertainty\tReqTime\tReqDur\tStim "
    "Type\tPair Index";

// A log in the shape Presentation writes, with the Subject column.
std::string presentationLog(const std::vector<std::string>& events, const std::string& end = "\n") {
  std::string text =
      "Scenario - flanker" + end + "Logfile written - 03/14/2026 10:22:31" + end + end + kSubjectHeader + end + end;
  for (const std::string& event : events) text += event + end;
  return text + end + end + "Event Type\tCode\tType" + end + end + "Picture\tfix\tother\t\t\t\t100\t1\t50" + end;
}

const std::vector<std::string> kGoodEvents = {
    "sub01\t1\tPulse\t99\t152340\t0\t1",
    "sub01\t2\tPicture\tcongruent left\t160445\t8105\t1\t15000\t2\t0\t15000\thit\t0",
    "sub01\t2\tResponse\t2\t164658\t12318\t1",
};

// A protocol saved before the conversion, which a failed one must leave alone.
standin::Protocol earlierProtocol(const std::string& fileName) {
  standin::Protocol protocol;
  protocol.fileName = fileName;
  protocol.experimentName = "run1";
  protocol.timeResolution = 2;
  standin::StoredCondition condition;
  condition.name = "earlier";
  condition.colour = 7;
  condition.starts = {1000, 5000};
  condition.ends = {2000, 6000};
  protocol.conditions = {condition};
  return protocol;
}

std::size_t find(const std::vector<std::string>& pane, const std::string& line, std::size_t from = 0) {
  return static_cast<std::size_t>(std::find(pane.begin() + static_cast<std::ptrdiff_t>(from), pane.end(), line) -
                                  pane.begin());
}

class Robustness : public StandinTest {
 protected:
  // Writes an earlier protocol beside `logPath` and runs operation 1 on the
  // log, answering every question that should be asked.
  void convert(const std::string& logPath, bool subjectColumn, bool readable, int rule = 1) {
    prtPath = replaceExtension(logPath, ".prt");
    earlierBytes = standin::formatProtocol(earlierProtocol(prtPath));
    std::string error;
    ASSERT_TRUE(standin::saveProtocolFile(earlierProtocol(prtPath), prtPath, error)) << error;
    std::vector<Answer> answers = standin::conversionAnswers(logPath, subjectColumn, 2000, rule);
    if (!readable) answers.resize(3);  // the run stops after reading
    answer(answers);
    ASSERT_TRUE(runMenu());
    EXPECT_TRUE(script().answers.empty()) << "a question the run should have asked was not asked";
    EXPECT_EQ(logPane().back(), "Finished.\n");
  }

  // The lines appear in the log pane, in this order.
  void expectLines(const std::vector<std::string>& lines) {
    std::size_t at = 0;
    for (const std::string& line : lines) {
      const std::size_t found = find(logPane(), line, at);
      ASSERT_LT(found, logPane().size()) << "not in the log pane (after line " << at << "): " << line;
      at = found + 1;
    }
  }

  void expectProtocolUnchanged() {
    EXPECT_EQ(readFile(prtPath), earlierBytes) << prtPath << " changed";
    EXPECT_TRUE(host().savedPaths.empty());
  }

  standin::Protocol saved() {
    standin::Protocol protocol;
    std::string error;
    EXPECT_TRUE(standin::loadProtocolFile(prtPath, protocol, error)) << error;
    return protocol;
  }

  TempDir dir;
  std::string prtPath;
  std::string earlierBytes;
};

TEST_F(Robustness, AMissingLogOrAFolderIsNamedAndNothingMoreIsAsked) {
  struct Case {
    std::string path;
    std::string reason;
  };
  std::filesystem::create_directory(dir.file("folder.log"));
  const std::vector<Case> cases = {
      {dir.file("missing.log"), "No such file or directory"},
      {dir.file("folder.log"), "Is a directory"},
  };
  for (const Case& c : cases) {
    standin::resetHost();
    convert(c.path, true, false);
    expectLines({"Read Presentation log file...", "Error while reading Presentation file " + c.path + ": " + c.reason,
                 "Cancelled further operations.", "Finished.\n"});
    expectProtocolUnchanged();
  }
}

// Files that are no Presentation log at all: refused as the reader finds
// them, before anything more is asked, created or saved.
TEST_F(Robustness, FilesThatAreNoLogAreRefusedAndNothingMoreIsAsked) {
  std::string binary(1, '\0');
  for (std::uint32_t state = 1; binary.size() < 20000;) {
    state = state * 1664525u + 1013904223u;
    binary += static_cast<char>(state >> 24);
  }
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "it is empty, so it is not a Presentation log"},
      {binary, "line 1 holds a NUL byte: it is not a Presentation log, which is text"},
      {"Dear diary,\r\nno events today.\r\n",
       "it is not a Presentation log: it has neither the event table's column header line (Trial, Event Type, Code, "
       "...) nor any event line"},
  };
  for (const auto& [content, reason] : cases) {
    standin::resetHost();
    const std::string log = dir.write("run1.log", content);
    convert(log, true, false);
    expectLines({"Read Presentation log file...", "Error while reading Presentation file " + log + ": " + reason,
                 "Cancelled further operations.", "Finished.\n"});
    EXPECT_EQ(std::find(logPane().begin(), logPane().end(), "Plugin operations finished successfully."),
              logPane().end());
    expectProtocolUnchanged();
    EXPECT_EQ(host().protocol, standin::Protocol{}) << "the host's protocol was touched";
  }
}

// Files that hold no event: the reader says so, and the empty protocol they
// would give does not replace the one beside them.
TEST_F(Robustness, LogsWithoutEventsSaySoAndLeaveTheProtocolBesideThem) {
  struct Case {
    std::string name;
    std::string content;
    std::vector<std::string> lines;  // what the user sees, in order; <log> is the log's path
  };
  const std::string hugeCode(10 * 1024 * 1024, 'c');
  const std::vector<Case> cases = {
      {"only header lines",
       "Scenario - flanker\r\nLogfile written - 03/14/2026 10:22:31\r\n\r\n" + std::string(kSubjectHeader) + "\r\n",
       {"Number of lines in first part of file: 4",
        "No Picture, Sound, Video or Response events were found in <log>."}},
      {"a single line of 10 MB",
       "sub01\t1\tPicture\t" + hugeCode + "\t160445\t0\t1\t15000\n",
       {"Trial: 1 EventType: Picture Code: " + hugeCode.substr(0, 1000) + "... (10485760 characters)",
        "<log>:1: Picture event not stored: its code is longer than 255 characters",
        "Number of lines in first part of file: 1"}},
  };
  for (const Case& c : cases) {
    standin::resetHost();
    const std::string log = dir.write("run1.log", c.content);
    convert(log, true, true);
    std::vector<std::string> lines;
    for (std::string line : c.lines) {
      if (const auto at = line.find("<log>"); at != std::string::npos) line.replace(at, 5, log);
      lines.push_back(line);
    }
    lines.push_back("The log holds no events to convert, and " + prtPath +
                    " already exists: it was left unchanged and nothing was created.");
    lines.push_back("Creating protocol did not succeed.");
    SCOPED_TRACE(c.name);
    expectLines(lines);
    expectProtocolUnchanged();
    EXPECT_EQ(host().protocol, standin::Protocol{}) << "the host's protocol was touched";
  }
}

TEST_F(Robustness, ALogWithoutEventsAndNoProtocolBesideItGivesAnEmptyOne) {
  const std::string log = dir.write("run1.log", presentationLog({}));
  answer(standin::conversionAnswers(log, true));
  ASSERT_TRUE(runMenu());
  EXPECT_EQ(host().savedPaths, std::vector<std::string>{dir.file("run1.prt")});
  EXPECT_TRUE(host().protocol.conditions.empty());
  EXPECT_EQ(host().protocol.experimentName, "run1");
}

TEST_F(Robustness, CrlfLfAndCrOnlyLineEndsGiveTheSameProtocol) {
  std::vector<standin::Protocol> protocols;
  std::vector<std::vector<std::string>> panes;
  for (const std::string end : {"\r\n", "\n", "\r"}) {
    standin::resetHost();
    convert(dir.write("run1.log", presentationLog(kGoodEvents, end)), true, true);
    standin::Protocol protocol = saved();
    protocol.fileName.clear();
    protocols.push_back(protocol);
    panes.push_back(logPane());
  }
  ASSERT_EQ(protocols[0].conditions.size(), 2u);
  EXPECT_EQ(protocols[0].conditions[0].name, "congruent left");
  EXPECT_EQ(protocols[1], protocols[0]);
  EXPECT_EQ(protocols[2], protocols[0]) << "CR-only line ends";
  EXPECT_EQ(panes[1], panes[0]);
  EXPECT_EQ(panes[2], panes[0]);
}

// Bad values on one line: the line is named with its reason, the good events
// around it still make the protocol.
TEST_F(Robustness, BadTimesDurationsAndCodesAreNamedWithTheirLine) {
  struct Case {
    std::string line;
    std::string reason;  // empty: the event is stored
    std::int32_t start = 0, end = 0;
    std::string trials = "3";  // a line without a valid Time is no data line: the last trial is 2
  };
  const std::string code1000(1000, 'k');
  const std::vector<Case> cases = {
      {"sub01\t3\tPicture\tbad\tnan\t0\t1\t100", "its Time is not a number", 0, 0, "2"},
      {"sub01\t3\tPicture\tbad\tinf\t0\t1\t100", "its Time is not a number", 0, 0, "2"},
      {"sub01\t3\tPicture\tbad\t-inf\t0\t1\t100", "its Time is not a number", 0, 0, "2"},
      {"sub01\t3\tPicture\tbad\t1e300\t0\t1\t100", "its Time in milliseconds does not fit a 32-bit integer"},
      {"sub01\t3\tPicture\tbad\t21474836480\t0\t1\t100", "its Time in milliseconds does not fit a 32-bit integer"},
      {"sub01\t3\tPicture\tbad\t-1\t0\t1\t100", "", 0, 10},  // before time zero, by a tenth of a millisecond
      {"sub01\t3\tPicture\tbad\t100\t0\t1\t1e300", "its Duration in milliseconds does not fit a 32-bit integer"},
      {"sub01\t3\tPicture\tbad\t100\t0\t1\t-1e12", "its Duration in milliseconds does not fit a 32-bit integer"},
      {"sub01\t3\tPicture\tbad\t100\t0\t1\t21474836480", "its Duration in milliseconds does not fit a 32-bit integer"},
      {"sub01\t3\tPicture\tbad\t100\t0\t1\tnan", "", 10, 10},  // not a number: lasts 0
      {"sub01\t3\tPicture\t" + code1000 + "\t100\t0\t1\t100", "its code is longer than 255 characters"},
  };
  for (const Case& c : cases) {
    standin::resetHost();
    std::vector<std::string> events = kGoodEvents;
    events.push_back(c.line);  // line 9 of the file
    const std::string log = dir.write("run1.log", presentationLog(events));
    convert(log, true, true, 2);
    SCOPED_TRACE(c.line);
    const standin::Protocol protocol = saved();
    if (c.reason.empty()) {
      expectLines({"Number of trials: " + c.trials + ", Picture/Sound/Video/Response events: 3"});
      ASSERT_EQ(protocol.conditions.size(), 3u);
      EXPECT_EQ(protocol.conditions[2].starts, standin::IntervalVector{c.start});
      EXPECT_EQ(protocol.conditions[2].ends, standin::IntervalVector{c.end});
    } else {
      expectLines({log + ":9: Picture event not stored: " + c.reason,
                   "Number of trials: " + c.trials + ", Picture/Sound/Video/Response events: 2"});
      EXPECT_EQ(protocol.conditions.size(), 2u);
    }
    EXPECT_EQ(logPane().at(logPane().size() - 2), "Plugin operations finished successfully.");
  }
}

TEST_F(Robustness, TracesOfACode1000CharactersLongShowItWhole) {
  const std::string code1000(1000, 'k');
  const std::string log = dir.write("run1.log", presentationLog({"sub01\t3\tPicture\t" + code1000 + "\t100\t0\t1"}));
  convert(log, true, true);
  expectLines({"Trial: 3 EventType: Picture Code: " + code1000,
               log + ":6: Picture event not stored: its code is longer than 255 characters"});
  expectProtocolUnchanged();
}

TEST_F(Robustness, HundredThousandDistinctCodesBecomeAsManyConditions) {
  constexpr int kCodes = 100000;
  std::vector<std::string> events;
  for (int n = 0; n < kCodes; ++n) {
    events.push_back("sub01\t" + std::to_string(n + 1) + "\tPicture\tcode " + std::to_string(n) + "\t" +
                     std::to_string(100000 + 10 * n) + "\t0\t1\t5");
  }
  const std::string log = dir.write("run1.log", presentationLog(events));
  host().recordCalls = false;
  convert(log, true, true, 2);
  expectLines({"Number of trials: 100000, Picture/Sound/Video/Response events: 100000",
               "Plugin operations finished successfully."});
  const standin::Protocol protocol = saved();
  ASSERT_EQ(protocol.conditions.size(), static_cast<std::size_t>(kCodes));
  EXPECT_EQ(protocol.conditions[0].name, "code 0");
  EXPECT_EQ(protocol.conditions[kCodes - 1].name, "code 99999");
  EXPECT_EQ(protocol.conditions[kCodes - 1].starts, standin::IntervalVector{10000 + kCodes - 1});
  EXPECT_EQ(protocol, host().protocol);
}

// The host's file dialog takes 255 characters. The saved name then still fits
// the record's FileName (260); the tagged name, which may not, is only logged.
TEST_F(Robustness, ALogPathOf255CharactersConvertsAndOneOf256IsRefusedByTheDialog) {
  const std::string folder = dir.path().string() + "/";
  ASSERT_LT(folder.size(), 200u);
  struct Case {
    std::string path;
    std::string taggedName;
  };
  const std::string withLog = folder + std::string(255 - folder.size() - 4, 'n') + ".log";
  const std::string shortExtension = folder + std::string(255 - folder.size() - 2, 's') + ".l";
  const std::string noExtension = folder + std::string(255 - folder.size(), 'x');
  const std::vector<Case> cases = {
      {withLog, stripExtension(withLog) + "_MSEC.prt"},                // 260 characters
      {shortExtension, stripExtension(shortExtension) + "_MSEC.prt"},  // 262
      {noExtension, noExtension + "_MSEC.prt"},                        // 264
  };
  for (const Case& c : cases) {
    standin::resetHost();
    ASSERT_EQ(c.path.size(), 255u);
    dir.write(c.path.substr(folder.size()), presentationLog(kGoodEvents));
    convert(c.path, true, true);
    SCOPED_TRACE(c.path);
    expectLines(
        {"Creating protocol name:\n\n\t" + c.taggedName + "\n", "Protocol generated from Presentation Log file."});
    EXPECT_EQ(host().savedPaths, std::vector<std::string>{prtPath});
    EXPECT_EQ(host().protocol.fileName, prtPath);
    EXPECT_EQ(saved().conditions.size(), 2u);
  }

  standin::resetHost();
  const std::string tooLong = folder + std::string(256 - folder.size() - 4, 'n') + ".log";
  dir.write(tooLong.substr(folder.size()), presentationLog(kGoodEvents));
  answer({Answer::of(1), Answer::of(tooLong)});
  ASSERT_TRUE(runMenu());
  expectLines({"Cancelled further operations.", "Finished.\n"});
  EXPECT_EQ(
      host().hostErrors,
      std::vector<std::string>{"the path is longer than the host's file dialogs take (255 characters): " + tooLong});
  EXPECT_TRUE(host().savedPaths.empty());
}

// Every cut of a saved protocol short of its end is refused with the file and
// line, by the loader and by stimloom-host, and the file keeps its bytes.
TEST_F(Robustness, AProtocolFileTruncatedMidLineIsRefusedAndLeftAsItWas) {
  const std::string path = dir.file("run1.prt");
  const std::string whole = standin::formatProtocol(earlierProtocol(path));
  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    standin::resetHost();
    const std::string truncated = whole.substr(0, cut);
    dir.write("run1.prt", truncated);
    EXPECT_EQ(session().functions().zrLoadProtocol(path.c_str()), 0) << "cut at " << cut;
    ASSERT_EQ(host().hostErrors.size(), 1u);
    EXPECT_EQ(host().hostErrors[0].rfind(path + ":", 0), 0u) << host().hostErrors[0];
    EXPECT_EQ(host().protocol, standin::Protocol{});
    EXPECT_EQ(readFile(path), truncated);
    if (cut == whole.find("1000 2000")) {
      EXPECT_EQ(host().hostErrors[0], path + ":16: the file ends early; expected an interval \"start end\"");
    }
  }

  // Cut inside the last interval, "5000 6000": the line has no line end.
  const std::string cut = whole.substr(0, whole.size() - 3);
  dir.write("run1.prt", cut);
  const std::string command = std::string("'") + STIMLOOM_HOST_PATH + "' shift --protocol '" + path +
                              "' --amount 10 --subtract > /dev/null 2> '" + dir.file("stderr.txt") + "'";
  const int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  EXPECT_EQ(readFile(dir.file("stderr.txt")),
            "stimloom-host: " + path + ":17: the last line has no line end; the file looks truncated\n");
  EXPECT_EQ(readFile(path), cut);
}

TEST_F(Robustness, AReorderAnswerOf255CommasChangesNothing) {
  const std::string path = dir.file("run1.prt");
  standin::Protocol protocol = earlierProtocol(path);
  protocol.conditions.push_back(protocol.conditions[0]);
  protocol.conditions[1].name = "second";
  std::string error;
  ASSERT_TRUE(standin::saveProtocolFile(protocol, path, error)) << error;
  const std::string before = readFile(path);
  ASSERT_EQ(session().functions().zrLoadProtocol(path.c_str()), 1);

  answer({Answer::of(3), Answer::of(std::string(255, ','))});
  ASSERT_TRUE(runMenu());
  expectLines({"The conditions were not sorted: place 1 holds no number. Nothing was changed.", "Finished.\n"});
  EXPECT_EQ(readFile(path), before);
  EXPECT_TRUE(host().savedPaths.empty());
  protocol.fileName = path;
  EXPECT_EQ(host().protocol, protocol);
}

}  // namespace
}  // namespace stimloom::testing
