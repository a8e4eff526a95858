#pragma once
// The inputs of export and plot: Presentation logs and saved millisecond
// protocols, each read and timed as the user's options say.

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/command_line.h"
#include "export/condition_map.h"
#include "export/run_events.h"

namespace console {

struct LoadedRun {
  std::string input;  // the path as given
  std::string stem;   // its file name without extension, eg: "run1"
  bool fromProtocol = false;
  std::string layout;           // how the log's layout was chosen, eg: "a Subject column (its column header, line 4)"
  bool noPulseForZero = false;  // timed from the log's own zero, as it holds no pulse to time from
  stimloom::RunEvents events;
  std::vector<std::string> warnings;    // lines the reader named, negative durations, the pulse check
  std::vector<std::string> typesFound;  // the event types of the log's table
};

// The layout of a log: as asked, else as its column header line (among its
// first lines, `start`) says, else without a Subject column; and how it was
// chosen, eg: "a Subject column (its column header, line 4)".
struct LogLayout {
  bool hasSubjectColumn = false;
  std::string said;
};
LogLayout logLayout(std::string_view start, std::optional<bool> asked);
LogLayout logLayoutOfFile(const std::string& path, std::optional<bool> asked);

// The options of export and plot, as the run timing takes them.
struct RunSettings {
  stimloom::RunOptions options;
  std::optional<stimloom::ConditionMap> conditions;
};

// Nothing, with `error`, when the conditions file cannot be read or is malformed.
std::optional<RunSettings> runSettings(const RunChoices& choices, std::string& error);

// Nothing, with `error` naming the input and what to do, when it cannot be
// read, is neither a log nor a protocol, or has no time zero. A log without a
// pulse is timed from its own zero instead when `logZeroWithoutPulse` is set.
std::optional<LoadedRun> loadRun(const std::string& input, const RunChoices& choices, const RunSettings& settings,
                                 bool logZeroWithoutPulse, std::string& error);

// Adds the Event Types that `run` holds to `typesFound`, each once; then
// warns on `err` of each type --event-types lists that none of them holds.
void addTypesFound(const LoadedRun& run, std::vector<std::string>& typesFound);
void warnOfEventTypesNotFound(const char* program, const RunChoices& choices,
                              const std::vector<std::string>& typesFound, std::FILE* err);

// Loads each input of `choices` and hands it to `use`, saying its warnings on
// `err`. Each input that cannot be loaded, or that `use` fails (with
// `error`), is named there as "PROGRAM: not VERB: why" and, when `failed`
// is given, listed in it. 0 when every input went well, else 1.
int forEachRun(const char* program, const RunChoices& choices, const RunSettings& settings, bool logZeroWithoutPulse,
               const char* verb, std::FILE* err, const std::function<bool(LoadedRun& run, std::string& error)>& use,
               std::vector<std::string>* failed = nullptr);

// "1 event", "46 events".
std::string countOf(std::size_t count, const char* one, const char* many);

// The folder an output of `input` goes into: --out, or the input's own.
std::string outputFolder(const std::string& input, const RunChoices& choices);

// `folder` and `name` joined; the folder is made when it is missing. False,
// with `error`, when it cannot be.
bool prepareFolder(const std::string& folder, std::string& error);
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace console
