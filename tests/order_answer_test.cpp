#include "protocol/order_answer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace stimloom {
namespace {

TEST(OrderAnswer, AcceptsEveryNumberOnceWithBlanksAroundThem) {
  struct Case {
    const char* answer;
    std::int32_t count;
    std::vector<std::int32_t> indices;
    bool keepsCurrentOrder;
  };
  const Case cases[] = {
      {"2,1,3", 3, {1, 0, 2}, false}, {" 3 ,\t1,2\t", 3, {2, 0, 1}, false},
      {"1,2,3", 3, {0, 1, 2}, true},  {"1", 1, {0}, true},
      {"02,1", 2, {1, 0}, false},     {"10,9,8,7,6,5,4,3,2,1", 10, {9, 8, 7, 6, 5, 4, 3, 2, 1, 0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    const ConditionOrder order = parseConditionOrder(c.answer, c.count);
    EXPECT_TRUE(order.accepted()) << order.problem;
    EXPECT_EQ(order.indices, c.indices);
    EXPECT_EQ(order.keepsCurrentOrder(), c.keepsCurrentOrder);
  }
}

TEST(OrderAnswer, RefusesWithTheReason) {
  struct Case {
    const char* answer;
    std::int32_t count;
    const char* problem;
  };
  const Case cases[] = {
      {"", 3, "the answer is empty"},
      {" \t ", 3, "the answer is empty"},
      {"", 0, "the answer is empty"},
      {",", 1, "place 1 holds no number"},
      {"1,,2", 2, "place 2 holds no number"},
      {"1 2,3", 3, "\"1 2\" is not a number"},
      {"+1,2", 2, "\"+1\" is not a number"},
      {"1.0,2", 2, "\"1.0\" is not a number"},
      {"1,2,x,y,z", 2, "\"x\" is not a number"},
      {"-1,2", 2, "-1 is not one of the condition numbers 1 to 2"},
      {"99999999999999999999999,1", 2, "99999999999999999999999 is not one of the condition numbers 1 to 2"},
      {"1", 0, "it gives more numbers (1) than the protocol has conditions (0)"},
      {"1,2,3", -4, "it gives more numbers (3) than the protocol has conditions (0)"},
      {"2,2,1", 3, "2 is given twice"},
      {"1,3", 4, "condition 2 is missing"},
      {"2,1", 3, "condition 3 is missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    const ConditionOrder order = parseConditionOrder(c.answer, c.count);
    EXPECT_FALSE(order.accepted());
    EXPECT_EQ(order.problem, c.problem);
    EXPECT_TRUE(order.indices.empty());
  }
}

TEST(OrderAnswer, CurrentOrderTextHasTheLengthEveryOrderHas) {
  for (std::int32_t count = 0; count <= 300; ++count) {
    ASSERT_EQ(static_cast<std::int64_t>(currentOrderText(count).size()), orderTextLength(count)) << count;
  }
  EXPECT_EQ(currentOrderText(3), "1,2,3");
  EXPECT_EQ(orderTextLength(-1), 0);
  // 9 + 2*90 + 3*900 + ... + 9*900000000 digits, 10 for each of the rest, and the commas.
  EXPECT_EQ(orderTextLength(INT32_MAX), 8888888889LL + 10LL * (INT32_MAX - 999999999LL) + (INT32_MAX - 1LL));
  EXPECT_EQ(mostSortableConditions(), 88);
}

}  // namespace
}  // namespace stimloom
