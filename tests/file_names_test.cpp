#include "util/file_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "util/hex.h"

namespace stimloom {
namespace {

struct FileNameCase {
  const char* path;
  bool withoutExtension;
  bool appendDash;
  std::optional<std::string> expected;
};

TEST(FileNames, FileNameFromPathTakesTheNameAfterTheLastSeparator) {
  const std::vector<FileNameCase> cases = {
      {"C:\\data\\run1.log", false, false, "run1.log"},
      {"C:\\data\\run1.log", true, false, "run1"},
      {"C:\\data\\run1.log", true, true, "run1-"},
      {"C:/data/run1.log", true, false, "run1"},
      {"C:/data\\sub\\run1.log", true, false, "data\\sub\\run1"},  // '/' is then the only separator
      {"C:\\my.data\\run1.part2.log", true, false, "run1.part2"},
      {"C:/data/subject 2/run1.log", true, false, "run1"},
      {"C:\\data\\", false, false, ""},
      {"C:\\data\\", false, true, "-"},
      {"run1.log", true, false, "run1"},
      {"C:\\data\\run1", true, false, "run1"},  // no extension: the whole name
      {"C:\\data\\.log", true, false, ".log"},  // a leading dot is no extension
      {"\\run1.log", true, false, "run1"},      // only separator first: not part of the name
      {"", true, false, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fileNameFromPath(c.path, c.withoutExtension, c.appendDash), c.expected)
        << c.path << " withoutExtension=" << c.withoutExtension << " appendDash=" << c.appendDash;
  }
}

TEST(FileNames, ExtractFileExtensionTakesTheLastFourCharacters) {
  CollectLines collected;
  LineSink* const collect = &collected;
  const std::vector<std::string>& reported = collected.lines;
  EXPECT_EQ(extractFileExtension("C:\\data\\run1.prt", collect), ".prt");
  EXPECT_EQ(extractFileExtension("C:\\data\\page.html", collect), "html");
  EXPECT_EQ(extractFileExtension("prt", collect), "prt");  // shorter texts never read before their start
  EXPECT_EQ(extractFileExtension("a", collect), "a");
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(extractFileExtension("", collect), "-1");
  EXPECT_EQ(reported, std::vector<std::string>{"Small problem extracting file extension"});
}

TEST(FileNames, StripExtensionLooksOnlyInTheLastComponent) {
  EXPECT_EQ(stripExtension("C:\\data\\run1.log"), "C:\\data\\run1");
  EXPECT_EQ(stripExtension("C:\\data\\run1.final.log"), "C:\\data\\run1.final");
  EXPECT_EQ(stripExtension("C:\\my.data\\run1"), "C:\\my.data\\run1");
  EXPECT_EQ(stripExtension("/home/me/my.study/run1"), "/home/me/my.study/run1");
  EXPECT_EQ(stripExtension("run1"), "run1");
  EXPECT_EQ(stripExtension(""), "''");
}

TEST(FileNames, ProtocolNamesStayBesideTheLog) {
  CollectLines collected;
  LineSink* const collect = &collected;
  const std::vector<std::string>& reported = collected.lines;
  EXPECT_EQ(replaceExtension("C:\\data\\run1.log", ".prt"), "C:\\data\\run1.prt");
  EXPECT_EQ(replaceExtension("D:\\study\\run1.final.log", ".prt"), "D:\\study\\run1.final.prt");
  EXPECT_EQ(replaceExtension("C:\\my.data\\run1", ".prt"), "C:\\my.data\\run1.prt");
  EXPECT_EQ(insertBeforeExtension("C:\\data\\run1.prt", "_MSEC", collect), "C:\\data\\run1_MSEC.prt");
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(insertBeforeExtension("", "_MSEC", collect), "''_MSEC-1");
  EXPECT_EQ(reported, std::vector<std::string>{"Small problem extracting file extension"});
}

TEST(Hex, HexTextToIntIsExactIn32Bits) {
  const std::vector<std::pair<const char*, std::int32_t>> cases = {
      {"000000", 0},
      {"FFFFFF", 16777215},
      {"00FF00", 65280},
      {"ff", 0},
      {"1a", 16},
      {"0x1F", 31},
      {"", 0},
      {"FFFFFFF", 268435455},
      {"11234567", 287524199},
      {"7FFFFFFF", 2147483647},
      {"80000000", -2147483647 - 1},
      {"FFFFFFFF", -1},
      {"123456789", 0x23456789},  // only the last eight places count
      {"G1", 1},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(hexTextToInt(text), expected) << text;
}

}  // namespace
}  // namespace stimloom
