// stimloom: the analysis program. It turns Presentation logs, and protocols
// saved by the stand-in host, into files for analysis tools and pictures of
// each run. It needs no plug-in and no host: the pure core, the exporters and
// the picture do the work, the console front end reads and writes the files.

#include <cstdio>
#include <string>
#include <vector>

#include "console/check_command.h"
#include "console/command_line.h"
#include "console/export_command.h"
#include "console/plot_command.h"
#include "stimloom_version.h"

int main(int argc, char** argv) {
  using console::Command;
  const console::Program program = console::Program::kStimloom;
  const char* name = console::programName(program);
  const console::ParsedCommandLine parsed =
      console::parseCommandLine(program, std::vector<std::string>(argv + 1, argv + argc));
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
      return console::exportRuns(parsed.options, stdout, stderr);
    case Command::kPlot:
      return console::plotRuns(parsed.options, stdout, stderr);
    case Command::kCheck:
      return console::checkRuns(parsed.options, stdout, stderr);
    default:
      std::fprintf(stderr, "%s: no command to run\n", name);
      return 2;
  }
}
