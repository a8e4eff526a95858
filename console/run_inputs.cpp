#include "console/run_inputs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "console/file_output.h"
#include "console/native_path.h"
#include "console/protocol_file.h"
#include "log/presentation_log.h"
#include "util/decimal.h"
#include "util/file_names.h"

namespace console {
namespace {

// The reader's lines that name a place in the file ("run1.log:57: ..."): the
// events it left out, and why. Its failure line, which names the file, is
// reported by the failure itself.
class PlacedLines final : public stimloom::LineSink {
 public:
  explicit PlacedLines(std::string prefix) : prefix_(std::move(prefix)) {}
  std::vector<std::string> lines;
  void line(const char* text) override {
    if (std::string_view(text).starts_with(prefix_)) lines.emplace_back(text);
  }
  using LineSink::line;

 private:
  std::string prefix_;
};

stimloom::Protocol protocolValue(const SavedProtocol& stored) {
  stimloom::Protocol protocol;
  protocol.fileName = stored.fileName;
  protocol.experimentName = stored.experimentName;
  protocol.timeResolution = static_cast<stimloom::TimeResolution>(stored.timeResolution);
  for (const auto& condition : stored.conditions) {
    stimloom::Condition value{condition.name, condition.colour, {}};
    for (std::size_t i = 0; i < condition.starts.size(); ++i) {
      value.intervals.push_back({condition.starts[i], condition.ends[i]});
    }
    protocol.conditions.push_back(std::move(value));
  }
  return protocol;
}

}  // namespace

LogLayout logLayout(std::string_view start, std::optional<bool> asked) {
  LogLayout layout;
  const auto header = stimloom::findColumnHeader(start);
  // A header that names its columns decides, whatever was asked.
  const bool overruled = asked && header && header->byName && header->hasSubjectColumn != *asked;
  if (asked && !overruled) {
    layout.hasSubjectColumn = *asked;
    layout.said = *asked ? "a Subject column (as asked)" : "no Subject column (as asked)";
  } else if (header) {
    layout.hasSubjectColumn = header->hasSubjectColumn;
    layout.said = std::string(header->hasSubjectColumn ? "a Subject column" : "no Subject column") +
                  " (its column header, line " + std::to_string(header->line) + (overruled ? ", not as asked)" : ")");
  } else {
    layout.said = "no Subject column (it has no column header line)";
  }
  return layout;
}

LogLayout logLayoutOfFile(const std::string& path, std::optional<bool> asked) {
  return logLayout(readFileStart(path, stimloom::kFileStartBytes), asked);
}

std::optional<RunSettings> runSettings(const RunChoices& choices, std::string& error) {
  RunSettings settings;
  settings.options.durationRule = stimloom::durationRuleOf(choices.durationRule);
  settings.options.zero = choices.zeroAtFirstPulse ? stimloom::TimeZero::kFirstPulse : stimloom::TimeZero::kLog;
  settings.options.dummyVolumes = choices.dummyVolumes;
  settings.options.pulseCode = choices.pulseCode;
  if (!choices.eventTypes.empty()) settings.options.eventTypes = choices.eventTypes;
  if (!choices.conditionsPath.empty()) {
    const auto text = readWholeFile(choices.conditionsPath, error);
    if (!text) return std::nullopt;
    settings.conditions = stimloom::ConditionMap::parse(*text, choices.conditionsPath, error);
    if (!settings.conditions) return std::nullopt;
  }
  return settings;
}

std::optional<LoadedRun> loadRun(const std::string& input, const RunChoices& choices, const RunSettings& settings,
                                 bool logZeroWithoutPulse, std::string& error) {
  LoadedRun run;
  run.input = input;
  run.stem = stimloom::fileNameFromPath(input, true, false).value_or("");
  stimloom::RunOptions options = settings.options;
  options.conditions = settings.conditions ? &*settings.conditions : nullptr;

  std::error_code status;
  if (std::filesystem::is_directory(nativePath(input), status)) {
    error = input + ": is a folder, not a log or a protocol";
    return std::nullopt;
  }
  const std::string start = readFileStart(input, stimloom::kFileStartBytes);
  if (start.starts_with(kProtocolFormatLine)) {
    run.fromProtocol = true;
    SavedProtocol stored;
    if (!loadProtocolFile(input, stored, error)) return std::nullopt;
    auto events = stimloom::runEventsOfProtocol(protocolValue(stored), options, input, error);
    if (!events) return std::nullopt;
    run.events = std::move(*events);
    run.warnings = run.events.warnings;
    return run;
  }

  stimloom::LogReadOptions read;
  read.pulseCode = choices.pulseCode;
  read.trace = false;
  read.keptTypes = settings.options.eventTypes;
  read.trialFacts = true;
  const LogLayout layout = logLayout(start, choices.subjectColumn);
  read.hasSubjectColumn = layout.hasSubjectColumn;
  run.layout = layout.said;
  PlacedLines placed(input + ":");
  const stimloom::PresentationLog log = stimloom::readPresentationLogFile(input, read, placed);
  if (log.readFailed) {
    error = log.failure;
    return std::nullopt;
  }
  auto events = stimloom::runEventsOfLog(log, options, input, error);
  if (!events && logZeroWithoutPulse && log.Pulses.empty()) {
    options.zero = stimloom::TimeZero::kLog;
    events = stimloom::runEventsOfLog(log, options, input, error);
    run.noPulseForZero = true;
  }
  if (!events) return std::nullopt;
  run.events = std::move(*events);
  run.typesFound = log.TypesFound;
  run.warnings = std::move(placed.lines);
  run.warnings.insert(run.warnings.end(), run.events.warnings.begin(), run.events.warnings.end());
  const auto pulses = stimloom::pulseWarnings(run.events, input);
  run.warnings.insert(run.warnings.end(), pulses.begin(), pulses.end());
  return run;
}

void addTypesFound(const LoadedRun& run, std::vector<std::string>& typesFound) {
  for (const std::string& type : run.typesFound) {
    if (std::find(typesFound.begin(), typesFound.end(), type) == typesFound.end()) typesFound.push_back(type);
  }
}

void warnOfEventTypesNotFound(const char* program, const RunChoices& choices,
                              const std::vector<std::string>& typesFound, std::FILE* err) {
  // Types are matched exactly: a listed type that no input holds is most likely misspelt.
  for (const std::string& type : choices.eventTypes) {
    if (std::find(typesFound.begin(), typesFound.end(), type) != typesFound.end()) continue;
    std::string found;
    for (const std::string& each : typesFound) found += (found.empty() ? "" : ", ") + each;
    std::fprintf(err, "%s: warning: --event-types: no input holds events of type \"%s\"; the types found: %s\n",
                 program, type.c_str(), found.empty() ? "none" : found.c_str());
  }
}

int forEachRun(const char* program, const RunChoices& choices, const RunSettings& settings, bool logZeroWithoutPulse,
               const char* verb, std::FILE* err, const std::function<bool(LoadedRun& run, std::string& error)>& use,
               std::vector<std::string>* failed) {
  int status = 0;
  std::vector<std::string> typesFound;
  for (const std::string& input : choices.inputs) {
    std::string error;
    auto run = loadRun(input, choices, settings, logZeroWithoutPulse, error);
    if (run) {
      for (const std::string& warning : run->warnings) std::fprintf(err, "%s: warning: %s\n", program, warning.c_str());
      addTypesFound(*run, typesFound);
    }
    if (!run || !use(*run, error)) {
      std::fprintf(err, "%s: not %s: %s\n", program, verb, error.c_str());
      if (failed != nullptr && !run) failed->push_back(input);
      status = 1;
    }
  }
  warnOfEventTypesNotFound(program, choices, typesFound, err);
  return status;
}

std::string countOf(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string outputFolder(const std::string& input, const RunChoices& choices) {
  if (!choices.outDir.empty()) return choices.outDir;
#if defined(_WIN32)
  const auto separator = input.find_last_of("\\/");
#else
  const auto separator = input.rfind('/');
#endif
  if (separator == std::string::npos) return ".";
  return separator == 0 ? input.substr(0, 1) : input.substr(0, separator);
}

bool prepareFolder(const std::string& folder, std::string& error) {
  std::error_code status;
  const std::filesystem::path path = nativePath(folder);
  if (std::filesystem::is_directory(path, status)) return true;
  if (std::filesystem::exists(path, status)) {
    error = folder + ": is not a folder";
    return false;
  }
  std::filesystem::create_directories(path, status);
  if (status) {
    error = folder + ": the folder cannot be made: " + status.message();
    return false;
  }
  return true;
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder == ".") return name;
  const char last = folder.back();
  return last == '/' || last == '\\' ? folder + name : folder + "/" + name;
}

}  // namespace console
