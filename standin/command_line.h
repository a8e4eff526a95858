#pragma once
// The command line of stimloom-host.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace standin {

enum class Command { kRun, kInfo, kConvert, kShift, kSort, kHelp, kVersion };

struct Options {
  Command command = Command::kRun;
  std::string pluginPath;    // empty: the plug-in built beside the program
  std::string logPanePath;   // empty: standard output
  std::string protocolPath;  // opened as the current protocol first
  bool noVmr = false;
  std::vector<std::string> answers;  // scripted dialog answers for a plain run
  bool scripted = false;             // answers were given (possibly none)
  // convert
  bool subjectColumn = false;
  std::int32_t tr = 2000;
  std::int32_t durationRule = 1;
  std::vector<std::string> logs;
  // shift
  std::optional<std::int32_t> amount;
  std::optional<bool> subtract;
  // sort
  std::string order;
};

struct ParsedCommandLine {
  Options options;
  std::string error;  // empty when the command line is good
};

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

// Reads a file of answers, one per line; false with `error` when it cannot be read.
bool readAnswersFile(const std::string& path, std::vector<std::string>& answers, std::string& error);

extern const char* const kUsage;

}  // namespace standin
