#pragma once

#include <cstdint>

#include "log/presentation_log.h"
#include "protocol/builder.h"

namespace stimloom {

// Makes a new millisecond protocol in the host from a log read before: named
// after the log, saved beside it and made the host's current protocol.
bool createProtocol(const PresentationLog& log, std::int32_t tr, std::int32_t durationRule);

}  // namespace stimloom
