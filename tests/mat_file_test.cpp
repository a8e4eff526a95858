#include "export/mat_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "export/mat_file_layout.h"
#include "tests/scipy_reads.h"
#include "tests/standin_fixture.h"

namespace stimloom {
namespace {

std::uint32_t wordAt(const std::string& bytes, std::size_t at) {
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < 4; ++i) word |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return word;
}

// Walks the elements between begin and end, into every miMATRIX, and returns
// how many matrices it met; a fault fails the test where it shows.
int walkElements(const std::string& bytes, std::size_t begin, std::size_t end) {
  int matrices = 0;
  for (std::size_t at = begin; at < end;) {
    EXPECT_EQ(at % 8, 0u) << "element at " << at;
    if (end - at < 8) return ADD_FAILURE() << "truncated tag at " << at, matrices;
    if (wordAt(bytes, at) >> 16 != 0) {  // a small data element: at most 4 bytes, inside its 8-byte tag
      EXPECT_LE(wordAt(bytes, at) >> 16, 4u) << "small element at " << at;
      at += 8;
      continue;
    }
    const std::uint32_t type = wordAt(bytes, at);
    const std::uint64_t count = wordAt(bytes, at + 4);
    const std::uint64_t padded = (count + 7) / 8 * 8;
    if (padded > end - at - 8) return ADD_FAILURE() << "element at " << at << " overruns its parent", matrices;
    if (type == 14) matrices += 1 + walkElements(bytes, at + 8, at + 8 + static_cast<std::size_t>(count));
    at += 8 + static_cast<std::size_t>(padded);
  }
  return matrices;
}

TEST(MatFile, OneConditionIsLaidOutByteForByte) {
  const std::vector<MatCondition> conditions = {{"A", {1.5}, {2.0}}};
  const std::string file = multipleConditionsMatFile(conditions);

  std::string expected = "MATLAB 5.0 MAT-file, written by stimloom";
  expected.resize(116, ' ');
  expected.append(8, '\0');
  expected += std::string("\x00\x01IM", 4);
  const auto words = [&](std::initializer_list<std::uint32_t> values) {
    for (const std::uint32_t v : values) expected += std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  // Tag, array flags, dimensions, name; for a cell then its elements in turn.
  words({14, 112, 6, 8, 1, 0, 5, 8, 1, 1, 1, 5, 0x656D616E, 0x73});  // "names"
  words({14, 56, 6, 8, 4, 0, 5, 8, 1, 1, 1, 0, 4, 2, 'A', 0});
  words({14, 112, 6, 8, 1, 0, 5, 8, 1, 1, 1, 6, 0x65736E6F, 0x7374});               // "onsets"
  words({14, 56, 6, 8, 6, 0, 5, 8, 1, 1, 1, 0, 9, 8, 0, 0x3FF80000});               // 1.5
  words({14, 120, 6, 8, 1, 0, 5, 8, 1, 1, 1, 9, 0x61727564, 0x6E6F6974, 0x73, 0});  // "durations"
  words({14, 56, 6, 8, 6, 0, 5, 8, 1, 1, 1, 0, 9, 8, 0, 0x40000000});               // 2.0
  ASSERT_EQ(file.size(), 496u);
  EXPECT_EQ(file, expected);
  EXPECT_EQ(walkElements(file, 128, file.size()), 6);
}

TEST(MatFile, SizesPastThirtyTwoBitByteCountsAreRefused) {
  using mat_layout::cellMatrixBytes;
  const std::vector<std::uint64_t> largestThatFits = {0xFFFF'FF90u}, oneByteMore = {0xFFFF'FF91u};
  EXPECT_EQ(cellMatrixBytes("onsets", largestThatFits), 0xFFFF'FFF8u);
  EXPECT_EQ(cellMatrixBytes("onsets", oneByteMore), std::nullopt);  // its padding would cross the limit
  EXPECT_EQ(cellMatrixBytes("onsets", std::vector<std::uint64_t>{1u << 31, 1u << 31}), std::nullopt);
  EXPECT_EQ(mat_layout::arrayMatrixBytes("", UINT64_MAX), std::nullopt);  // no wrap-around to a small size

  const std::vector<MatCondition> mismatched = {{"A", {1.0, 2.0}, {1.0}}};
  EXPECT_THROW(multipleConditionsMatFile(mismatched), std::invalid_argument);
}

TEST(MatFile, InvalidUtf8BecomesOneReplacementPerBrokenSequence) {
  const std::vector<std::pair<std::string, std::u16string>> cases = {
      {"Delta \xCE\x94 \xE2\x82\xAC", u"Delta \u0394 \u20AC"},
      {"\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", u"\U0001F600\U0010FFFF"},
      {"a\xFF"
       "b\x80",
       u"a\uFFFDb\uFFFD"},
      {"\xC0\x80", u"\uFFFD\uFFFD"},                      // overlong: C0 never leads
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},            // overlong after E0
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xE2\x82"
       "A\xF0\x9F\x98",
       u"\uFFFDA\uFFFD"},  // cut short, then at the end
  };
  for (const auto& [utf8, utf16] : cases) EXPECT_EQ(mat_layout::utf16FromUtf8(utf8), utf16) << utf8;
}

using testing::scipyReads;

// The double that read_mat.py wrote as repr() text.
double doubleOf(const nlohmann::json& text) {
  const std::string digits = text;
  double value = 0;
  EXPECT_EQ(std::from_chars(digits.data(), digits.data() + digits.size(), value).ec, std::errc{}) << digits;
  return value;
}

struct ReadBackCase {
  const char* what;
  std::vector<MatCondition> conditions;
  std::vector<std::string> expectedNames;  // as UTF-8
};

TEST(MatFile, ScipyReadsBackNamesAndExactDoubles) {
  const std::vector<ReadBackCase> cases = {
      {"several",
       {{"Congruent", {0.1, 15.0389, 30.5}, {1.0, 2.5, 1e-4}},
        {"Incongruent", {-2.5, 1e-4, -0.0, 5e-324}, {0.5, 0.25, 1.7976931348623157e308, 0.0}}},
       {"Congruent", "Incongruent"}},
      {"one event", {{"Cue", {12.0}, {0.0}}}, {"Cue"}},
      {"non-ASCII and empty names",
       {{"caf\xC3\xA9", {1.0}, {1.0}}, {"\xCE\x94", {2.0}, {1.0}}, {"", {3.0}, {1.0}}, {"x\xFFy", {4.0}, {1.0}}},
       {"caf\xC3\xA9", "\xCE\x94", "", "x\xEF\xBF\xBDy"}},
      {"no events", {{"Rest", {}, {}}}, {"Rest"}},
      {"no conditions", {}, {}},
  };
  testing::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string bytes = multipleConditionsMatFile(c.conditions);
    EXPECT_EQ(multipleConditionsMatFile(c.conditions), bytes);  // nothing varies between runs
    EXPECT_EQ(walkElements(bytes, 128, bytes.size()), static_cast<int>(3 + 3 * c.conditions.size()));  // 8-aligned
    const std::string command = std::string(STIMLOOM_CHECKER_PYTHON " " STIMLOOM_READ_MAT_SCRIPT " '") +
                                dir.write("conditions.mat", bytes) + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    for (int ch; (ch = std::fgetc(pipe)) != EOF;) output.push_back(static_cast<char>(ch));
    ASSERT_EQ(pclose(pipe), 0) << command << "\n" << output;
    const auto read = nlohmann::json::parse(output, nullptr, false);
    ASSERT_FALSE(read.is_discarded()) << output;

    const std::size_t n = c.conditions.size();
    const nlohmann::json cell = {"cell", {1, n}};
    EXPECT_EQ(read["classes"], nlohmann::json({{"names", cell}, {"onsets", cell}, {"durations", cell}}));
    ASSERT_TRUE(read["names"].size() == n && read["onsets"].size() == n && read["durations"].size() == n) << output;
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_EQ(read["names"][i]["text"], c.expectedNames[i]);
      const auto units = std::count_if(c.expectedNames[i].begin(), c.expectedNames[i].end(),
                                       [](char byte) { return (byte & 0xC0) != 0x80; });  // first plane only
      EXPECT_EQ(read["names"][i]["shape"], nlohmann::json({1, units}));
      for (const auto& [key, values] :
           {std::pair{"onsets", c.conditions[i].onsets}, {"durations", c.conditions[i].durations}}) {
        const auto& column = read[key][i];
        EXPECT_EQ(column["shape"], nlohmann::json({values.size(), 1})) << key << " of condition " << i;
        ASSERT_EQ(column["values"].size(), values.size());
        for (std::size_t k = 0; k < values.size(); ++k) {
          const std::string text = column["values"][k];
          double value = 0;
          EXPECT_EQ(std::from_chars(text.data(), text.data() + text.size(), value).ec, std::errc{}) << text;
          EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(values[k])) << key << " " << text;
        }
      }
    }
  }
}

// pmod: one element per condition, in the order of names; the modulators'
// names, their values as columns as long as the onsets, the order 1; and
// 0x0 cells for a condition without a modulator, which SPM takes as none.
TEST(MatFile, ScipyReadsBackPmodBesideTheConditions) {
  const std::vector<MatCondition> conditions = {
      {"face", {0.5, 4.0, 7.25}, {1.0, 1.0, 1.0}},
      {"house", {2.0}, {0.5}},
      {"caf\xC3\xA9", {3.0, 9.0}, {0.0, 0.0}},
      {"rest", {6.0}, {2.0}},
  };
  const MatModulators modulators = {
      {{"response_time", {0.4521, 0.61, 0.5}}, {"temperature", {-2.5, 0.0, 1e-4}}},
      {},
      {{"\xCE\x94t", {1.0, 2.0}}},
      {},
  };
  testing::TempDir dir;
  const std::string bytes = multipleConditionsMatFile(conditions, &modulators);
  EXPECT_EQ(multipleConditionsMatFile(conditions, &modulators), bytes);
  // names, onsets and durations with one matrix per condition; pmod with 3
  // cells per condition, and in a modulated one's cells one matrix per modulator.
  EXPECT_EQ(walkElements(bytes, 128, bytes.size()), 3 + 3 * 4 + 1 + 3 * 4 + 3 * 3);
  EXPECT_LT(multipleConditionsMatFile(conditions).size(), bytes.size()) << "pmod only when asked for";

  const nlohmann::json read = scipyReads(dir, bytes);
  ASSERT_TRUE(read.contains("pmod")) << read.dump();
  EXPECT_EQ(read["classes"]["pmod"], nlohmann::json({"struct", {1, 4}}));
  EXPECT_EQ(read["pmod_fields"], nlohmann::json({"name", "param", "poly"}));
  ASSERT_EQ(read["pmod"].size(), 4u);
  for (std::size_t c = 0; c < conditions.size(); ++c) {
    SCOPED_TRACE(conditions[c].name);
    const nlohmann::json& element = read["pmod"][c];
    const std::size_t m = modulators[c].size();
    if (m == 0) {
      for (const char* field : {"name", "param", "poly"}) {
        EXPECT_EQ(element[field]["shape"], nlohmann::json({0, 0})) << field;
        EXPECT_TRUE(element[field]["elements"].empty()) << field;
      }
      continue;
    }
    for (const char* field : {"name", "param", "poly"}) EXPECT_EQ(element[field]["shape"], nlohmann::json({1, m}));
    ASSERT_EQ(element["param"]["elements"].size(), m);
    for (std::size_t k = 0; k < m; ++k) {
      const MatModulator& modulator = modulators[c][k];
      EXPECT_EQ(element["name"]["elements"][k]["text"], modulator.name);
      const nlohmann::json& param = element["param"]["elements"][k];
      EXPECT_EQ(param["shape"], nlohmann::json({conditions[c].onsets.size(), 1})) << "one value per onset";
      EXPECT_EQ(read["onsets"][c]["values"].size(), param["values"].size());
      for (std::size_t i = 0; i < modulator.values.size(); ++i) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(doubleOf(param["values"][i])),
                  std::bit_cast<std::uint64_t>(modulator.values[i]));
      }
      EXPECT_EQ(element["poly"]["elements"][k], nlohmann::json({{"shape", {1, 1}}, {"values", {"1.0"}}}));
    }
  }

  const std::vector<MatCondition> two = {{"a", {1.0, 2.0}, {0.0, 0.0}}};
  const MatModulators oneValue = {{{"rt", {0.5}}}}, noList = {};
  EXPECT_THROW(multipleConditionsMatFile(two, &oneValue), std::invalid_argument);
  EXPECT_THROW(multipleConditionsMatFile(two, &noList), std::invalid_argument);
}

}  // namespace
}  // namespace stimloom
