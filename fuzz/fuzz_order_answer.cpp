// The reorder answer on arbitrary text, against protocols of 0 to 120
// conditions: an accepted answer names every condition exactly once.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "protocol/order_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::int32_t count = data[0] % 121;
  const std::string_view answer(reinterpret_cast<const char*>(data + 1), size - 1);
  const stimloom::ConditionOrder order = stimloom::parseConditionOrder(answer, count);
  if (!order.accepted()) {
    if (!order.indices.empty()) __builtin_trap();
    return 0;
  }
  if (order.indices.size() != static_cast<std::size_t>(count)) __builtin_trap();
  std::vector<bool> seen(static_cast<std::size_t>(count), false);
  for (const std::int32_t index : order.indices) {
    if (index < 0 || index >= count || seen[static_cast<std::size_t>(index)]) __builtin_trap();
    seen[static_cast<std::size_t>(index)] = true;
  }
  return 0;
}
