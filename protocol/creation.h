#pragma once

#include <cstdint>

#include "log/presentation_log.h"

namespace stimloom {

// Interval durations: 1 = until the next event, 2 = the event's own Duration.
enum DurationRule : std::int32_t { kUntilNextEvent = 1, kOwnDuration = 2 };

// Makes a new millisecond protocol in the host from a log read before: named
// after the log, saved beside it and made the host's current protocol.
bool createProtocol(const PresentationLog& log, std::int32_t tr, std::int32_t durationRule);

}  // namespace stimloom
