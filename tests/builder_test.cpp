#include "protocol/builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/operations.h"
#include "tests/call_text.h"
#include "tests/standin_fixture.h"

namespace stimloom::testing {
namespace {

const std::string kOpening =
    "zrLogText(Creating and preparing conditions and intervals lists...)\nzrLogText(Searching condition names...)";
const std::string kLastInterval = "zrLogText(Last interval(s), computation based on Duration in protocol.)";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    result.push_back(text.substr(start, end - start));
  }
  result.push_back(text.substr(start));
  return result;
}

class Builder : public StandinTest {
 protected:
  std::vector<std::string> build(const PresentationLog& log, std::int32_t rule) {
    EXPECT_TRUE(buildConditionsAndIntervals(log, record, rule));
    return callTexts(host());
  }
  ProtocolRecord record;
};

const PresentationLog kWorkedExample = logOf({{"X", 10000, 4999}, {"Y", 15000, 5000}, {"X", 21000, 3000}});

TEST_F(Builder, RuleOneEndsEachInterval2msBeforeTheNextEventAndTheLastByItsDuration) {
  for (const std::int32_t rule : {1, 0, 3}) {  // every rule other than 2 behaves as 1
    standin::resetHost();
    EXPECT_EQ(build(kWorkedExample, rule), lines(kOpening + R"(
zrAddProtocolCondition(X, 1057014613)
zrAddProtocolCondition(Y, 1057064618)
zrAddProtocolConditionInterval(0, 1000, 1498)
zrLogText(Added interval: 1000 - 1498, for condition: X)
zrAddProtocolConditionInterval(1, 1500, 2098)
zrLogText(Added interval: 1500 - 2098, for condition: Y)
)" + kLastInterval + R"(
zrAddProtocolConditionInterval(0, 2100, 2400)
zrLogText(Added interval: 2100 - 2400, for condition: X))"))
        << "rule " << rule;
    EXPECT_EQ(record.NrOfConditions, 2);
  }
  ASSERT_EQ(host().protocol.conditions.size(), 2u);
  EXPECT_EQ(host().protocol.conditions[0].starts, (standin::IntervalVector{1000, 2100}));
  EXPECT_EQ(host().protocol.conditions[0].ends, (standin::IntervalVector{1498, 2400}));
}

TEST_F(Builder, RuleTwoEndsEveryIntervalByItsOwnDuration) {
  EXPECT_EQ(build(kWorkedExample, 2), lines(kOpening + R"(
zrAddProtocolCondition(X, 1057014613)
zrAddProtocolCondition(Y, 1057064618)
zrAddProtocolConditionInterval(0, 1000, 1499)
zrLogText(Added interval: 1000 - 1499, for condition: X)
zrAddProtocolConditionInterval(1, 1500, 2000)
zrLogText(Added interval: 1500 - 2000, for condition: Y)
zrAddProtocolConditionInterval(0, 2100, 2400)
zrLogText(Added interval: 2100 - 2400, for condition: X))"));
}

TEST_F(Builder, ConditionsFollowFirstAppearanceWithTheColourSequenceAndExactCodes) {
  build(logOf({{"X", 0, 0}, {"Y", 0, 0}, {"X", 0, 0}, {"Z", 0, 0}, {"target", 0, 0}, {"Target", 0, 0}}), 2);
  std::vector<std::pair<std::string, std::int32_t>> conditions;
  for (const auto& c : host().protocol.conditions) conditions.emplace_back(c.name, c.colour);
  EXPECT_EQ(
      conditions,
      (std::vector<std::pair<std::string, std::int32_t>>{
          {"X", 0x3F00C355}, {"Y", 0x3F0186AA}, {"Z", 0x3F0249FF}, {"target", 0x3F030D54}, {"Target", 0x3F03D0A9}}));
  std::vector<std::string> indices;
  for (const auto& call : host().calls) {
    if (call.function == "zrAddProtocolConditionInterval") indices.push_back(call.arguments[0]);
  }
  EXPECT_EQ(indices, (std::vector<std::string>{"0", "1", "0", "2", "3", "4"}));
  EXPECT_EQ(record.NrOfConditions, 5);
}

TEST_F(Builder, ColoursWrapAroundIn32Bits) {
  std::vector<EventValue> events;
  for (int n = 1; n <= 21809; ++n) events.push_back({"c" + std::to_string(n), 0, 0});
  host().recordCalls = false;
  host().keepLogPane = false;
  build(logOf(events), 2);
  const auto& conditions = host().protocol.conditions;
  ASSERT_EQ(conditions.size(), 21809u);
  EXPECT_EQ(conditions[21807].colour, 2147473648);   // 0x3F000000 + 50005 * 21808, the last below 2^31
  EXPECT_EQ(conditions[21808].colour, -2147443643);  // the next one wraps
}

TEST_F(Builder, GapsAreTruncatedBeforeThe2msAreTakenOff) {
  build(logOf({{"a", 10000.0, 0}, {"b", 15005.7, 7}}), 1);
  EXPECT_EQ(host().protocol.conditions[0].ends, (standin::IntervalVector{1498}));
  EXPECT_EQ(host().protocol.conditions[1].ends, (standin::IntervalVector{1500}));  // the last, by its Duration
}

TEST_F(Builder, AnIntervalNeverEndsBeforeItStarts) {
  const PresentationLog log = logOf({{"A", 10000, 0, 6}, {"B", 10005, 0, 0}, {"C", 9000, -15, 9}});
  EXPECT_EQ(build(log, 1), lines(kOpening + R"(
zrAddProtocolCondition(A, 1057014613)
zrAddProtocolCondition(B, 1057064618)
zrAddProtocolCondition(C, 1057114623)
zrLogText(The interval of event 1 (line 6, code: A) would end at 998, before its start: it ends at its start, 1000.)
zrAddProtocolConditionInterval(0, 1000, 1000)
zrLogText(Added interval: 1000 - 1000, for condition: A)
zrLogText(The interval of event 2 (code: B) would end at 897, before its start: it ends at its start, 1000.)
zrAddProtocolConditionInterval(1, 1000, 1000)
zrLogText(Added interval: 1000 - 1000, for condition: B)
)" + kLastInterval + R"(
zrLogText(The interval of event 3 (line 9, code: C) would end at 898, before its start: it ends at its start, 900.)
zrAddProtocolConditionInterval(2, 900, 900)
zrLogText(Added interval: 900 - 900, for condition: C))"));
}

TEST_F(Builder, NoEventsAddNothing) {
  EXPECT_EQ(build(logOf({}), 1), lines(kOpening));
  EXPECT_EQ(record.NrOfConditions, 0);
}

TEST_F(Builder, OneEventUnderRuleOneLastsItsOwnDuration) {
  EXPECT_EQ(build(logOf({{"only", 123456, 4999}}), 1), lines(kOpening + R"(
zrAddProtocolCondition(only, 1057014613)
)" + kLastInterval + R"(
zrAddProtocolConditionInterval(0, 12345, 12844)
zrLogText(Added interval: 12345 - 12844, for condition: only))"));
}

TEST_F(Builder, RefusesBeforeAddingAnythingWhenItCannotFinish) {
  EXPECT_FALSE(buildConditionsAndIntervals(logOf({{"ok", 0, 0}, {std::string(256, 'c'), 0, 0, 12}}), record, 1));
  EXPECT_EQ(logPane().back(),
            "Event 2 (line 12) cannot be added: its code cannot name a condition (at most 255 characters, no NUL).");
  EXPECT_TRUE(host().protocol.conditions.empty());

  standin::resetHost();
  hide({"zrAddProtocolConditionInterval"});
  EXPECT_FALSE(buildConditionsAndIntervals(kWorkedExample, record, 1));
  EXPECT_EQ(callTexts(host()), std::vector<std::string>{"zrLogText(The host does not offer "
                                                        "zrAddProtocolConditionInterval: cannot build the protocol's "
                                                        "conditions. Nothing was changed.)"});
}

}  // namespace
}  // namespace stimloom::testing
