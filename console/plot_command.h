#pragma once
// plot, of stimloom and stimloom-host: each run drawn as an SVG timeline, STEM.svg, timed as
// the export times it.

#include <cstdio>

#include "console/command_line.h"

namespace console {

// 0 when every input was drawn, 1 otherwise; the other inputs are still drawn.
int plotRuns(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace console
