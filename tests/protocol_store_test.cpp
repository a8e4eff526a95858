#include "standin/protocol_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/standin_fixture.h"

namespace standin {
namespace {

using stimloom::testing::readFile;
using stimloom::testing::TempDir;

Protocol sample() {
  Protocol protocol;
  protocol.fileName = "D:\\study\\run1.prt";
  protocol.experimentName = "run 1 % done";
  protocol.timeResolution = 2;
  protocol.colour2 = 0x3F000BB8;
  protocol.penThickness1 = 2;
  protocol.colour4 = -5;
  StoredCondition a;
  a.name = "Errors incongruent: 27";
  a.colour = 0x3F00C355;
  a.starts = {0, 2100, -2147483647 - 1};
  a.ends = {1498, 2400, 2147483647};
  StoredCondition b;
  b.name = "odd\r\nname";
  protocol.conditions = {a, b};
  return protocol;
}

TEST(ProtocolStore, SavedProtocolLoadsBackExactly) {
  TempDir dir;
  const Protocol protocol = sample();
  std::string error;
  const std::string path = dir.file("run1.prt");
  ASSERT_TRUE(saveProtocolFile(protocol, path, error)) << error;
  Protocol loaded;
  ASSERT_TRUE(loadProtocolFile(path, loaded, error)) << error;
  EXPECT_EQ(loaded, protocol);
  EXPECT_EQ(std::vector<std::filesystem::path>(std::filesystem::directory_iterator(dir.path()), {}).size(), 1u)
      << "no temporary file stays behind";
}

TEST(ProtocolStore, FileIsPlainTextOneFieldPerLine) {
  const std::string text = formatProtocol(sample());
  EXPECT_EQ(text.substr(0, text.find("\n\nCondition")),
            "stimloom stand-in protocol, version 1\n"
            "FileName: D:\\study\\run1.prt\n"
            "ExperimentName: run 1 %25 done\n"
            "TimeResolution: 2\nColour1: 0\nColour2: 1056967608\nColour3: 0\nPenThickness1: 2\n"
            "Colour4: -5\nPenThickness2: 0\nNrOfConditions: 2");
  EXPECT_NE(text.find("\nCondition: Errors incongruent: 27\nColour: 1057014613\nNrOfIntervals: 3\n0 1498\n"),
            std::string::npos);
  EXPECT_NE(text.find("Condition: odd%0D%0Aname\n"), std::string::npos);
}

TEST(ProtocolStore, MalformedFilesAreRefusedWithFileAndLine) {
  const std::string good = formatProtocol(sample());
  struct Case {
    std::string text;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"", "p.prt:1: the file ends early; expected \"stimloom stand-in protocol"},
      {"hello\n", "p.prt:1: not a stand-in protocol file"},
      {good.substr(0, good.find("Colour1")), "p.prt:5: the file ends early; expected \"Colour1: ...\""},
      {good.substr(0, good.size() - 1), "p.prt:22: the last line has no line end"},
      {good + "extra\n", "p.prt:23: unexpected text after the last condition"},
      {std::string(good).replace(good.find("TimeResolution: 2"), 17, "TimeResolution: x"),
       "p.prt:4: TimeResolution is not a 32-bit integer"},
      {std::string(good).replace(good.find("2147483647"), 10, "2147483648"), "p.prt:18: expected an interval"},
      {std::string(good).replace(good.find("NrOfIntervals: 3"), 16, "NrOfIntervals: 4"),
       "p.prt:19: expected an interval"},
      {std::string(good).replace(good.find("%25"), 3, "%ZZ"), "p.prt:3: ExperimentName holds a '%'"},
  };
  for (const auto& c : cases) {
    Protocol protocol = sample();
    protocol.experimentName = "untouched";
    const ParseResult result = parseProtocol(c.text, "p.prt", protocol);
    EXPECT_FALSE(result.ok) << c.error;
    EXPECT_EQ(result.error.substr(0, c.error.size()), c.error) << result.error;
    EXPECT_EQ(protocol.experimentName, "untouched");
  }
}

TEST(ProtocolStore, CrlfFileLoadsLikeLf) {
  std::string text = formatProtocol(sample());
  std::string crlf;
  for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  Protocol protocol;
  ASSERT_TRUE(parseProtocol(crlf, "p.prt", protocol).ok);
  EXPECT_EQ(protocol, sample());
}

TEST(ProtocolStore, LoadingAFolderOrAMissingFileSaysSo) {
  TempDir dir;
  Protocol protocol;
  std::string error;
  EXPECT_FALSE(loadProtocolFile(dir.path().string(), protocol, error));
  EXPECT_NE(error.find("is a folder"), std::string::npos);
  EXPECT_FALSE(loadProtocolFile(dir.file("missing.prt"), protocol, error));
  EXPECT_NE(error.find("missing.prt: cannot be opened"), std::string::npos);
}

TEST(ProtocolStore, FailedSaveLeavesTheExistingFileWhole) {
  TempDir dir;
  const std::string path = dir.write("run1.prt", "previous\n");
  std::filesystem::create_directory(path + ".saving");  // the temporary cannot be written
  std::string error;
  EXPECT_FALSE(saveProtocolFile(sample(), path, error));
  EXPECT_EQ(readFile(path), "previous\n");
  EXPECT_FALSE(saveProtocolFile(sample(), "", error));
}

}  // namespace
}  // namespace standin
