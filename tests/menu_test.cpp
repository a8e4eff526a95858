// One run of the plug-in, Stimloom::execute, driven through the stand-in host
// with scripted answers.

#include "plugin/menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plugin/plugin_interface.h"
#include "tests/call_text.h"
#include "tests/standin_fixture.h"

namespace stimloom {
namespace {

using standin::Answer;

constexpr const char* kMenuPrompt =
    "Please select an option:<P>1 = Create stimulation protocol from Presentation Log file<BR>2 = Change the offset in "
    "an existing stimulation protocol<BR>3 = Sort conditions in an existing stimulation protocol";
constexpr const char* kIntro =
    "This function generates a Mirovane ZR stimulation protocol file (*.prt),\nbased on a Presentation Log file "
    "(*.log)";
constexpr const char* kLayoutPrompt =
    "Which fields are in the log file?<P>1 = Trial, EventType, Code, Time, TTime, Uncertainty, Duration<BR>2 = "
    "Subject, Trial, EventType, Code, Time, TTime, Uncertainty, Duration<BR>";
constexpr const char* kRulePrompt =
    "Please select the computation of event duration:\n\n1 = Based on time until next event (Picture, Sound, Video, "
    "Response)\n2 = Based on Duration parameter in Presentation log file";

class Menu : public testing::StandinTest {
 protected:
  bool run() {
    Stimloom plugin;
    return plugin.execute();
  }
  std::vector<std::string> calls() { return testing::callTexts(host()); }
  std::string savedSample(const testing::TempDir& dir) {
    standin::Protocol protocol;
    protocol.timeResolution = 2;
    protocol.fileName = dir.file("sample.prt");
    standin::StoredCondition a;
    a.name = "A";
    a.starts = {1000};
    a.ends = {3000};
    protocol.conditions = {a};
    host().protocol = protocol;
    return protocol.fileName;
  }
};

TEST_F(Menu, AnswerOutsideTheMenuLogsNoValidOptionAndFinishes) {
  for (const int choice : {0, 4, -1}) {
    standin::resetHost();
    answer({Answer::of(choice)});
    EXPECT_TRUE(run());
    EXPECT_EQ(calls(), (std::vector<std::string>{
                           "zrShowLogTab()",
                           "zrLogText(\nstimloom> Started...)",
                           std::string("zrGetIntegerInput(") + kMenuPrompt + ", 1, 1, 3)",
                           "zrLogText(No valid option selected.)",
                           "zrLogText(Cancelled further operations.)",
                           "zrLogText(Finished.\n)",
                       }))
        << "menu answer " << choice;
  }
}

TEST_F(Menu, WithoutAVmrCreationWarnsTwiceAndReturnsFalse) {
  host().vmrOpen = false;
  answer({Answer::of(1)});
  EXPECT_FALSE(run());
  EXPECT_EQ(calls(), (std::vector<std::string>{
                         "zrShowLogTab()",
                         "zrLogText(\nstimloom> Started...)",
                         std::string("zrGetIntegerInput(") + kMenuPrompt + ", 1, 1, 3)",
                         std::string("zrMessageBox(") + kIntro + ")",
                         "zrGetCurrentVMR()",
                         "zrMessageBox(If no project is opened in Mirovane, the conditions cannot be added to the "
                         "protocol.)",
                         "zrLogText(No VMR present, action canceled.)",
                     }));
}

TEST_F(Menu, CancellingTheFileDialogSkipsTheReader) {
  answer({Answer::of(1), Answer::cancel()});
  EXPECT_TRUE(run());
  const std::vector<std::string> all = calls();
  const std::vector<std::string> tail(all.end() - 3, all.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "zrGetOpenFileName(Please select the Presentation Log file, , Presentation log file (*.log))",
                      "zrLogText(Cancelled further operations.)",
                      "zrLogText(Finished.\n)",
                  }));
}

TEST_F(Menu, AnUnreadableLogStopsTheRunWithoutAskingMore) {
  testing::TempDir dir;
  const std::string existing = dir.write("run1.prt", "an earlier protocol\n");
  answer({Answer::of(1), Answer::of(dir.file("run1.log")), Answer::takeDefault()});
  EXPECT_TRUE(run());
  EXPECT_EQ(logPane().back(), "Finished.\n");
  for (const auto& call : host().calls) {
    EXPECT_NE(call.function, "zrSaveProtocol");
    EXPECT_NE(call.function, "zrAddProtocolCondition");
    if (call.function == "zrGetIntegerInput") {
      EXPECT_NE(call.arguments[0], "What is the TR in milliseconds?");
    }
  }
  EXPECT_EQ(testing::readFile(existing), "an earlier protocol\n");
}

TEST_F(Menu, ShiftPromptNamesTheProtocolsUnit) {
  const std::vector<std::pair<std::int32_t, std::string>> cases = {
      {2, "Please enter the amount of milliseconds that the intervals should shift"},
      {1, "Please enter the number of volumes that the intervals should shift"},
      {7, "Please enter the amount, in the protocol's own time unit, that the intervals should shift"},
  };
  for (const auto& [unit, prompt] : cases) {
    standin::resetHost();
    host().protocol.timeResolution = unit;
    answer({Answer::of(2), Answer::of(0), Answer::of("no")});
    EXPECT_TRUE(run());
    const auto& all = host().calls;
    const auto asked = std::find_if(all.begin(), all.end(), [](const standin::HostCall& call) {
      return call.function == "zrGetIntegerInput" && call.arguments[0] != kMenuPrompt;
    });
    ASSERT_NE(asked, all.end());
    EXPECT_EQ(testing::callText(*asked), "zrGetIntegerInput(" + prompt + ", 0, 0, 3000000)") << "unit " << unit;
  }
}

TEST_F(Menu, ShiftYesSubtractsNoAddsAndZeroIsPassedOn) {
  testing::TempDir dir;
  struct Case {
    const char* reply;
    int amount;
    std::int32_t start;
    std::int32_t end;
  };
  for (const Case& c : {Case{"yes", 500, 500, 2500}, Case{"no", 500, 1500, 3500}, Case{"yes", 0, 1000, 3000}}) {
    standin::resetHost();
    const std::string path = savedSample(dir);
    answer({Answer::of(2), Answer::of(c.amount), Answer::of(c.reply)});
    EXPECT_TRUE(run());
    ASSERT_EQ(host().protocol.conditions.size(), 1u);
    EXPECT_EQ(host().protocol.conditions[0].starts[0], c.start) << c.reply << " " << c.amount;
    EXPECT_EQ(host().protocol.conditions[0].ends[0], c.end) << c.reply << " " << c.amount;
    EXPECT_EQ(host().savedPaths, std::vector<std::string>{path});
    EXPECT_EQ(logPane().end()[-2], "Plugin operations finished successfully.");
  }
}

TEST_F(Menu, SortLogsSuccessOnlyForAnOrderItApplied) {
  testing::TempDir dir;
  struct Case {
    const char* order;
    bool saved;
    const char* lastLine;
  };
  for (const Case& c : {Case{"9,9", false,
                             "The conditions were not sorted: it gives more numbers (2) than the protocol "
                             "has conditions (1). Nothing was changed."},
                        Case{"1", false, "The new order is the current order. Nothing was changed."}}) {
    standin::resetHost();
    savedSample(dir);
    answer({Answer::of(3), Answer::of(c.order)});
    EXPECT_TRUE(run());
    EXPECT_EQ(host().savedPaths.empty(), !c.saved);
    EXPECT_EQ(logPane().end()[-2], c.lastLine) << c.order;
    EXPECT_EQ(logPane().back(), "Finished.\n");
  }
}

TEST_F(Menu, MissingMenuDialogIsReportedAndTheRunFinishes) {
  hide({"zrGetIntegerInput"});
  EXPECT_TRUE(runMenu());
  EXPECT_EQ(logPane(), (std::vector<std::string>{
                           "\nstimloom> Started...",
                           "The host does not offer zrGetIntegerInput: cannot show the menu. Nothing was changed.",
                           "Finished.\n",
                       }));
}

TEST_F(Menu, MissingOperationDialogsAreReportedBeforeAnyOtherCall) {
  answer({Answer::of(2)});
  hide({"zrYesNoMessageBox"});
  EXPECT_TRUE(runMenu());
  EXPECT_EQ(logPane(),
            (std::vector<std::string>{
                "\nstimloom> Started...",
                "The host does not offer zrYesNoMessageBox: cannot shift the intervals. Nothing was changed.",
                "Finished.\n",
            }));
  EXPECT_EQ(callNames().size(), 5u);  // the log tab, three log lines and the menu
}

TEST_F(Menu, WithoutTheLogPaneTheRunStillAnswers) {
  answer({Answer::of(4)});
  hide({"zrLogText", "zrShowLogTab"});
  EXPECT_TRUE(runMenu());
  EXPECT_EQ(callNames(), std::vector<std::string>{"zrGetIntegerInput"});
}

// A small log in the real shape, without a Subject column.
constexpr const char* kSmallLog =
    "Scenario - small\r\nLogfile written - 01/02/2026 09:00:00\r\n\r\n"
    "Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\tUncertainty\tReqTime\tReqDur\tStim "
    "Type\tPair Index\r\n\r\n"
    "1\tPicture\tX\t10000\t0\t1\t3000\t2\t0\t3000\tother\t0\r\n"
    "2\tPicture\tY\t15000\t5000\t1\t3000\t2\t0\t3000\tother\t0\r\n"
    "\r\n\r\nEvent Type\tCode\r\n";

TEST_F(Menu, AllDefaultsCreateAMillisecondProtocolInTheDocumentedOrder) {
  testing::TempDir dir;
  const std::string log = dir.write("run1.log", kSmallLog);
  answer({Answer::takeDefault(), Answer::of(log), Answer::takeDefault(), Answer::takeDefault(), Answer::takeDefault()});
  EXPECT_TRUE(run());
  const std::vector<std::string> dialogs = [this] {
    std::vector<std::string> asked;
    for (const auto& call : host().calls) {
      if (call.function == "zrGetIntegerInput") asked.push_back(call.arguments[0] + "|" + call.arguments[1]);
    }
    return asked;
  }();
  EXPECT_EQ(dialogs,
            (std::vector<std::string>{std::string(kMenuPrompt) + "|1", std::string(kLayoutPrompt) + "|1",
                                      "What is the TR in milliseconds?|2000", std::string(kRulePrompt) + "|1"}));
  const std::vector<std::string>& pane = logPane();
  const auto at = [&pane](const std::string& line) { return std::find(pane.begin(), pane.end(), line) - pane.begin(); };
  // Started, the reading and its lines, the conversion, creation's lines, success, finished.
  EXPECT_EQ(at("\nstimloom> Started..."), 0);
  EXPECT_EQ(at("Read Presentation log file..."), 1);
  EXPECT_EQ(pane[2], "Trial: 1 EventType: Picture Code: X");
  EXPECT_LT(at("Number of lines in first part of file: 8"), at("Converting to Mirovane stimulation protocol..."));
  EXPECT_LT(at("Converting to Mirovane stimulation protocol..."), at("Creating new protocol..."));
  EXPECT_LT(at("Creating new protocol..."), at("Added interval: 1000 - 1498, for condition: X"));
  EXPECT_EQ(pane.end()[-3], "Protocol generated from Presentation Log file.");
  EXPECT_EQ(pane.end()[-2], "Plugin operations finished successfully.");
  EXPECT_EQ(pane.end()[-1], "Finished.\n");
  // The TR is asked after the reader has logged its lines.
  const auto& calls = host().calls;
  const auto tr = std::find_if(calls.begin(), calls.end(), [](const standin::HostCall& call) {
    return call.function == "zrGetIntegerInput" && call.arguments[0] == "What is the TR in milliseconds?";
  });
  const auto converting = std::find_if(calls.begin(), calls.end(), [](const standin::HostCall& call) {
    return call.function == "zrLogText" && call.arguments[0] == "Converting to Mirovane stimulation protocol...";
  });
  EXPECT_LT(converting, tr);
  ASSERT_EQ(host().savedPaths, std::vector<std::string>{dir.file("run1.prt")});
  EXPECT_EQ(host().protocol.timeResolution, 2);
  EXPECT_EQ(host().protocol.conditions.size(), 2u);
}

TEST_F(Menu, ADurationRuleOtherThanOneOrTwoEndsTheOperation) {
  testing::TempDir dir;
  const std::string log = dir.write("run1.log", kSmallLog);
  answer({Answer::of(1), Answer::of(log), Answer::of(1), Answer::of(2000), Answer::of(0)});
  EXPECT_TRUE(run());
  EXPECT_EQ(logPane().end()[-2], "Converting to Mirovane stimulation protocol...");
  EXPECT_EQ(logPane().back(), "Finished.\n");
  EXPECT_TRUE(host().savedPaths.empty());
  EXPECT_TRUE(host().protocol.conditions.empty());
}

TEST_F(Menu, EveryFunctionAnOperationNeedsIsCheckedBeforeItsFirstDialog) {
  struct Case {
    int option;
    std::vector<std::string> hidden;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {1,
       {"zrSetProtocol", "zrSaveProtocol"},
       {"The host does not offer zrSetProtocol: cannot create a protocol. Nothing was changed.",
        "The host does not offer zrSaveProtocol: cannot create a protocol. Nothing was changed."}},
      {1,
       {"zrGetOpenFileName", "zrClearProtocol"},
       {"The host does not offer zrGetOpenFileName: cannot create a protocol. Nothing was changed.",
        "The host does not offer zrClearProtocol: cannot create a protocol. Nothing was changed."}},
      {2,
       {"zrGetProtocolCondition"},
       {"The host does not offer zrGetProtocolCondition: cannot shift the intervals. Nothing was changed."}},
      {3,
       {"zrMessageBox", "zrGetTextInput"},
       {"The host does not offer zrMessageBox: cannot sort the conditions. Nothing was changed.",
        "The host does not offer zrGetTextInput: cannot sort the conditions. Nothing was changed."}},
  };
  for (const Case& c : cases) {
    standin::resetHost();
    hide(c.hidden);
    answer({Answer::of(c.option)});
    EXPECT_TRUE(runMenu());
    std::vector<std::string> expected = {"\nstimloom> Started..."};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    expected.push_back("Finished.\n");
    EXPECT_EQ(logPane(), expected) << "option " << c.option;
    EXPECT_TRUE(host().messages.empty()) << "no dialog after the menu";
  }
}

TEST_F(Menu, AShiftThatRefusesEndsWithItsOwnLinesAndNoSuccessLine) {
  testing::TempDir dir;
  savedSample(dir);
  host().protocol.conditions[0].ends[0] = 2147483000;
  answer({Answer::of(2), Answer::of(3000000), Answer::of("no")});
  EXPECT_TRUE(run());
  ASSERT_GE(logPane().size(), 3u);
  EXPECT_EQ(logPane().end()[-3], "Changing protocol offset with 3000000...");
  EXPECT_NE(logPane().end()[-2].find("outside the 32-bit range: nothing was shifted or saved."), std::string::npos);
  EXPECT_EQ(logPane().back(), "Finished.\n");
  EXPECT_TRUE(host().savedPaths.empty());
}

}  // namespace
}  // namespace stimloom
