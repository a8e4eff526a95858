#pragma once
// The command lines of stimloom and stimloom-host, defined in one place
// (command_line.cpp): the commands both programs have, export and plot, are
// added to each program's parser by the same function.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace console {

// stimloom, the analysis program, or stimloom-host, the stand-in host, which
// also has the commands that run the plug-in.
enum class Program { kStimloom, kStandinHost };

// The program's name, as its messages begin: "stimloom", "stimloom-host".
const char* programName(Program program);

enum class Command { kRun, kInfo, kConvert, kShift, kSort, kExport, kPlot, kCheck, kHelp, kVersion };

enum class ExportFormat { kBids, kFsl, kAfni, kSpm };

// How export and plot time a run's events (see docs/exporting.md).
struct RunChoices {
  std::optional<bool> subjectColumn;  // none: from the log's column header line
  std::int32_t durationRule = 1;
  bool zeroAtFirstPulse = true;  // false: --zero log
  std::int32_t dummyVolumes = 0;
  std::optional<std::string> pulseCode;
  std::string conditionsPath;           // empty: each code is its own condition
  std::vector<std::string> eventTypes;  // --event-types; empty: Picture, Sound, Video and Response
  std::string outDir;                   // empty: beside each input
  std::vector<std::string> inputs;
};

// Where a single run goes in a BIDS dataset.
struct BidsPlace {
  std::string root;  // empty: not asked for
  std::string subject;
  std::string task;
  std::string session;  // optional
  std::string run;      // optional
};

// What check takes beyond the run options (see docs/checking.md).
struct CheckChoices {
  std::optional<double> tr;       // seconds
  std::vector<std::string> bold;  // one BOLD image per input, in order, or none
  double highPass = 128;          // seconds
  double vifLimit = 5;
  std::string reportPath;  // empty: no report
};

struct Options {
  Program program = Program::kStimloom;  // whose command line it is
  Command command = Command::kRun;       // kRun: stimloom-host's menu
  // The stand-in host's own:
  std::string pluginPath;    // empty: the plug-in built beside the program
  std::string logPanePath;   // empty: standard output
  std::string protocolPath;  // opened as the current protocol first
  bool noVmr = false;
  std::vector<std::string> answers;  // scripted dialog answers for a plain run
  bool scripted = false;             // answers were given (possibly none)
  // convert
  std::optional<bool> subjectColumn;  // none: from each log's column header line
  std::int32_t tr = 2000;
  std::int32_t durationRule = 1;
  std::vector<std::string> logs;
  // shift
  std::optional<std::int32_t> amount;
  std::optional<bool> subtract;
  // sort
  std::string order;
  // export and plot
  RunChoices run;
  ExportFormat format = ExportFormat::kBids;
  std::string prefix;  // AFNI's file names; empty: the first input's stem
  BidsPlace bids;
  // check
  CheckChoices check;
};

struct ParsedCommandLine {
  Options options;
  std::string error;  // empty when the command line is good
  std::string help;   // the help asked for, of the program or of one command
};

ParsedCommandLine parseCommandLine(Program program, const std::vector<std::string>& arguments);

// Reads a file of answers, one per line; false with `error` when it cannot be read.
bool readAnswersFile(const std::string& path, std::vector<std::string>& answers, std::string& error);

}  // namespace console
