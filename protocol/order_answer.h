#pragma once
// Reading the order of conditions that a user types, e.g. "3, 1, 2". Pure
// text work: no host involved, so any text can be fed to it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace stimloom {

// The line of a reorder that leaves every condition where it is: nothing is
// saved, and nothing went wrong.
inline constexpr const char* kOrderUnchanged = "The new order is the current order. Nothing was changed.";

// The host's text dialog gives at most this many characters.
inline constexpr std::size_t kOrderAnswerCapacity = 255;

// The length of "1,2,...,count". Every order of the same conditions written
// without spaces has this length, so when it exceeds kOrderAnswerCapacity no
// new order can be typed at all.
// Counted in 64 bits, so that it is exact for any count in every build.
constexpr std::int64_t orderTextLength(std::int32_t count) {
  if (count <= 0) return 0;
  std::int64_t length = std::int64_t{count} - 1;  // the commas
  std::int64_t digits = 1;
  for (std::int64_t firstOfBand = 1; firstOfBand <= count; firstOfBand *= 10, ++digits) {
    const std::int64_t lastOfBand = firstOfBand * 10 - 1 < count ? firstOfBand * 10 - 1 : count;
    length += digits * (lastOfBand - firstOfBand + 1);
  }
  return length;
}

// The most conditions whose order still fits the dialog's answer.
constexpr std::int32_t mostSortableConditions() {
  std::int32_t count = 0;
  while (orderTextLength(count + 1) <= static_cast<std::int64_t>(kOrderAnswerCapacity)) ++count;
  return count;
}

// The current order as the user would type it: "1,2,...,count" ("" for none).
std::string currentOrderText(std::int32_t count);

// An answer read against a protocol of `count` conditions. Accepted when it
// names every number from 1 to count exactly once, separated by commas, with
// spaces or tabs allowed around each number.
struct ConditionOrder {
  std::vector<std::int32_t> indices;  // 0-based, in their new order; empty when refused
  std::string problem;                // why the answer was refused, eg: "4 is given twice"; empty when accepted

  bool accepted() const { return problem.empty(); }
  // True for 0, 1, ..., count-1: the conditions would stay where they are.
  bool keepsCurrentOrder() const;
};

ConditionOrder parseConditionOrder(std::string_view answer, std::int32_t count);

}  // namespace stimloom
