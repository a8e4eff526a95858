#include "protocol/time_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace stimloom {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

TEST(TimeConversion, StartIsTruncatedTowardZero) {
  const std::vector<std::pair<double, std::int32_t>> cases = {
      {123456, 12345},
      {123459, 12345},
      {0, 0},
      {9.99, 0},
      {-15, -1},
      {-19.9, -1},
      {15005.7, 1500},
      {21474836479.0, kMax},
      {-21474836489.0, kMin},
      // beyond the range, held at its ends; NaN gives 0
      {21474836480.0, kMax},
      {1e300, kMax},
      {kInfinity, kMax},
      {-1e300, kMin},
      {-kInfinity, kMin},
      {kNaN, 0},
  };
  for (const auto& [time, expected] : cases) EXPECT_EQ(convertStartTime(time), expected) << time;

  EXPECT_EQ(startMilliseconds(21474836479.0), kMax);
  EXPECT_EQ(startMilliseconds(21474836480.0), std::nullopt);
  EXPECT_EQ(startMilliseconds(kNaN), std::nullopt);
}

TEST(TimeConversion, EndAddsTheFlooredDuration) {
  struct Case {
    std::int32_t start;
    double duration;
    std::int32_t expected;
  };
  const std::vector<Case> cases = {
      {12345, 5000, 12845},
      {12345, 4999, 12844},
      {12345, -20, 12343},
      {12345, -15, 12343},
      {12345, 0, 12345},
      {12345, -0.5, 12344},  // between -10 and 0: one millisecond before the start
      {1000, 4985, 1498},
      // held at the ends of the range instead of overflowing; NaN keeps the start
      {kMax, 10, kMax},
      {kMax - 5, 100, kMax},
      {kMin, -10, kMin},
      {0, 1e300, kMax},
      {0, -kInfinity, kMin},
      {77, kNaN, 77},
  };
  for (const Case& c : cases)
    EXPECT_EQ(convertEndTime(c.start, c.duration), c.expected) << c.start << " " << c.duration;

  EXPECT_EQ(durationMilliseconds(-15), -2);
  EXPECT_EQ(durationMilliseconds(21474836479.9), kMax);
  EXPECT_EQ(durationMilliseconds(21474836480.0), std::nullopt);
}

}  // namespace
// Whole numbers of tenths take an integer road; it must give what the
// division of doubles gives, truncated for starts and floored for durations.
TEST(TimeConversion, WholeTenthsGiveWhatTheDivisionOfDoublesGives) {
  std::vector<double> values = {0,
                                -0.0,
                                9,
                                10,
                                11,
                                -9,
                                -10,
                                -11,
                                19,
                                -19,
                                123459,
                                -123459,
                                21474836470.0,
                                21474836479.0,
                                21474836480.0,
                                -21474836480.0,
                                -21474836489.0,
                                -21474836490.0,
                                0x1p40 - 1,
                                -(0x1p40 - 1),
                                0x1p40,
                                0x1p53};
  for (std::int64_t t = -20000; t <= 20000; t += 7) values.push_back(static_cast<double>(t));
  for (std::int64_t t = 1; t < (std::int64_t{1} << 40); t = t * 3 + 1) {
    values.push_back(static_cast<double>(t));
    values.push_back(-static_cast<double>(t));
  }
  for (const double value : values) {
    const double quotient = value / 10;
    const std::optional<std::int32_t> start = quotient > INT32_MIN - 1.0 && quotient < INT32_MAX + 1.0
                                                  ? std::optional(static_cast<std::int32_t>(quotient))
                                                  : std::nullopt;
    EXPECT_EQ(startMilliseconds(value), start) << value;
    const double floored = std::floor(quotient);
    const std::optional<std::int32_t> duration =
        floored >= INT32_MIN && floored <= INT32_MAX ? std::optional(static_cast<std::int32_t>(floored)) : std::nullopt;
    EXPECT_EQ(durationMilliseconds(value), duration) << value;
  }
}

}  // namespace stimloom
