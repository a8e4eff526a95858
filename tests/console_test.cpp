// stimloom-host run as a program: the plug-in library loaded for real, its
// exports and the host-module lookup exercised as in the desktop host.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "standin/protocol_store.h"
#include "tests/program_run.h"
#include "tests/standin_fixture.h"

namespace stimloom {
namespace {

using testing::readFile;
using testing::TempDir;

using testing::Outcome;
using testing::quoted;

class Console : public ::testing::Test {
 protected:
  // `prefix` runs the program under another command, eg as another user.
  Outcome host(const std::vector<std::string>& arguments, const std::string& typed = "",
               const std::string& prefix = "") {
    return testing::runProgram(dir_, STIMLOOM_HOST_PATH, arguments, typed, prefix);
  }
  std::string exampleLog(const std::string& name) {
    const std::string path = dir_.file(name);
    std::filesystem::copy_file(STIMLOOM_EXAMPLE_LOG, path);
    return path;
  }
  TempDir dir_;
};

TEST_F(Console, HelpVersionAndWrongUsage) {
  const Outcome help = host({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: stimloom-host"), std::string::npos);
  const Outcome exportHelp = host({"export", "--help"});
  EXPECT_EQ(exportHelp.status, 0);
  EXPECT_NE(exportHelp.out.find("--dummy-volumes"), std::string::npos) << exportHelp.out;
  EXPECT_EQ(host({"--version"}).out, "stimloom-host 0.8.7\n");
  const Outcome wrong = host({"shift", "--amount", "5"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.err.find("stimloom-host: shift needs --protocol FILE"), std::string::npos);
  const Outcome noPlugin = host({"--plugin", dir_.file("missing.so"), "info"});
  EXPECT_EQ(noPlugin.status, 1);
  EXPECT_NE(noPlugin.err.find("cannot load " + dir_.file("missing.so")), std::string::npos);
}

TEST_F(Console, InfoShowsWhatThePluginSaysAboutItself) {
  const Outcome info = host({"info"});
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.out.rfind("stimloom (v0.8.7)\n~~~ stimloom (v0.8.7) ~~~\nGenerates", 0), 0u) << info.out;
}

TEST_F(Console, ConvertWritesEachProtocolBesideItsLogAndReportsFailuresByName) {
  const std::string first = exampleLog("first.log");
  const std::string second = exampleLog("second.log");
  const std::string missing = dir_.file("missing.log");
  const Outcome outcome = host({"convert", first, missing, second, "--subject-column"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("not converted: " + missing), std::string::npos) << outcome.err;
  for (const std::string& log : {first, second}) {
    const std::string protocolPath = dir_.file(std::filesystem::path(log).stem().string() + ".prt");
    const standin::Protocol protocol = testing::loadedProtocol(protocolPath);
    EXPECT_EQ(protocol.timeResolution, 2);
    EXPECT_GT(protocol.conditions.size(), 1u);
    EXPECT_NE(
        outcome.out.find("converted " + log + ": " + std::to_string(protocol.conditions.size()) + " conditions, "),
        std::string::npos)
        << outcome.out;
    EXPECT_NE(outcome.out.find(" -> " + protocolPath + " (layout: a Subject column (as asked))\n"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.file("missing.prt")));
  EXPECT_NE(outcome.out.find("\nstimloom> Started..."), std::string::npos);  // the log pane
}

TEST_F(Console, ShiftAndSortEditASavedProtocol) {
  const std::string log = exampleLog("run1.log");
  ASSERT_EQ(host({"convert", "--subject-column", log}).status, 0);
  const std::string protocolPath = dir_.file("run1.prt");
  const standin::Protocol before = testing::loadedProtocol(protocolPath);
  ASSERT_GE(before.conditions.size(), 2u);

  const Outcome shifted = host({"shift", "--protocol", protocolPath, "--amount", "500", "--add"});
  EXPECT_EQ(shifted.status, 0) << shifted.err;
  const standin::Protocol after = testing::loadedProtocol(protocolPath);
  ASSERT_EQ(after.conditions.size(), before.conditions.size());
  EXPECT_EQ(after.conditions[0].starts[0], before.conditions[0].starts[0] + 500);
  EXPECT_EQ(after.conditions[0].ends[0], before.conditions[0].ends[0] + 500);

  std::string reversed;
  for (std::size_t n = before.conditions.size(); n >= 1; --n) reversed += std::to_string(n) + (n > 1 ? "," : "");
  const Outcome sorted = host({"sort", "--protocol", protocolPath, "--order", reversed});
  EXPECT_EQ(sorted.status, 0) << sorted.err;
  const standin::Protocol sortedProtocol = testing::loadedProtocol(protocolPath);
  ASSERT_EQ(sortedProtocol.conditions.size(), after.conditions.size());
  EXPECT_EQ(sortedProtocol.conditions.front(), after.conditions.back());
  EXPECT_EQ(sortedProtocol.conditions.back(), after.conditions.front());
}

TEST_F(Console, AMalformedProtocolIsRefusedAndLeftAlone) {
  const std::string path = dir_.write("bad.prt", "stimloom stand-in protocol, version 1\nFileName: x\n");
  const Outcome outcome = host({"shift", "--protocol", path, "--amount", "5", "--add"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find(path + ":3: the file ends early"), std::string::npos) << outcome.err;
  EXPECT_EQ(readFile(path), "stimloom stand-in protocol, version 1\nFileName: x\n");
}

TEST_F(Console, InteractiveRunAsksOnTheTerminalAndTakesDefaults) {
  const std::string log = exampleLog("typed.log");
  const Outcome outcome = host({}, "1\n" + log + "\n2\n\n\n");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_NE(outcome.err.find("Please select an option:\n\n1 = Create stimulation protocol"), std::string::npos)
      << outcome.err;
  EXPECT_NE(outcome.err.find("What is the TR in milliseconds?\n(1 to 100000) [2000]: "), std::string::npos);
  EXPECT_NE(outcome.out.find("Plugin operations finished successfully.\nFinished.\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir_.file("typed.prt")));
}

TEST_F(Console, EndOfInputCancelsAndNoVmrStopsCreation) {
  const Outcome cancelled = host({}, "1\n");
  EXPECT_EQ(cancelled.status, 0);
  EXPECT_NE(cancelled.out.find("Cancelled further operations.\nFinished.\n"), std::string::npos) << cancelled.out;

  const Outcome noVmr = host({"--no-vmr", "--answers", "1"});
  EXPECT_EQ(noVmr.status, 1);
  EXPECT_NE(noVmr.out.find("No VMR present, action canceled.\n"), std::string::npos);
  EXPECT_NE(noVmr.err.find("[Mirovane ZR] If no project is opened in Mirovane"), std::string::npos);
}

// What the program says, and its exit status, match what happened on disk.
TEST_F(Console, OnlyWhatWasDoneIsReportedAsDone) {
  const std::string binary = dir_.file("x.log");
  std::filesystem::copy_file("/bin/ls", binary);
  const std::string empty = dir_.write("empty.log", "");
  for (const std::string& log : {binary, empty}) {
    const Outcome outcome = host({"convert", log});
    EXPECT_EQ(outcome.status, 1) << log;
    EXPECT_NE(outcome.out.find("Error while reading Presentation file " + log + ": "), std::string::npos);
    EXPECT_EQ(outcome.out.find("Plugin operations finished successfully."), std::string::npos) << outcome.out;
    EXPECT_FALSE(std::filesystem::exists(log.substr(0, log.size() - 4) + ".prt"));
  }

  const std::string log = exampleLog("run1.log");
  ASSERT_EQ(host({"convert", "--subject-column", log}).status, 0);
  const std::string protocol = dir_.file("run1.prt");
  const std::string converted = readFile(protocol);
  const Outcome refused = host({"sort", "--protocol", protocol, "--order", "9,9,9"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out.find("Plugin operations finished successfully."), std::string::npos) << refused.out;
  const Outcome unchanged = host({"sort", "--protocol", protocol, "--order", "1,2,3,4,5,6,7,8"});
  EXPECT_EQ(unchanged.status, 0) << unchanged.err;
  EXPECT_NE(unchanged.out.find("already in that order; nothing was saved"), std::string::npos) << unchanged.out;
  EXPECT_EQ(readFile(protocol), converted);
}

TEST_F(Console, AFolderTheUserCannotWriteFailsTheConversion) {
  // Root writes anywhere: the program then runs as the unprivileged user nobody.
  const bool root = geteuid() == 0;
  std::filesystem::create_directory(dir_.file("locked"));
  const std::string log = dir_.file("locked/run1.log");
  std::filesystem::copy_file(STIMLOOM_EXAMPLE_LOG, log);
  std::filesystem::permissions(dir_.file("locked"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  std::filesystem::permissions(dir_.path(), std::filesystem::perms::others_all, std::filesystem::perm_options::add);
  const Outcome outcome =
      host({"convert", "--subject-column", log}, "", root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "");
  std::filesystem::permissions(dir_.file("locked"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  EXPECT_NE(outcome.out.find("The protocol could not be saved as " + dir_.file("locked/run1.prt") + ": the folder " +
                             dir_.file("locked") + " cannot be written."),
            std::string::npos)
      << outcome.out;
  EXPECT_EQ(outcome.out.find("Protocol generated from Presentation Log file."), std::string::npos);
  EXPECT_EQ(outcome.out.find("Plugin operations finished successfully."), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("locked/run1.prt")));
}

TEST_F(Console, ConvertTakesTheLayoutFromTheLogsColumnHeader) {
  const std::string log = exampleLog("run1.log");  // it has a Subject column
  const Outcome found = host({"convert", log});
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_NE(found.out.find("(layout: a Subject column (its column header, line 4))"), std::string::npos) << found.out;
  EXPECT_EQ(testing::loadedProtocol(dir_.file("run1.prt")).conditions.size(), 8u);
  // Its header names the columns: it decides, and the log pane says so.
  const Outcome overruled = host({"convert", "--no-subject-column", log});
  EXPECT_EQ(overruled.status, 0) << overruled.err;
  EXPECT_NE(overruled.out.find("(layout: a Subject column (its column header, line 4, not as asked))"),
            std::string::npos)
      << overruled.out;
  EXPECT_NE(overruled.out.find("The column header on line 4 has a Subject column: the columns are read by the names "
                               "it gives them, not as answered to \"Which fields are in the log file?\".\n"),
            std::string::npos);
  EXPECT_EQ(testing::loadedProtocol(dir_.file("run1.prt")).conditions.size(), 8u);
}

// Bad input fails that input, with its name and why, and the others are still exported.
TEST_F(Console, ExportNamesEachInputThatFailsAndExportsTheOthers) {
  const std::string good = exampleLog("run1.log");
  const std::string missing = dir_.file("missing.log");
  const std::string binary = dir_.file("x.log");
  std::filesystem::copy_file("/bin/ls", binary);
  const std::string folder = dir_.file("folder.log");
  std::filesystem::create_directory(folder);
  const Outcome outcome = host({"export", missing, binary, good, folder});
  EXPECT_EQ(outcome.status, 1);
  for (const std::string& line : {
           "stimloom-host: not exported: " + missing + ": No such file or directory\n",
           "stimloom-host: not exported: " + binary +
               ": line 1 holds a NUL byte: it is not a Presentation log, "
               "which is text\n",
           "stimloom-host: not exported: " + folder + ": is a folder, not a log or a protocol\n",
       }) {
    EXPECT_NE(outcome.err.find(line), std::string::npos) << line << outcome.err;
  }
  EXPECT_NE(outcome.out.find("exported " + good + ": 46 events in 8 conditions"), std::string::npos) << outcome.out;
  EXPECT_TRUE(std::filesystem::exists(dir_.file("run1_events.tsv")));
  EXPECT_TRUE(std::filesystem::exists(dir_.file("run1_events.json")));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("x_events.tsv")));

  const std::string conditions = dir_.write("conditions.tsv", "code\tcondition\nfixation\n");
  const Outcome malformed = host({"export", "--conditions", conditions, good});
  EXPECT_EQ(malformed.status, 1);
  EXPECT_NE(malformed.err.find(conditions + ":2: expected a code and a condition separated by one tab"),
            std::string::npos)
      << malformed.err;

  // Two runs of one name into one folder: the later would replace the earlier's files.
  std::filesystem::create_directory(dir_.file("second"));
  const std::string twin = dir_.file("second/run1.log");
  std::filesystem::copy_file(good, twin);
  const Outcome twins = host({"export", "--out", dir_.file("events"), good, twin});
  EXPECT_EQ(twins.status, 1);
  EXPECT_NE(twins.err.find("not exported: " + twin + ": its events file would replace that of " + good),
            std::string::npos)
      << twins.err;
  EXPECT_NE(readFile(dir_.file("events/run1_events.json")).find("\"Source\": \"" + good + "\""), std::string::npos);

  const std::string notAFolder = dir_.write("out", "a file where the folder should be");
  const Outcome unwritable = host({"export", "--out", notAFolder, good});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("not exported: " + good + ": " + notAFolder + ": is not a folder"), std::string::npos)
      << unwritable.err;
  EXPECT_EQ(readFile(notAFolder), "a file where the folder should be");
}

TEST_F(Console, ExportWritesIntoABidsDatasetAndFromASavedProtocol) {
  const std::string log = exampleLog("run1.log");
  ASSERT_EQ(host({"convert", log}).status, 0);
  const Outcome outcome = host({"export", "--bids-root", dir_.file("dataset"), "--subject", "01", "--session", "pre",
                                "--task", "flanker", "--run", "1", dir_.file("run1.prt")});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  const std::string tsv =
      readFile(dir_.file("dataset/sub-01/ses-pre/func/sub-01_ses-pre_task-flanker_run-1_events.tsv"));
  EXPECT_EQ(tsv.substr(0, tsv.find('\n')), "onset\tduration\ttrial_type\tvalue\tevent_type");
  EXPECT_NE(tsv.find("\tn/a\tn/a\n"), std::string::npos) << "a protocol has no codes or event types";

  // A protocol in volumes has no times to export.
  standin::Protocol volumes = testing::loadedProtocol(dir_.file("run1.prt"));
  volumes.timeResolution = 1;
  std::string error;
  ASSERT_TRUE(standin::saveProtocolFile(volumes, dir_.file("volumes.prt"), error)) << error;
  const Outcome refused = host({"export", dir_.file("volumes.prt")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("the protocol is timed in volumes"), std::string::npos) << refused.err;
}

// Types are matched exactly as the log writes them: a type no input holds is named, with those found.
TEST_F(Console, EventTypesChooseTheRowsOfExportAndPlot) {
  const std::string log = exampleLog("run1.log");
  const Outcome pulses = host({"export", "--event-types", "Pulse,picture", "--out", dir_.file("events"), log});
  EXPECT_EQ(pulses.status, 0) << pulses.err;
  // The example's table holds 5 Pulse, 32 Picture, 13 Response (codes 1 and 2) and 1 Sound rows.
  EXPECT_NE(pulses.out.find("exported " + log + ": 5 events in 1 condition"), std::string::npos) << pulses.out;
  EXPECT_NE(pulses.err.find("stimloom-host: warning: --event-types: no input holds events of type \"picture\"; the "
                            "types found: Pulse, Picture, Response, Sound\n"),
            std::string::npos)
      << pulses.err;
  const Outcome plotted = host({"plot", "--event-types", "Response", "--out", dir_.file("events"), log});
  EXPECT_NE(plotted.out.find("plotted " + log + ": 13 events in 2 conditions"), std::string::npos) << plotted.out;
  const Outcome refused = host({"export", "--event-types", "Picture,,Response", log});
  EXPECT_EQ(refused.status, 2) << "wrong usage";
  EXPECT_NE(refused.err.find("needs event types separated by commas"), std::string::npos) << refused.err;
}

TEST_F(Console, PlotDrawsEachRunAndNamesThoseItCannot) {
  const std::string log = exampleLog("run1.log");
  const std::string noPulse = dir_.write("quiet.log",
                                         "Scenario - quiet\nLogfile written - 01/02/2026\n\n"
                                         "Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\n\n"
                                         "1\tPicture\t<b> & \"quoted\"\t10000\t0\t1\t5000\n");
  const std::string missing = dir_.file("missing.log");
  const Outcome outcome = host({"plot", log, missing, noPulse, "--out", dir_.file("pictures")});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("stimloom-host: not plotted: " + missing + ": No such file or directory"),
            std::string::npos)
      << outcome.err;
  EXPECT_NE(outcome.out.find("plotted " + log + ": 46 events in 8 conditions -> " + dir_.file("pictures/run1.svg")),
            std::string::npos)
      << outcome.out;
  EXPECT_NE(outcome.out.find("plotted " + noPulse + ": 1 event in 1 condition, from the log's own zero"),
            std::string::npos);
  const std::string quiet = readFile(dir_.file("pictures/quiet.svg"));
  EXPECT_NE(quiet.find("No scanner pulse in this log"), std::string::npos) << "the note is in the picture";
  EXPECT_NE(quiet.find("&lt;b&gt; &amp; &quot;quoted&quot;"), std::string::npos);
  EXPECT_EQ(quiet.find("<b>"), std::string::npos);
  const std::string first = readFile(dir_.file("pictures/run1.svg"));
  ASSERT_EQ(host({"plot", log, "--out", dir_.file("pictures")}).status, 0);
  EXPECT_EQ(readFile(dir_.file("pictures/run1.svg")), first) << "the same log gives the same picture";
  EXPECT_FALSE(std::filesystem::exists(dir_.file("pictures/run1.svg.saving")));
}

TEST_F(Console, LogPaneCanGoToAFile) {
  const std::string pane = dir_.file("pane.txt");
  const Outcome outcome = host({"--answers", "4", "--log-pane", pane});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(readFile(pane),
            "\nstimloom> Started...\nNo valid option selected.\nCancelled further operations.\nFinished.\n\n");
}

}  // namespace
}  // namespace stimloom
