#include "protocol/creation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/operations.h"
#include "standin/protocol_store.h"
#include "tests/call_text.h"
#include "tests/standin_fixture.h"
#include "util/file_names.h"

namespace stimloom::testing {
namespace {

PresentationLog logAt(const std::string& path, const std::vector<EventValue>& events) { return logOf(events, path); }

// A Windows path such as D:\study\run1.prt is one plain file name on this
// system: the test runs in a folder of its own so that the host's save lands there.
class InDirectory {
 public:
  explicit InDirectory(const std::filesystem::path& directory) : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(directory);
  }
  ~InDirectory() { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_;
};

// The header every created protocol carries, with its conditions still to add.
standin::Protocol expectedHeader(const std::string& fileName, const std::string& experimentName) {
  standin::Protocol protocol;
  protocol.fileName = fileName;
  protocol.experimentName = experimentName;
  protocol.timeResolution = 2;
  protocol.colour1 = 0;
  protocol.colour2 = 0x3F000BB8;
  protocol.colour3 = 0x3F000FA0;
  protocol.penThickness1 = 2;
  protocol.colour4 = 0x3F0007D0;
  protocol.penThickness2 = 2;
  return protocol;
}

using Creation = StandinTest;

TEST_F(Creation, NamesTheProtocolAfterTheLogAndHandsTheHeaderOverBeforeSaving) {
  TempDir dir;
  InDirectory inDir(dir.path());
  const PresentationLog log = logAt("D:\\study\\run1.log", {{"X", 10000, 0}, {"X", 21000, 3000}});
  ASSERT_TRUE(createProtocol(log, 2000, 1));
  EXPECT_EQ(callTexts(host()), (std::vector<std::string>{
                                   "zrLogText(Creating new protocol...)",
                                   "zrLogText(Creating protocol name:\n\n\tD:\\study\\run1_MSEC.prt\n)",
                                   "zrGetProtocol()",
                                   "zrLogText(Creating and preparing conditions and intervals lists...)",
                                   "zrLogText(Searching condition names...)",
                                   "zrAddProtocolCondition(X, 1057014613)",
                                   "zrAddProtocolConditionInterval(0, 1000, 2098)",
                                   "zrLogText(Added interval: 1000 - 2098, for condition: X)",
                                   "zrLogText(Last interval(s), computation based on Duration in protocol.)",
                                   "zrAddProtocolConditionInterval(0, 2100, 2400)",
                                   "zrLogText(Added interval: 2100 - 2400, for condition: X)",
                                   "zrLogText(Adding experiment name...)",
                                   "zrLogText(Setting colors and pen thickness...)",
                                   "zrSetProtocol(1, D:\\study\\run1.prt)",
                                   "zrSaveProtocol(D:\\study\\run1.prt)",
                                   "zrLogText(Protocol generated from Presentation Log file.)",
                               }));
  standin::Protocol expected = expectedHeader("D:\\study\\run1.prt", "run1");
  expected.conditions = {{"X", 0x3F00C355, {1000, 2100}, {2098, 2400}}};
  EXPECT_EQ(host().protocol, expected);
  EXPECT_EQ(testing::loadedProtocol(dir.file("D:\\study\\run1.prt")), expected) << "the file holds the new header";
}

TEST_F(Creation, ALogReadFromDiskBecomesAProtocolSavedBesideIt) {
  TempDir dir;
  const std::string path = dir.write("run1.log",
                                     "Scenario - flanker\r\nLogfile written - 03/14/2026 10:22:31\r\n\r\n"
                                     "Subject\tTrial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\r\n\r\n"
                                     "sub01\t1\tPicture\tcongruent left\t160445\t0\t1\t15000\t2\r\n"
                                     "sub01\t1\tResponse\tErrors incongruent: 27\t164658\t4213\t1\r\n"
                                     "sub01\t2\tPicture\tcongruent left\t180445\t0\t1\t15000\t2\r\n\r\n\r\n");
  const PresentationLog log = readPresentationLog(path, true);
  ASSERT_TRUE(createProtocol(log, 2000, 2));
  standin::Protocol expected = expectedHeader(dir.file("run1.prt"), "run1");
  expected.conditions = {{"congruent left", 0x3F00C355, {16044, 18044}, {17544, 19544}},
                         {"Errors incongruent: 27", 0x3F0186AA, {16465}, {16465}}};
  EXPECT_EQ(testing::loadedProtocol(dir.file("run1.prt")), expected);
  EXPECT_TRUE(host().hostErrors.empty());
}

TEST_F(Creation, ALogWithoutEventsGivesAnEmptyProtocolWithTheCompleteHeader) {
  TempDir dir;
  ASSERT_TRUE(createProtocol(logAt(dir.file("empty.log"), {}), 2000, 1));
  EXPECT_EQ(testing::loadedProtocol(dir.file("empty.prt")), expectedHeader(dir.file("empty.prt"), "empty"));
  EXPECT_EQ(host().protocol, expectedHeader(dir.file("empty.prt"), "empty"));
}

TEST_F(Creation, ALogWithoutEventsNeverReplacesAProtocolSavedBesideIt) {
  TempDir dir;
  const std::string existing = dir.write("run1.prt", "an earlier protocol\n");
  EXPECT_FALSE(createProtocol(logAt(dir.file("run1.log"), {}), 2000, 1));
  EXPECT_EQ(callTexts(host()), (std::vector<std::string>{
                                   "zrLogText(Creating new protocol...)",
                                   "zrLogText(Creating protocol name:\n\n\t" + dir.file("run1_MSEC.prt") + "\n)",
                                   "zrLogText(The log holds no events to convert, and " + existing +
                                       " already exists: it was left unchanged and nothing was created.)",
                                   "zrLogText(Creating protocol did not succeed.)",
                               }));
  EXPECT_EQ(readFile(existing), "an earlier protocol\n");

  standin::resetHost();
  EXPECT_TRUE(createProtocol(logAt(dir.file("run1.log"), {{"A", 0, 10}}), 2000, 1)) << "one event replaces it";
  EXPECT_EQ(testing::loadedProtocol(existing).conditions.size(), 1u);
}

TEST_F(Creation, StartsFromAnEmptyProtocolWhenTheHostHoldsConditions) {
  TempDir dir;
  const PresentationLog first = logAt(dir.file("run1.log"), {{"A", 0, 10}, {"B", 100, 10}});
  ASSERT_TRUE(createProtocol(first, 2000, 2));
  host().calls.clear();
  const PresentationLog second = logAt(dir.file("run2.log"), {{"B", 500, 10}});
  ASSERT_TRUE(createProtocol(second, 2000, 2));
  const std::vector<std::string> calls = callTexts(host());
  ASSERT_GE(calls.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(calls.begin() + 2, calls.begin() + 6),
            (std::vector<std::string>{
                "zrGetProtocol()",
                "zrLogText(The host's current protocol holds 2 condition(s): clearing it before the new one is built.)",
                "zrClearProtocol()",
                "zrLogText(Creating and preparing conditions and intervals lists...)",
            }));
  standin::Protocol expected = expectedHeader(dir.file("run2.prt"), "run2");
  expected.conditions = {{"B", 0x3F00C355, {50}, {51}}};
  EXPECT_EQ(testing::loadedProtocol(dir.file("run2.prt")), expected);
}

TEST_F(Creation, RefusesNamesThatDoNotFitTheHeaderAndTheLongTaggedNameIsOnlyLogged) {
  const std::string longFolder = "D:\\" + std::string(260, 'f') + "\\run1.log";
  const std::string longName = std::string(256, 'e') + ".log";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {longFolder, "The protocol file name \"" + replaceExtension(longFolder, ".prt") +
                       "\" has 272 characters, more than the 260 a protocol can hold: nothing was created or saved."},
      {longName, "The experiment name \"" + std::string(256, 'e') +
                     "\" has 256 characters, more than the 255 a protocol can hold: nothing was created or saved."},
  };
  for (const auto& [path, refusal] : cases) {
    standin::resetHost();
    EXPECT_FALSE(createProtocol(logAt(path, {{"A", 0, 10}}), 2000, 1));
    EXPECT_EQ(callNames(), std::vector<std::string>(4, "zrLogText")) << path;
    EXPECT_EQ(logPane().at(2), refusal);
    EXPECT_EQ(logPane().at(3), "Creating protocol did not succeed.");
  }

  // 259 characters saved, 264 in the name line
  // A file system keeps names far shorter than the host's paths: the host keeps these files in memory.
  standin::resetHost();
  keepFilesInMemory();
  const std::string nearLimit = "D:\\" + std::string(252, 'n') + ".log";
  ASSERT_TRUE(createProtocol(logAt(nearLimit, {}), 2000, 1));
  EXPECT_EQ(logPane().at(1), "Creating protocol name:\n\n\t" + replaceExtension(nearLimit, "_MSEC.prt") + "\n");
  EXPECT_EQ(host().protocol.fileName, replaceExtension(nearLimit, ".prt"));
}

TEST_F(Creation, CreatesNothingFromAnUnreadLogOrWithoutTheHostsProtocolFunctions) {
  PresentationLog unread = logAt("D:\\study\\run1.log", {});
  unread.readFailed = true;
  EXPECT_FALSE(createProtocol(unread, 2000, 1));
  EXPECT_EQ(callTexts(host()), std::vector<std::string>{
                                   "zrLogText(The Presentation log file could not be read: no protocol was created.)"});

  standin::resetHost();
  hide({"zrClearProtocol"});
  EXPECT_FALSE(createProtocol(logAt("D:\\study\\run1.log", {{"A", 0, 10}}), 2000, 1));
  EXPECT_EQ(callTexts(host()),
            std::vector<std::string>{"zrLogText(The host does not offer zrClearProtocol: cannot create a protocol. "
                                     "Nothing was changed.)"});
}

}  // namespace
}  // namespace stimloom::testing
