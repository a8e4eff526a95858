#pragma once
// stimloom-host plot: each run drawn as an SVG timeline, STEM.svg, timed as
// the export times it.

#include <cstdio>

#include "standin/command_line.h"

namespace standin {

// 0 when every input was drawn, 1 otherwise; the other inputs are still drawn.
int plotRuns(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace standin
