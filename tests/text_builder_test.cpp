#include "util/text_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

namespace stimloom {
namespace {

TEST(TextBuilder, NumbersComeOutAsPrintfWritesThem) {
  for (const double value : {0.0, -0.0, 0.5, 1.5, 2.5, -0.4, -2.5, 1998.0, 499.9, 1e15, -123456789.75, 1e300}) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%15.0f", value);
    EXPECT_EQ(TextBuilder().addRounded(value, 15).view(), expected) << value;
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

}  // namespace
}  // namespace stimloom
