#include "protocol/shift.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/operations.h"
#include "tests/standin_fixture.h"

namespace stimloom {
namespace {

using Intervals = std::vector<std::pair<std::int32_t, std::int32_t>>;

constexpr std::int32_t kSubtract = 1;
constexpr std::int32_t kAdd = 2;

standin::StoredCondition condition(std::string name, const Intervals& intervals) {
  return testing::storedCondition(std::move(name), 0, intervals);
}

class Shift : public testing::StandinTest {
 protected:
  testing::TempDir dir;
  const std::string path = dir.file("run1.prt");

  void useProtocol(std::vector<standin::StoredCondition> conditions) {
    host().protocol = {};
    host().protocol.fileName = path;
    host().protocol.timeResolution = 2;
    host().protocol.conditions = std::move(conditions);
  }
  bool shift(std::int32_t direction, std::int32_t amount) {
    ProtocolRecord record;  // left empty: the shift reads the header itself
    return shiftProtocolIntervals(record, direction, amount);
  }
  standin::Protocol saved() {
    standin::Protocol protocol;
    std::string error;
    EXPECT_TRUE(standin::loadProtocolFile(path, protocol, error)) << error;
    return protocol;
  }
};

TEST_F(Shift, MovesOneIntervalAsItsDirectionSays) {
  struct Case {
    const char* what;
    std::int32_t direction, amount, start, end, newStart, newEnd;
    bool endStopped = false;
  };
  const Case cases[] = {
      {"subtract", kSubtract, 500, 1000, 3000, 500, 2500},
      {"subtract stops the start at 0", kSubtract, 500, 300, 2000, 0, 1500},
      {"an end that would fall below its start stops there", kSubtract, 500, 100, 300, 0, 0, true},
      {"an end may reach its start", kSubtract, 500, 600, 500, 100, 100, true},
      {"an end far below the range stops at the start", kSubtract, 1000, 0, -2147483000, 0, 0, true},
      {"add", kAdd, 500, 0, 1500, 500, 2000},
      {"add mends an end before its start", kAdd, 500, 1000, 900, 1500, 1500, true},
      {"subtract nothing", kSubtract, 0, 1000, 3000, 1000, 3000},
      {"add nothing", kAdd, 0, 1000, 3000, 1000, 3000},
      {"direction 0 adds", 0, 500, 1000, 3000, 1500, 3500},
      {"direction 3 adds", 3, 500, 1000, 3000, 1500, 3500},
      {"direction -1 adds", -1, 500, 1000, 3000, 1500, 3500},
      {"an end may reach the largest value", kAdd, 500, 0, INT32_MAX - 500, 500, INT32_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    standin::resetHost();
    useProtocol({condition("A", {{c.start, c.end}})});
    ASSERT_TRUE(shift(c.direction, c.amount));
    const auto interval = [](std::int32_t start, std::int32_t end) {
      return std::to_string(start) + " - " + std::to_string(end);
    };
    std::vector<std::string> expected = {
        "Changing protocol offset with " + std::to_string(c.amount) + "...",
        "\nCurrent condition: A",
        "Previous interval: " + interval(c.start, c.end),
        "New interval: " + interval(c.newStart, c.newEnd),
    };
    if (c.endStopped) {
      expected.push_back(
          "Condition A, interval 1, was " + interval(c.start, c.end) +
          ": its end would fall before its start, so it ends at its start: " + interval(c.newStart, c.newEnd) + ".");
    }
    EXPECT_EQ(logPane(), expected);
    const standin::Protocol file = saved();
    ASSERT_EQ(file.conditions.size(), 1u);
    EXPECT_EQ(file.conditions[0].starts, standin::IntervalVector{c.newStart});
    EXPECT_EQ(file.conditions[0].ends, standin::IntervalVector{c.newEnd});
  }
}

TEST_F(Shift, LogsEveryConditionAndIntervalInOrderThenSaves) {
  useProtocol({condition("A", {{1000, 3000}, {4000, 5000}}), condition("no intervals", {})});
  ASSERT_TRUE(shift(kSubtract, 500));
  // The first three zrGetProtocolCondition calls check every interval before any changes.
  EXPECT_EQ(callNames(),
            (std::vector<std::string>{"zrGetProtocol", "zrLogText", "zrGetProtocolCondition", "zrGetProtocolCondition",
                                      "zrGetProtocolCondition", "zrLogText", "zrLogText", "zrLogText", "zrLogText",
                                      "zrLogText", "zrGetProtocolCondition", "zrLogText", "zrSaveProtocol"}));
  EXPECT_EQ(logPane(), (std::vector<std::string>{"Changing protocol offset with 500...", "\nCurrent condition: A",
                                                 "Previous interval: 1000 - 3000", "New interval: 500 - 2500",
                                                 "Previous interval: 4000 - 5000", "New interval: 3500 - 4500",
                                                 "\nCurrent condition: no intervals"}));
  EXPECT_EQ(host().calls.back().arguments, std::vector<std::string>{path});
  EXPECT_EQ(saved(), host().protocol);
}

TEST_F(Shift, ProtocolWithoutConditionsLogsTheHeaderLineAndSaves) {
  useProtocol({});
  ASSERT_TRUE(shift(kAdd, 250));
  EXPECT_EQ(callNames(), (std::vector<std::string>{"zrGetProtocol", "zrLogText", "zrSaveProtocol"}));
  EXPECT_EQ(logPane(), std::vector<std::string>{"Changing protocol offset with 250..."});
  EXPECT_TRUE(saved().conditions.empty());
}

TEST_F(Shift, IntervalThatWouldLeaveThe32BitRangeRefusesTheWholeShift) {
  struct Case {
    std::int32_t direction, amount;
    std::pair<std::int32_t, std::int32_t> interval;
    std::string line;
  };
  const Case cases[] = {
      {kAdd,
       1000,
       {0, 2147483000},
       "Condition \"B\", interval 2 (0 - 2147483000), would become 1000 - 2147484000, outside the 32-bit range: "
       "nothing was shifted or saved."},
      {kAdd,
       3000000,
       {INT32_MAX, INT32_MAX},
       "Condition \"B\", interval 2 (2147483647 - 2147483647), would become 2150483647 - 2150483647, outside the "
       "32-bit range: nothing was shifted or saved."},
      {kSubtract,
       -1000,
       {2147483000, 2147483000},
       "Condition \"B\", interval 2 (2147483000 - 2147483000), would become 2147484000 - 2147484000, outside the "
       "32-bit range: nothing was shifted or saved."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    standin::resetHost();
    useProtocol({condition("A", {{1000, 3000}}), condition("B", {{10, 20}, c.interval})});
    session().saveProtocol(path.c_str());
    const std::string before = testing::readFile(path);
    const standin::Protocol inMemory = host().protocol;
    host().calls.clear();

    EXPECT_FALSE(shift(c.direction, c.amount));
    EXPECT_EQ(logPane(),
              (std::vector<std::string>{"Changing protocol offset with " + std::to_string(c.amount) + "...", c.line}));
    EXPECT_EQ(host().protocol, inMemory) << "condition A fits, yet must not have moved";
    EXPECT_EQ(testing::readFile(path), before);
    EXPECT_EQ(callNames().back(), "zrLogText");
  }
}

TEST_F(Shift, WithoutTheHostsSaveStartsNothing) {
  useProtocol({condition("A", {{1000, 3000}})});
  hide({"zrSaveProtocol"});
  EXPECT_FALSE(shift(kSubtract, 500));
  EXPECT_EQ(callNames(), std::vector<std::string>{"zrLogText"});
  EXPECT_EQ(logPane(), std::vector<std::string>{
                           "The host does not offer zrSaveProtocol: cannot shift the intervals. Nothing was changed."});
  EXPECT_EQ(host().protocol.conditions[0].starts, standin::IntervalVector{1000});
}

}  // namespace
}  // namespace stimloom
