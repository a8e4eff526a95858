#pragma once

#include <cstdint>

#include "host/records.h"
#include "log/presentation_log.h"

namespace stimloom {

// Interval durations: 1 = until the next event, 2 = the event's own Duration.
enum DurationRule : std::int32_t { kUntilNextEvent = 1, kOwnDuration = 2 };

// Adds the log's events to the host's current protocol: first one condition
// per distinct code, in order of first appearance and coloured from
// 0x3F00C355 on in steps of 50005, then one millisecond interval per event.
// Under rule 2 an interval lasts the event's own Duration; under every other
// rule it ends 2 ms before the next event starts, and the last one lasts its
// own Duration. Writes NrOfConditions into `record`.
//
// False, before any condition is added, when the host lacks an entry the
// building needs or a code cannot name a condition.
bool buildConditionsAndIntervals(const PresentationLog& log, ProtocolRecord& record, std::int32_t durationRule);

}  // namespace stimloom
