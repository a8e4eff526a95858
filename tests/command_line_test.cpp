#include "console/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "standin/terminal_dialogs.h"

namespace standin {
namespace {

using console::Command;
using console::ExportFormat;
using console::ParsedCommandLine;
using console::Program;

ParsedCommandLine hostCommandLine(const std::vector<std::string>& arguments) {
  return console::parseCommandLine(Program::kStandinHost, arguments);
}

TEST(CommandLine, SubcommandsAndTheirOptions) {
  const auto convert = hostCommandLine({"--plugin", "p.so", "convert", "--subject-column", "--tr", "1500",
                                        "--duration-rule", "2", "a.log", "b.log", "--log-pane", "pane.txt"});
  ASSERT_EQ(convert.error, "");
  EXPECT_EQ(convert.options.command, Command::kConvert);
  EXPECT_EQ(convert.options.pluginPath, "p.so");
  EXPECT_EQ(convert.options.logPanePath, "pane.txt");  // accepted after the subcommand too
  EXPECT_TRUE(convert.options.subjectColumn);
  EXPECT_EQ(convert.options.tr, 1500);
  EXPECT_EQ(convert.options.durationRule, 2);
  EXPECT_EQ(convert.options.logs, (std::vector<std::string>{"a.log", "b.log"}));

  const auto shift = hostCommandLine({"shift", "--protocol", "r.prt", "--amount", "500", "--subtract"});
  ASSERT_EQ(shift.error, "");
  EXPECT_EQ(shift.options.amount, 500);
  EXPECT_EQ(shift.options.subtract, true);

  const auto plain = hostCommandLine({"--answers", "1,,2000", "--no-vmr"});
  ASSERT_EQ(plain.error, "");
  EXPECT_EQ(plain.options.command, Command::kRun);
  EXPECT_TRUE(plain.options.scripted);
  EXPECT_TRUE(plain.options.noVmr);
  EXPECT_EQ(plain.options.answers, (std::vector<std::string>{"1", "", "2000"}));

  EXPECT_EQ(hostCommandLine({"sort", "--protocol", "r.prt", "--order", "3,1,2"}).options.order, "3,1,2");
  EXPECT_EQ(hostCommandLine({"convert", "a.log"}).options.subjectColumn, std::nullopt);  // from each log's header
  EXPECT_EQ(hostCommandLine({"convert", "--no-subject-column", "a.log"}).options.subjectColumn, false);

  // Program options keep working before and after a command, and the run options are the same for export and plot.
  for (const char* command : {"export", "plot"}) {
    const auto run = hostCommandLine({"--plugin",        "p.so",  command,        "--no-subject-column",
                                      "--duration-rule", "2",     "--zero",       "log",
                                      "--dummy-volumes", "4",     "--pulse-code", "99",
                                      "--conditions",    "c.tsv", "a.log",        "--out",
                                      "events",          "b.prt", "--log-pane",   "pane.txt"});
    ASSERT_EQ(run.error, "") << command;
    EXPECT_EQ(run.options.pluginPath, "p.so");
    EXPECT_EQ(run.options.logPanePath, "pane.txt");
    EXPECT_EQ(run.options.run.subjectColumn, false);
    EXPECT_EQ(run.options.run.durationRule, 2);
    EXPECT_FALSE(run.options.run.zeroAtFirstPulse);
    EXPECT_EQ(run.options.run.dummyVolumes, 4);
    EXPECT_EQ(run.options.run.pulseCode, "99");
    EXPECT_EQ(run.options.run.conditionsPath, "c.tsv");
    EXPECT_EQ(run.options.run.outDir, "events");
    EXPECT_EQ(run.options.run.inputs, (std::vector<std::string>{"a.log", "b.prt"}));
  }
  const auto bids = hostCommandLine({"export", "--format", "bids", "--bids-root", "ds", "--subject", "01", "--task",
                                     "flanker", "--session", "pre", "--run", "2", "a.log"});
  ASSERT_EQ(bids.error, "");
  EXPECT_EQ(bids.options.command, Command::kExport);
  EXPECT_EQ(bids.options.bids.root, "ds");
  EXPECT_EQ(bids.options.bids.session, "pre");
  EXPECT_EQ(hostCommandLine({"export", "--format", "afni", "--prefix", "study", "a.log"}).options.format,
            ExportFormat::kAfni);
  EXPECT_EQ(hostCommandLine({"convert", "x.log", "--help"}).options.command, Command::kHelp);
  EXPECT_EQ(hostCommandLine({"--version"}).options.command, Command::kVersion);
}

TEST(CommandLine, WrongUsageIsNamed) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"convert"}, "convert needs at least one log file"},
      {{"convert", "--tr", "0", "a.log"}, "--tr: needs a whole number of milliseconds from 1 to 100000"},
      {{"convert", "--tr", "12x", "a.log"}, "--tr: needs a whole number of milliseconds from 1 to 100000"},
      {{"convert", "--duration-rule", "3", "a.log"}, "--duration-rule: needs 1 (until the next event) or 2"},
      {{"convert", "--subject-column", "--no-subject-column", "a.log"}, "--subject-column excludes"},
      {{"shift", "--amount", "5", "--add"}, "shift needs --protocol FILE"},
      {{"shift", "--protocol", "r.prt", "--add"}, "shift needs --amount N"},
      {{"shift", "--protocol", "r.prt", "--amount", "-1", "--add"}, "--amount: needs a whole number from 0 to 3000000"},
      {{"shift", "--protocol", "r.prt", "--amount", "5"}, "shift needs --subtract or --add"},
      {{"shift", "--protocol", "r.prt", "--amount", "5", "--add", "--subtract"}, "--subtract excludes --add"},
      {{"sort", "--protocol", "r.prt"}, "sort needs --order"},
      {{"--plugin"}, "--plugin: 1 required TEXT missing"},
      {{"--frobnicate"}, "The following argument was not expected: --frobnicate"},
      {{"info", "extra"}, "The following argument was not expected: extra"},
      {{"--answers-file", "/nonexistent/answers.txt"}, "/nonexistent/answers.txt: cannot be opened"},
      {{"export"}, "export needs at least one log or protocol file"},
      {{"export", "--zero", "second-pulse", "a.log"}, "--zero: second-pulse not in {first-pulse,log}"},
      {{"export", "--dummy-volumes", "-1", "a.log"}, "--dummy-volumes: needs a whole number of volumes"},
      {{"export", "--format", "csv", "a.log"}, "--format: csv not in {bids,fsl,afni,spm}"},
      {{"export", "--bids-root", "ds", "--task", "x", "a.log"}, "--bids-root needs --subject S and --task T"},
      {{"export", "--bids-root", "ds", "--subject", "01", "--task", "x", "a.log", "b.log"},
       "--bids-root takes one input"},
      {{"export", "--subject", "01", "a.log"}, "--subject, --task, --session and --run go with --bids-root DIR"},
      {{"export", "--bids-root", "ds", "--subject", "0_1", "--task", "x", "a.log"}, "--subject needs a label"},
      {{"export", "--format", "afni", "--prefix", "glm/study", "a.log"}, "--prefix needs the start of a file name"},
      {{"export", "--format", "afni", "--prefix", "glm\\study", "a.log"}, "--prefix needs the start of a file name"},
      {{"plot"}, "plot needs at least one log or protocol file"},
  };
  for (const auto& [arguments, error] : cases) {
    const auto parsed = hostCommandLine(arguments);
    EXPECT_EQ(parsed.error.substr(0, error.size()), error) << "got: " << parsed.error;
  }
}

// stimloom has export and plot only, with the stand-in host's options for
// them, taken into the same fields; the options of running the plug-in are
// no options of it.
TEST(CommandLine, StimloomTakesExportAndPlotAsTheStandinHostDoes) {
  const std::vector<std::vector<std::string>> shared = {
      {"export", "--format", "spm", "--dummy-volumes", "3", "--zero", "log", "--pulse-code", "99", "--conditions",
       "c.tsv", "--out", "glm", "--no-subject-column", "--duration-rule", "2", "a.log", "b.log"},
      {"plot", "a.log", "--out", "pictures"},
      {"export", "--bids-root", "ds", "--subject", "01", "--task", "flanker", "--run", "2", "a.log"},
  };
  for (const auto& arguments : shared) {
    const auto stimloom = console::parseCommandLine(Program::kStimloom, arguments);
    const auto host = hostCommandLine(arguments);
    ASSERT_EQ(stimloom.error, "");
    ASSERT_EQ(host.error, "");
    EXPECT_EQ(stimloom.options.command, host.options.command);
    EXPECT_EQ(stimloom.options.format, host.options.format);
    EXPECT_EQ(stimloom.options.run.inputs, host.options.run.inputs);
    EXPECT_EQ(stimloom.options.run.outDir, host.options.run.outDir);
    EXPECT_EQ(stimloom.options.run.dummyVolumes, host.options.run.dummyVolumes);
    EXPECT_EQ(stimloom.options.run.zeroAtFirstPulse, host.options.run.zeroAtFirstPulse);
    EXPECT_EQ(stimloom.options.run.subjectColumn, host.options.run.subjectColumn);
    EXPECT_EQ(stimloom.options.run.durationRule, host.options.run.durationRule);
    EXPECT_EQ(stimloom.options.run.pulseCode, host.options.run.pulseCode);
    EXPECT_EQ(stimloom.options.run.conditionsPath, host.options.run.conditionsPath);
    EXPECT_EQ(stimloom.options.bids.subject, host.options.bids.subject);
    EXPECT_EQ(stimloom.options.bids.run, host.options.bids.run);
    EXPECT_EQ(stimloom.options.program, Program::kStimloom);
    EXPECT_EQ(host.options.program, Program::kStandinHost);
  }
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{}, "give a command: export, plot or check"},
      {{"convert", "a.log"}, "not expected: a.log convert"},
      {{"--plugin", "p.so", "export", "a.log"}, "not expected: p.so --plugin"},
      {{"info"}, "not expected: info"},
      {{"plot"}, "plot needs at least one log or protocol file"},
  };
  for (const auto& [arguments, error] : refused) {
    const auto parsed = console::parseCommandLine(Program::kStimloom, arguments);
    EXPECT_NE(parsed.error.find(error), std::string::npos) << "got: " << parsed.error;
  }
}

// The terminal's answers, with what the dialogs printed.
class Terminal : public ::testing::Test {
 protected:
  void SetUp() override { out_ = std::tmpfile(); }
  void TearDown() override { std::fclose(out_); }
  TerminalResponder on(const std::string& typed) {
    in_.clear();
    in_.str(typed);
    return TerminalResponder(in_, out_);
  }
  std::string shown() {
    std::fflush(out_);
    std::rewind(out_);
    std::string text;
    for (int c = std::fgetc(out_); c != EOF; c = std::fgetc(out_)) text += static_cast<char>(c);
    return text;
  }

 private:
  std::istringstream in_;
  std::FILE* out_ = nullptr;
};

TEST_F(Terminal, IntegerDialogTakesTheDefaultEnforcesBoundsAndCancelsAtEnd) {
  EXPECT_EQ(on("\n").integer("Pick<BR>one", 2000, 1, 100000), 2000);
  EXPECT_EQ(on("0\nabc\n4\n3\n").integer("Pick", 1, 1, 3), 3);
  EXPECT_EQ(on("").integer("Pick", 1, 1, 3), std::nullopt);
  EXPECT_EQ(on("7").integer("Pick", 1, 1, 3), std::nullopt);  // out of bounds, then the input ends
  const std::string text = shown();
  EXPECT_NE(text.find("Pick\none\n(1 to 100000) [2000]: "), std::string::npos) << text;
  EXPECT_NE(text.find("Please enter a whole number from 1 to 3."), std::string::npos);
}

TEST_F(Terminal, OtherDialogs) {
  EXPECT_TRUE(on("maybe\ny\n").yesNo("Subtract?"));
  EXPECT_FALSE(on("").yesNo("Subtract?"));
  EXPECT_EQ(on("\n").text("Order?", "1,2,3"), "1,2,3");
  EXPECT_EQ(on("3,1,2\r\n").text("Order?", "1,2,3"), "3,1,2");
  EXPECT_EQ(on("").text("Order?", "1,2,3"), std::nullopt);
  EXPECT_EQ(on("/data/run1.log\n").openFile("Log?", "", "*.log"), "/data/run1.log");
  EXPECT_EQ(on("\n").openFile("Log?", "", "*.log"), std::nullopt);
}

TEST(RichText, TagsBecomeLineBreaks) {
  EXPECT_EQ(renderRichText("a<P>b<BR>c<br>d"), "a\n\nb\nc<br>d");
  EXPECT_EQ(renderRichText("<BR"), "<BR");
}

}  // namespace
}  // namespace standin
