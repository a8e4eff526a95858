#pragma once
// A new order for a protocol's conditions. Pure: reading the answer is in
// protocol/order_answer.h.

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/protocol.h"

namespace stimloom {

// The question listing the conditions, one per line, numbered from 1 as the
// answer counts them, between the header line and the example line.
std::string reorderPrompt(const std::vector<Condition>& conditions);

// The conditions in their new order: order[place] is the 0-based index of the
// condition that goes there. The order must name every index once
// (parseConditionOrder gives such an order).
std::vector<Condition> reorderedConditions(const std::vector<Condition>& conditions,
                                           const std::vector<std::int32_t>& order);

}  // namespace stimloom
