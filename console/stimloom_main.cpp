// stimloom: the analysis program. It turns Presentation logs, and protocols
// saved by the stand-in host, into files for analysis tools and pictures of
// each run. It needs no plug-in and no host: the pure core, the exporters and
// the picture do the work, the console front end reads and writes the files.

#include <cstdio>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "console/shared_commands.h"

int main(int argc, char** argv) {
  const console::Program program = console::Program::kStimloom;
  const console::ParsedCommandLine parsed =
      console::parseCommandLine(program, std::vector<std::string>(argv + 1, argv + argc));
  if (const auto status = console::runSharedCommand(program, parsed)) return *status;
  std::fprintf(stderr, "%s: no command to run\n", console::programName(program));
  return 2;
}
