#include "console/shared_commands.h"

#include <cstdio>

#include "console/check_command.h"
#include "console/export_command.h"
#include "console/plot_command.h"
#include "stimloom_version.h"

namespace console {

std::optional<int> runSharedCommand(Program program, const ParsedCommandLine& parsed) {
  const char* name = programName(program);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "%s: %s\nRun '%s --help' to see how to use it.\n", name, parsed.error.c_str(), name);
    return 2;
  }
  switch (parsed.options.command) {
    case Command::kHelp:
      std::fputs(parsed.help.c_str(), stdout);
      return 0;
    case Command::kVersion:
      std::printf("%s %s\n", name, STIMLOOM_VERSION);
      return 0;
    case Command::kExport:
      return exportRuns(parsed.options, stdout, stderr);
    case Command::kPlot:
      return plotRuns(parsed.options, stdout, stderr);
    case Command::kCheck:
      return checkRuns(parsed.options, stdout, stderr);
    default:
      return std::nullopt;
  }
}

}  // namespace console
