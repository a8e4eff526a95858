#include "util/text_builder.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string_view>
#include <vector>

#include "util/integer_text.h"

namespace stimloom {
namespace {

TEST(TextBuilder, NumbersComeOutAsPrintfWritesThem) {
  for (const double value : {0.0, -0.0, 0.5, 1.5, 2.5, -0.4, -2.5, 1998.0, 499.9, 1e15, -123456789.75, 1e300}) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%15.0f", value);
    EXPECT_EQ(TextBuilder().addRounded(value, 15).view(), expected) << value;
  }
  // Durations in milliseconds as the reader prints them, ties and the edges of
  // the integer path among them.
  std::vector<double> durations = {0.49999999999999994, -0.49999999999999994, 0x1p52 - 0.5, 0x1p52 + 1,
                                   -0x1p52 + 0.5,       4503599627370495.5,   1e-300,       -1e-300};
  for (int tenths = -30000; tenths <= 30000; tenths += 7) durations.push_back(tenths / 10.0);
  for (int half = -101; half <= 101; ++half) durations.push_back(half + 0.5);
  for (const double value : durations) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%15.0f", value);
    EXPECT_EQ(TextBuilder().addRounded(value, 15).view(), expected) << value;
  }
  // Tenths of a millisecond divided as integers, against printf on the quotient.
  std::vector<double> tenths = {0, -5, 5, 15, 25, -15, -25, 0x1p53 - 1, -(0x1p53 - 1), 0x1p53, 1e300, 1000.3, -0.4};
  for (int whole = -30005; whole <= 30005; whole += 3) tenths.push_back(whole);
  for (const double value : tenths) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%15.0f", value / 10);
    EXPECT_EQ(TextBuilder().addTenthsRounded(value, 15).view(), expected) << value;
  }
  for (const std::int64_t value :
       {std::int64_t{0}, std::int64_t{-7}, std::int64_t{std::numeric_limits<std::int32_t>::min()},
        std::numeric_limits<std::int64_t>::max()}) {
    EXPECT_EQ(TextBuilder().add(value).view(), std::to_string(value));
  }
  TextBuilder line;
  line.add("first line that is long enough to need the heap");
  EXPECT_EQ(line.clear().add("Trial: ").add(3).add(" Code: ").add("fix").view(), "Trial: 3 Code: fix");
}

TEST(IntegerText, DigitsAreThoseStdToCharsWrites) {
  std::vector<std::int64_t> values = {0,
                                      1,
                                      9,
                                      10,
                                      99,
                                      100,
                                      101,
                                      999,
                                      1000,
                                      65536,
                                      999999999,
                                      1000000000,
                                      2147483647,
                                      -2147483648LL,
                                      4294967295LL,
                                      4294967296LL,
                                      -4294967295LL,
                                      -4294967296LL,
                                      std::numeric_limits<std::int64_t>::max(),
                                      std::numeric_limits<std::int64_t>::min()};
  for (std::int64_t power = 1; power < 1000000000000000000LL; power *= 10) {
    for (const std::int64_t near : {power - 1, power, power + 1}) {
      values.push_back(near);
      values.push_back(-near);
    }
  }
  for (const std::int64_t value : values) {
    char expected[24];
    char written[kLongestIntegerText];
    const auto expectedEnd = std::to_chars(expected, expected + sizeof expected, value).ptr;
    const char* end = writeInteger(written, value);
    EXPECT_EQ(std::string_view(written, static_cast<std::size_t>(end - written)),
              std::string_view(expected, static_cast<std::size_t>(expectedEnd - expected)));
  }
  char small[kLongestIntegerText];
  EXPECT_EQ(std::string_view(small, static_cast<std::size_t>(writeInteger(small, std::int32_t{-7}) - small)), "-7");
  EXPECT_EQ(std::string_view(small, static_cast<std::size_t>(writeInteger(small, std::uint32_t{4000000000u}) - small)),
            "4000000000");
}

}  // namespace
}  // namespace stimloom
