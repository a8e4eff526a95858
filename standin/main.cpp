// stimloom-host: loads the stimloom plug-in as the desktop host does and runs
// it. The program only answers the plug-in's dialogs and shows its log pane;
// the plug-in does the work.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/command_line.h"
#include "console/run_inputs.h"
#include "console/shared_commands.h"
#include "plugin/plugin_interface.h"
#include "protocol/order_answer.h"
#include "standin/plugin_library.h"
#include "standin/scripted_runs.h"
#include "standin/standin_host.h"
#include "standin/terminal_dialogs.h"

namespace {

using console::Command;
using console::Options;
using standin::Answer;

constexpr const char* kProgram = "stimloom-host";

// Scripted answers that also show the message boxes on the terminal.
class ScriptWithMessages final : public standin::DialogResponder {
 public:
  explicit ScriptWithMessages(standin::ScriptedResponder& script) : script_(script) {}
  void message(std::string_view text) override {
    std::fprintf(stderr, "[Mirovane ZR] %s\n", standin::renderRichText(text).c_str());
  }
  bool yesNo(std::string_view text) override {
    message(text);
    return script_.yesNo(text);
  }
  std::optional<std::int32_t> integer(std::string_view prompt, std::int32_t defaultValue, std::int32_t minimum,
                                      std::int32_t maximum) override {
    return script_.integer(prompt, defaultValue, minimum, maximum);
  }
  std::optional<std::string> text(std::string_view prompt, std::string_view defaultAnswer) override {
    return script_.text(prompt, defaultAnswer);
  }
  std::optional<std::string> openFile(std::string_view prompt, std::string_view initialText,
                                      std::string_view filter) override {
    return script_.openFile(prompt, initialText, filter);
  }
  std::optional<std::string> saveFile(std::string_view prompt, std::string_view initialText,
                                      std::string_view filter) override {
    return script_.saveFile(prompt, initialText, filter);
  }

 private:
  standin::ScriptedResponder& script_;
};

// Passes every dialog on and counts them. A run that returns false having
// asked nothing never reached its host: the plug-in found nothing to bind to.
class CountedDialogs final : public standin::DialogResponder {
 public:
  explicit CountedDialogs(standin::DialogResponder& inner) : inner_(inner) {}
  int asked() const { return asked_; }

  void message(std::string_view text) override {
    ++asked_;
    inner_.message(text);
  }
  bool yesNo(std::string_view text) override {
    ++asked_;
    return inner_.yesNo(text);
  }
  std::optional<std::int32_t> integer(std::string_view prompt, std::int32_t defaultValue, std::int32_t minimum,
                                      std::int32_t maximum) override {
    ++asked_;
    return inner_.integer(prompt, defaultValue, minimum, maximum);
  }
  std::optional<std::string> text(std::string_view prompt, std::string_view defaultAnswer) override {
    ++asked_;
    return inner_.text(prompt, defaultAnswer);
  }
  std::optional<std::string> openFile(std::string_view prompt, std::string_view initialText,
                                      std::string_view filter) override {
    ++asked_;
    return inner_.openFile(prompt, initialText, filter);
  }
  std::optional<std::string> saveFile(std::string_view prompt, std::string_view initialText,
                                      std::string_view filter) override {
    ++asked_;
    return inner_.saveFile(prompt, initialText, filter);
  }

 private:
  standin::DialogResponder& inner_;
  int asked_ = 0;
};

Answer scriptedAnswer(const std::string& text) { return text.empty() ? Answer::takeDefault() : Answer::of(text); }

std::size_t intervalCount(const standin::Protocol& protocol) {
  std::size_t count = 0;
  for (const auto& condition : protocol.conditions) count += condition.starts.size();
  return count;
}

void reportHostErrors(std::size_t from) {
  const auto& errors = standin::host().hostErrors;
  for (std::size_t i = from; i < errors.size(); ++i) std::fprintf(stderr, "%s: %s\n", kProgram, errors[i].c_str());
}

// One run of the plug-in; true when it saved a protocol and the host met no problem.
struct RunResult {
  bool executed = false;
  bool bound = true;  // false: the plug-in found no host to bind to and did nothing
  bool saved = false;
  std::string savedPath;
};

// Why a run saved nothing, for the line that names the file.
const char* whereToLook(const RunResult& result) {
  return result.bound ? "the log pane says why" : "the plug-in did not run";
}

RunResult runPlugin(MNZRPluginInterface& plugin) {
  standin::HostState& host = standin::host();
  const std::size_t savesBefore = host.savedPaths.size();
  const std::size_t errorsBefore = host.hostErrors.size();
  RunResult result;
  standin::DialogResponder* const previous = host.responder;
  CountedDialogs counted(host.dialogs());
  host.responder = &counted;
  result.executed = plugin.execute();
  host.printLogEcho();
  host.responder = previous;
  if (!result.executed && counted.asked() == 0) {
    result.bound = false;
    std::fprintf(stderr,
                 "%s: the plug-in did not run: it returned false before asking anything, as it found no host to bind "
                 "to (it looks for the host's functions in a module named MirovaneZR.exe)\n",
                 kProgram);
  }
  reportHostErrors(errorsBefore);
  if (host.script.unanswered > 0) {
    std::fprintf(stderr, "%s: %d dialog(s) found no answer and were cancelled\n", kProgram, host.script.unanswered);
  }
  result.saved = host.savedPaths.size() > savesBefore && host.hostErrors.size() == errorsBefore;
  if (result.saved) result.savedPath = host.savedPaths.back();
  return result;
}

int convert(MNZRPluginInterface& plugin, const Options& options) {
  std::vector<std::string> summaries;
  std::vector<std::string> failures;  // "LOG (why)"
  for (const std::string& log : options.logs) {
    // The layout dialog is answered with what the log's column header says,
    // unless the command line says otherwise (a header that names its
    // columns still decides, and the plug-in says so).
    const console::LogLayout layout = console::logLayoutOfFile(log, options.subjectColumn);
    standin::scriptAnswers(standin::conversionAnswers(log, options.subjectColumn.value_or(layout.hasSubjectColumn),
                                                      options.tr, options.durationRule));
    const RunResult result = runPlugin(plugin);
    if (result.executed && result.saved) {
      const standin::Protocol& protocol = standin::host().protocol;
      summaries.push_back(log + ": " + std::to_string(protocol.conditions.size()) + " conditions, " +
                          std::to_string(intervalCount(protocol)) + " intervals -> " + result.savedPath +
                          " (layout: " + layout.said + ")");
    } else {
      failures.push_back(log + " (" + whereToLook(result) + ")");
    }
  }
  for (const std::string& line : summaries) std::printf("converted %s\n", line.c_str());
  for (const std::string& failure : failures) {
    std::fprintf(stderr, "%s: not converted: %s\n", kProgram, failure.c_str());
  }
  return failures.empty() ? 0 : 1;
}

// A shift or a sort of the protocol opened with --protocol. A sort to the
// order the protocol already has saves nothing and is no failure.
int editSavedProtocol(MNZRPluginInterface& plugin, const std::vector<Answer>& answers, const char* what) {
  standin::HostState& host = standin::host();
  standin::scriptAnswers(answers);
  host.logPane.clear();
  host.keepLogPane = true;
  const RunResult result = runPlugin(plugin);
  host.keepLogPane = false;
  if (!result.saved) {
    const auto& pane = host.logPane;
    if (result.executed && std::find(pane.begin(), pane.end(), stimloom::kOrderUnchanged) != pane.end()) {
      std::printf("%s: the conditions are already in that order; nothing was saved\n", kProgram);
      return 0;
    }
    std::fprintf(stderr, "%s: the protocol was not %s (%s)\n", kProgram, what, whereToLook(result));
    return 1;
  }
  std::printf("%s %s\n", what, result.savedPath.c_str());
  return 0;
}

int runMenu(MNZRPluginInterface& plugin, const Options& options, std::unique_ptr<standin::DialogResponder>& dialogs) {
  if (options.scripted) {
    std::vector<Answer> answers;
    for (const std::string& text : options.answers) answers.push_back(scriptedAnswer(text));
    standin::scriptAnswers(answers);
    dialogs = std::make_unique<ScriptWithMessages>(standin::host().script);
  } else {
    dialogs = std::make_unique<standin::TerminalResponder>(std::cin, stderr);
  }
  standin::host().responder = dialogs.get();
  return runPlugin(plugin).executed ? 0 : 1;
}

int run(const Options& options) {
  standin::HostState& host = standin::host();
  host.recordCalls = false;
  host.keepLogPane = false;
  host.vmrOpen = !options.noVmr;

  std::FILE* pane = stdout;
  if (!options.logPanePath.empty()) {
    pane = std::fopen(options.logPanePath.c_str(), "w");
    if (pane == nullptr) {
      std::fprintf(stderr, "%s: cannot write the log pane to %s\n", kProgram, options.logPanePath.c_str());
      return 1;
    }
  }
  host.logEcho = pane;
  const auto closePane = [pane, &host] {
    host.printLogEcho();
    std::fflush(pane);
    if (pane != stdout) std::fclose(pane);
  };

  if (!options.protocolPath.empty()) {
    std::string error;
    if (!standin::loadProtocolFile(options.protocolPath, host.protocol, error)) {
      std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
      closePane();
      return 1;
    }
    host.protocol.fileName = options.protocolPath;
  }

  const std::string pluginPath = options.pluginPath.empty() ? standin::defaultPluginPath() : options.pluginPath;
  standin::PluginLibrary library(pluginPath);
  if (!library.loaded()) {
    std::fprintf(stderr, "%s: %s\n", kProgram, library.error().c_str());
    closePane();
    return 1;
  }
  const auto& entry = library.entryPoints();
  if (options.command == Command::kInfo) {
    std::printf("%s\n%s\n%s\n", entry.getPluginName(), standin::renderRichText(entry.getPluginDescription()).c_str(),
                entry.getAuthor());
    closePane();
    return 0;
  }
  MNZRPluginInterface* plugin = entry.createPlugin();
  if (plugin == nullptr) {
    std::fprintf(stderr, "%s: the plug-in could not create its object\n", kProgram);
    closePane();
    return 1;
  }

  std::unique_ptr<standin::DialogResponder> dialogs;
  int status = 0;
  switch (options.command) {
    case Command::kConvert:
      status = convert(*plugin, options);
      break;
    case Command::kShift:
      status = editSavedProtocol(*plugin, standin::shiftAnswers(*options.amount, *options.subtract), "shifted");
      break;
    case Command::kSort:
      status = editSavedProtocol(*plugin, standin::sortAnswers(options.order), "sorted");
      break;
    default:
      status = runMenu(*plugin, options, dialogs);
      break;
  }
  standin::destroyPlugin(plugin);
  host.responder = nullptr;
  closePane();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const console::ParsedCommandLine parsed =
      console::parseCommandLine(console::Program::kStandinHost, std::vector<std::string>(argv + 1, argv + argc));
  if (const auto status = console::runSharedCommand(console::Program::kStandinHost, parsed)) return *status;
  return run(parsed.options);
}
