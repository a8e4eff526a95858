#pragma once

#include <cstdint>

#include "host/records.h"

namespace stimloom {

// 1 = subtract the amount, any other code adds it.
enum ShiftDirection : std::int32_t { kSubtract = 1, kAdd = 2 };

// Shifts every interval of the host's current protocol by `amount` (in the
// protocol's unit) and saves it under its own file name. False, with nothing
// changed or saved, when an interval would leave the 32-bit range.
bool shiftProtocolIntervals(ProtocolRecord& record, std::int32_t direction, std::int32_t amount);

}  // namespace stimloom
