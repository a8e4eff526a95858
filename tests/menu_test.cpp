// One run of the plug-in, Stimloom::execute, driven through the stand-in host
// with scripted answers.

#include "plugin/menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plugin/plugin_interface.h"
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

// A call as the tests spell it: the function and its arguments joined by '|'.
std::string spelled(const standin::HostCall& call) {
  std::string text = call.function;
  for (const auto& argument : call.arguments) text += "|" + argument;
  return text;
}

class Menu : public testing::StandinTest {
 protected:
  bool run() {
    Stimloom plugin;
    return plugin.execute();
  }
  std::vector<std::string> calls() {
    std::vector<std::string> spelledCalls;
    for (const auto& call : host().calls) spelledCalls.push_back(spelled(call));
    return spelledCalls;
  }
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
                           "zrShowLogTab",
                           "zrLogText|\nstimloom> Started...",
                           std::string("zrGetIntegerInput|") + kMenuPrompt + "|1|1|3",
                           "zrLogText|No valid option selected.",
                           "zrLogText|Cancelled further operations.",
                           "zrLogText|Finished.\n",
                       }))
        << "menu answer " << choice;
  }
}

TEST_F(Menu, WithoutAVmrCreationWarnsTwiceAndReturnsFalse) {
  host().vmrOpen = false;
  answer({Answer::of(1)});
  EXPECT_FALSE(run());
  EXPECT_EQ(calls(), (std::vector<std::string>{
                         "zrShowLogTab",
                         "zrLogText|\nstimloom> Started...",
                         std::string("zrGetIntegerInput|") + kMenuPrompt + "|1|1|3",
                         std::string("zrMessageBox|") + kIntro,
                         "zrGetCurrentVMR",
                         "zrMessageBox|If no project is opened in Mirovane, the conditions cannot be added to the "
                         "protocol.",
                         "zrLogText|No VMR present, action canceled.",
                     }));
}

TEST_F(Menu, CancellingTheFileDialogSkipsTheReader) {
  answer({Answer::of(1), Answer::cancel()});
  EXPECT_TRUE(run());
  const std::vector<std::string> all = calls();
  const std::vector<std::string> tail(all.end() - 3, all.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "zrGetOpenFileName|Please select the Presentation Log file||Presentation log file (*.log)",
                      "zrLogText|Cancelled further operations.",
                      "zrLogText|Finished.\n",
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
    EXPECT_EQ(spelled(*asked), "zrGetIntegerInput|" + prompt + "|0|0|3000000") << "unit " << unit;
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

TEST_F(Menu, SortLogsSuccessEvenForARejectedAnswer) {
  testing::TempDir dir;
  const std::string path = savedSample(dir);
  answer({Answer::of(3), Answer::of("9,9")});
  EXPECT_TRUE(run());
  EXPECT_TRUE(host().savedPaths.empty());
  EXPECT_EQ(logPane().end()[-2], "Plugin operations finished successfully.");
  EXPECT_EQ(logPane().back(), "Finished.\n");
}

// The stand-in host seen without some of its exports.
class HostWithout final : public ModuleLookup {
 public:
  explicit HostWithout(std::vector<std::string> hidden) : hidden_(std::move(hidden)) {}
  const void* findModule(const char* fileName) const override { return platformModuleLookup().findModule(fileName); }
  HostSymbol findSymbol(const void* module, const char* exportName) const override {
    if (std::find(hidden_.begin(), hidden_.end(), exportName) != hidden_.end()) return nullptr;
    return platformModuleLookup().findSymbol(module, exportName);
  }

 private:
  std::vector<std::string> hidden_;
};

TEST_F(Menu, MissingMenuDialogIsReportedAndTheRunFinishes) {
  EXPECT_TRUE(runMenu(HostWithout({"zrGetIntegerInput"})));
  EXPECT_EQ(logPane(), (std::vector<std::string>{
                           "\nstimloom> Started...",
                           "The host does not offer zrGetIntegerInput: cannot show the menu. Nothing was changed.",
                           "Finished.\n",
                       }));
}

TEST_F(Menu, MissingOperationDialogsAreReportedBeforeAnyOtherCall) {
  answer({Answer::of(2)});
  EXPECT_TRUE(runMenu(HostWithout({"zrYesNoMessageBox"})));
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
  EXPECT_TRUE(runMenu(HostWithout({"zrLogText", "zrShowLogTab"})));
  EXPECT_EQ(callNames(), std::vector<std::string>{"zrGetIntegerInput"});
}

}  // namespace
}  // namespace stimloom
