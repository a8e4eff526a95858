#pragma once
// A run's events, as the exporters time them, drawn as a timeline: the
// picture shows exactly the events, onsets, durations and zero of an export.

#include <string>

#include "export/run_events.h"
#include "plot/timeline_svg.h"

namespace stimloom {

// `fileName` titles the picture; `note`, when not empty, is shown in it, eg
// that a log without pulses is drawn from its own zero.
Timeline runTimeline(const RunEvents& run, const std::string& fileName, const std::string& note = "");

}  // namespace stimloom
