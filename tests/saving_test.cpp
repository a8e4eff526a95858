// Every save of a protocol is checked as far as the file system can tell:
// before, that the target can be written; after, that a file is there. A
// failed check is said in the log pane, leaves no success line, and counts as
// the operation's failure.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "host/operations.h"
#include "plugin/menu.h"
#include "standin/protocol_store.h"
#include "standin/scripted_runs.h"
#include "tests/standin_fixture.h"

namespace stimloom::testing {
namespace {

using standin::Answer;

constexpr const char* kSucceeded = "Plugin operations finished successfully.";

constexpr const char* kLog =
    "Scenario - small\nLogfile written - 01/02/2026 09:00:00\n\n"
    "Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\n\n"
    "1\tPicture\tX\t10000\t0\t1\t3000\n"
    "2\tPicture\tY\t15000\t5000\t1\t3000\n";

// A host that takes every save without writing anything.
class HostThatWritesNothing final : public FileAccess {
 public:
  std::optional<std::string> whyNotWritable(const std::string&) override { return std::nullopt; }
  bool exists(const std::string&) override { return false; }
};

class Saving : public StandinTest {
 protected:
  // A saved protocol, opened in the host, as the edits find it.
  void openSample(const std::string& path) {
    host().protocol = {};
    host().protocol.fileName = path;
    host().protocol.timeResolution = 2;
    host().protocol.conditions = {storedCondition("A", 1, {{1000, 3000}}), storedCondition("B", 2, {{4000, 5000}})};
    std::string error;
    ASSERT_TRUE(standin::saveProtocolFile(host().protocol, path, error)) << error;
  }
  bool said(const std::string& line) { return std::find(logPane().begin(), logPane().end(), line) != logPane().end(); }
  TempDir dir;
};

// The three operations, each refused by a target that cannot be written,
// before anything in the host or on disk changes.
TEST_F(Saving, AnUnwritableTargetStopsEveryOperationBeforeItChangesAnything) {
  struct Case {
    const char* what;
    std::vector<Answer> answers;
    std::string target;
  };
  const std::string log = dir.write("run1.log", kLog);
  const std::string protocol = dir.file("run1.prt");
  const std::vector<Case> cases = {
      {"create", standin::conversionAnswers(log, false), protocol},
      {"shift", standin::shiftAnswers(500, true), protocol},
      {"sort", standin::sortAnswers("2,1"), protocol},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    standin::resetHost();
    keepFilesInMemory();
    host().memoryFiles->emplace(log, kLog);
    if (std::string(c.what) != "create") {
      openSample(protocol);  // on disk; and in memory:
      (*host().memoryFiles)[protocol] = standin::formatProtocol(host().protocol);
    }
    memoryFiles().unwritable[c.target] = "the folder " + dir.path().string() + " cannot be written";
    const standin::Protocol before = host().protocol;
    const std::string fileBefore = host().memoryFiles->count(protocol) ? host().memoryFiles->at(protocol) : "";
    answer(c.answers);
    EXPECT_TRUE(runMenu());
    EXPECT_TRUE(said("The protocol could not be saved as " + c.target + ": the folder " + dir.path().string() +
                     " cannot be written."));
    EXPECT_FALSE(said(kSucceeded));
    EXPECT_FALSE(said("Protocol generated from Presentation Log file."));
    EXPECT_TRUE(host().savedPaths.empty());
    EXPECT_EQ(host().protocol, before);
    EXPECT_EQ(host().memoryFiles->count(protocol) ? host().memoryFiles->at(protocol) : "", fileBefore);
    memoryFiles().unwritable.clear();
  }
}

TEST_F(Saving, ASaveThatLeftNoFileIsAFailure) {
  const std::string log = dir.write("run1.log", kLog);
  HostThatWritesNothing files;
  const std::vector<std::pair<const char*, std::vector<Answer>>> cases = {
      {"create", standin::conversionAnswers(log, false)},
      {"shift", standin::shiftAnswers(0, false)},
      {"sort", standin::sortAnswers("2,1")},
  };
  for (const auto& [what, answers] : cases) {
    SCOPED_TRACE(what);
    standin::resetHost();
    if (std::string(what) != "create") openSample(dir.file("run1.prt"));
    answer(answers);
    EXPECT_TRUE(stimloom::runMenu(HostWithout(), files, records));
    EXPECT_TRUE(said("The protocol could not be saved as " + dir.file("run1.prt") + ": the host wrote no file there."));
    EXPECT_FALSE(said(kSucceeded));
  }
}

TEST_F(Saving, TheFileSystemSaysWhatIsWrongWithTheTarget) {
  // A protocol beside a log in a folder that is gone, and one whose name is a folder.
  std::filesystem::create_directory(dir.file("run2.prt"));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {dir.file("gone") + "/run1.log", "the folder " + dir.file("gone") + " does not exist"},
      {dir.file("run2.log"), "it is a folder"},
  };
  for (const auto& [log, why] : cases) {
    standin::resetHost();
    const std::string prt = log.substr(0, log.size() - 4) + ".prt";
    EXPECT_FALSE(createProtocol(logOf({{"A", 0, 10}}, log), 2000, 1));
    EXPECT_EQ(logPane().end()[-2], "The protocol could not be saved as " + prt + ": " + why + ".");
    EXPECT_EQ(logPane().back(), "Creating protocol did not succeed.");
    EXPECT_TRUE(host().protocol.conditions.empty()) << "nothing was built";
  }
}

// Rewriting the same bytes within the file system's time granularity is a save.
TEST_F(Saving, AShiftByNothingRewritesTheSameBytesAndSucceeds) {
  const std::string path = dir.file("run1.prt");
  openSample(path);
  const std::string before = readFile(path);
  answer(standin::shiftAnswers(0, true));
  EXPECT_TRUE(runMenu());
  EXPECT_EQ(logPane().end()[-2], kSucceeded);
  EXPECT_EQ(readFile(path), before);
  EXPECT_EQ(host().savedPaths, std::vector<std::string>{path});
}

}  // namespace
}  // namespace stimloom::testing
