// The pure half of building and shifting: protocols as values, with no host.
// The host-facing half must add to the host exactly what these compute.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench/log_generator.h"
#include "host/operations.h"
#include "protocol/builder.h"
#include "protocol/shift.h"
#include "tests/standin_fixture.h"

namespace stimloom::testing {
namespace {

std::vector<Condition> asValues(const standin::Protocol& protocol) {
  std::vector<Condition> conditions;
  for (const auto& stored : protocol.conditions) {
    Condition condition{stored.name, stored.colour, {}};
    for (std::size_t i = 0; i < stored.starts.size(); ++i)
      condition.intervals.push_back({stored.starts[i], stored.ends[i]});
    conditions.push_back(std::move(condition));
  }
  return conditions;
}

using ProtocolValues = StandinTest;

TEST_F(ProtocolValues, TheHostGetsWhatThePureBuilderComputes) {
  DiscardLines nowhere;
  for (const std::int32_t rule : {1, 2}) {
    for (const std::uint64_t seed : {1u, 2u, 3u}) {
      standin::resetHost();
      host().recordCalls = false;
      host().keepLogPane = false;
      const PresentationLog log =
          readPresentationLogText("D:\\run.log", bench::generatePresentationLog(2000, seed), {true, {}}, nowhere);
      ASSERT_GT(log.NrOfEvents, 1000);
      const auto computed = buildConditions(log, durationRuleOf(rule));
      ASSERT_TRUE(computed);
      ProtocolRecord record;
      ASSERT_TRUE(buildConditionsAndIntervals(log, record, rule));
      EXPECT_EQ(asValues(host().protocol), *computed) << "rule " << rule << ", seed " << seed;
      EXPECT_EQ(record.NrOfConditions, static_cast<std::int32_t>(computed->size()));
    }
  }
}

TEST(ShiftValues, AShiftMovesEveryIntervalOrNone) {
  const std::vector<Condition> conditions = {
      {"A", 1, {{1000, 3000}, {100, 300}}},
      {"B", 2, {{0, 2147483000}}},
  };
  std::vector<Condition> added = conditions;
  EXPECT_FALSE(shiftConditions(added, ShiftDirection::kAdd, 1000));
  EXPECT_EQ(added, conditions) << "A fits, yet must not have moved";
  const auto outside = findShiftOutOfRange(conditions, ShiftDirection::kAdd, 1000);
  ASSERT_TRUE(outside);
  EXPECT_EQ(outside->condition, 1u);
  EXPECT_EQ(outside->interval, 0u);
  EXPECT_EQ(outside->end, 2147484000);

  std::vector<Condition> subtracted = conditions;
  std::vector<StoppedEnd> stopped;
  ASSERT_TRUE(shiftConditions(subtracted, ShiftDirection::kSubtract, 500, &stopped));
  EXPECT_EQ(subtracted[0].intervals, (std::vector<Interval>{{500, 2500}, {0, 0}}));
  EXPECT_EQ(subtracted[1].intervals, (std::vector<Interval>{{0, 2147482500}}));
  ASSERT_EQ(stopped.size(), 1u);
  EXPECT_EQ(stopped[0].condition, 0u);
  EXPECT_EQ(stopped[0].interval, 1u);
  EXPECT_EQ(stopped[0].before, (Interval{100, 300}));
}

TEST(ShiftValues, CodesOtherThanOneAdd) {
  EXPECT_EQ(shiftDirectionOf(1), ShiftDirection::kSubtract);
  for (const std::int32_t code : {0, 2, 3, -1}) EXPECT_EQ(shiftDirectionOf(code), ShiftDirection::kAdd) << code;
  EXPECT_EQ(durationRuleOf(2), DurationRule::kOwnDuration);
  for (const std::int32_t code : {0, 1, 3, -1}) EXPECT_EQ(durationRuleOf(code), DurationRule::kUntilNextEvent) << code;
}

}  // namespace
}  // namespace stimloom::testing
