#pragma once
// The commands both programs run the same way: a command-line mistake, the
// help, the version, and export, plot and check.

#include <optional>

#include "console/command_line.h"

namespace console {

// The exit status of `parsed` when it is one of those, having run it;
// nothing for a command of the program's own (the stand-in host's menu,
// convert, shift, sort, info).
std::optional<int> runSharedCommand(Program program, const ParsedCommandLine& parsed);

}  // namespace console
