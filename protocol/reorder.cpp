#include "protocol/reorder.h"

#include <string_view>

namespace stimloom {
namespace {

constexpr std::string_view kPromptHeader = "Please enter the new order for the conditions, separated by comma's:\n";
constexpr std::string_view kPromptExample = "\nExample: 3,4,5,1,6,2,7\n";

}  // namespace

std::string reorderPrompt(const std::vector<Condition>& conditions) {
  std::string prompt(kPromptHeader);
  for (std::size_t place = 0; place < conditions.size(); ++place) {
    if (place > 0) prompt += '\n';
    prompt += std::to_string(place + 1) + " = " + conditions[place].name;
  }
  return prompt.append(kPromptExample);
}

std::vector<Condition> reorderedConditions(const std::vector<Condition>& conditions,
                                           const std::vector<std::int32_t>& order) {
  std::vector<Condition> reordered;
  reordered.reserve(order.size());
  for (const std::int32_t index : order) reordered.push_back(conditions.at(static_cast<std::size_t>(index)));
  return reordered;
}

}  // namespace stimloom
