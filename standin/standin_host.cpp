#include "standin/standin_host.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "host/records.h"

#if defined(_WIN32)
#define STANDIN_EXPORT __declspec(dllexport)
#else
#define STANDIN_EXPORT __attribute__((visibility("default")))
#endif

// The exports, declared from the same list that the plug-in binds by, so a
// signature cannot drift between the two sides.
extern "C" {
#define STIMLOOM_HOST_FUNCTION(name, result, parameters) STANDIN_EXPORT result name parameters;
#include "host/host_functions.def"
}

namespace standin {
namespace {

using stimloom::ConditionRecord;
using stimloom::ProtocolRecord;

constexpr std::size_t kDialogBufferBytes = 256;
constexpr std::size_t kEchoBlockBytes = std::size_t{1} << 20;  // log lines printed at once

std::string text(const char* value) { return value != nullptr ? std::string(value) : std::string("(null)"); }

// Calls made once per condition, interval or log line build their argument
// texts only when calls are recorded: a benchmark or a batch conversion
// records none.
void record(std::string function, std::vector<std::string> arguments = {}) {
  HostState& state = host();
  if (state.recordCalls) state.calls.push_back({std::move(function), std::move(arguments)});
}

// Copies a text into a caller's 256-byte buffer, cut to fit.
void fillBuffer(char* buffer, std::string_view value) {
  if (buffer == nullptr) return;
  const std::size_t length = std::min(value.size(), kDialogBufferBytes - 1);
  std::memcpy(buffer, value.data(), length);
  buffer[length] = '\0';
}

// Copies a text into a record field, cut to fit: the host never overruns a field.
template <std::size_t N>
void fillField(char (&field)[N], std::string_view value, std::size_t capacity = N) {
  const std::size_t length = std::min(value.size(), capacity - 1);
  std::memcpy(field, value.data(), length);
  field[length] = '\0';
}

// A file dialog's answer: a path that does not fit the 256-byte buffer is
// refused like a cancel, never cut into another path.
int answerPath(const std::optional<std::string>& reply, char* result) {
  if (!reply) return 0;
  if (reply->size() >= kDialogBufferBytes) {
    host().hostErrors.push_back("the path is longer than the host's file dialogs take (255 characters): " + *reply);
    return 0;
  }
  fillBuffer(result, *reply);
  return 1;
}

bool validIndex(std::int32_t index) {
  return index >= 0 && static_cast<std::size_t>(index) < host().protocol.conditions.size();
}

}  // namespace

std::optional<Answer> ScriptedResponder::next() {
  if (answers.empty()) {
    ++unanswered;
    return std::nullopt;
  }
  Answer answer = std::move(answers.front());
  answers.pop_front();
  return answer;
}

bool ScriptedResponder::yesNo(std::string_view) {
  const auto answer = next();
  if (!answer || answer->kind != Answer::Kind::kText) return false;
  return answer->text == "yes" || answer->text == "y" || answer->text == "1";
}

std::optional<std::int32_t> ScriptedResponder::integer(std::string_view, std::int32_t defaultValue, std::int32_t,
                                                       std::int32_t) {
  const auto answer = next();
  if (!answer || answer->kind == Answer::Kind::kCancel) return std::nullopt;
  if (answer->kind == Answer::Kind::kDefault) return defaultValue;
  std::int32_t value = 0;
  const char* first = answer->text.data();
  const char* last = first + answer->text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last) return std::nullopt;
  return value;
}

std::optional<std::string> ScriptedResponder::text(std::string_view, std::string_view defaultAnswer) {
  const auto answer = next();
  if (!answer || answer->kind == Answer::Kind::kCancel) return std::nullopt;
  if (answer->kind == Answer::Kind::kDefault) return std::string(defaultAnswer);
  return answer->text;
}

std::optional<std::string> ScriptedResponder::openFile(std::string_view, std::string_view initialText,
                                                       std::string_view) {
  return text({}, initialText);
}

std::optional<std::string> ScriptedResponder::saveFile(std::string_view, std::string_view initialText,
                                                       std::string_view) {
  return text({}, initialText);
}

std::vector<std::string> HostState::callNames() const {
  std::vector<std::string> names;
  names.reserve(calls.size());
  for (const HostCall& call : calls) names.push_back(call.function);
  return names;
}

void HostState::printLogEcho() {
  if (echoPending.empty()) return;
  if (logEcho != nullptr) std::fwrite(echoPending.data(), 1, echoPending.size(), logEcho);
  echoPending.clear();
}

HostState& host() {
  static HostState state;
  return state;
}

void resetHost() {
  HostState& state = host();
  state.vmrOpen = true;
  state.recordCalls = true;
  state.keepLogPane = true;
  state.logEcho = nullptr;
  state.echoPending.clear();
  state.calls.clear();
  state.logPane.clear();
  state.messages.clear();
  state.hostErrors.clear();
  state.savedPaths.clear();
  state.memoryFiles.reset();
  state.protocol = Protocol{};
  state.responder = nullptr;
  state.script = ScriptedResponder{};
}

}  // namespace standin

using standin::host;
using standin::record;

extern "C" {

int zrGetVersionOfMirovaneZR() {
  record("zrGetVersionOfMirovaneZR");
  return 1;
}

void zrGetMirovaneZRPath(char* path) {
  record("zrGetMirovaneZRPath");
  standin::fillBuffer(path, host().hostPath);
}

void zrLogText(const char* text) {
  standin::HostState& state = host();
  if (text == nullptr) text = "(null)";
  if (state.recordCalls) record("zrLogText", {text});
  if (state.logEcho != nullptr) {
    state.echoPending.append(text).push_back('\n');
    if (state.echoPending.size() >= standin::kEchoBlockBytes) state.printLogEcho();
  }
  if (state.keepLogPane) state.logPane.emplace_back(text);
}

void zrShowLogTab() { record("zrShowLogTab"); }

void zrMessageBox(const char* text) {
  record("zrMessageBox", {standin::text(text)});
  host().messages.push_back(standin::text(text));
  host().dialogs().message(standin::text(text));
}

int zrYesNoMessageBox(const char* text) {
  record("zrYesNoMessageBox", {standin::text(text)});
  host().messages.push_back(standin::text(text));
  return host().dialogs().yesNo(standin::text(text)) ? 1 : 0;
}

int zrGetIntegerInput(const char* prompt, int defaultValue, int minimum, int maximum) {
  record("zrGetIntegerInput",
         {standin::text(prompt), std::to_string(defaultValue), std::to_string(minimum), std::to_string(maximum)});
  return host()
      .dialogs()
      .integer(standin::text(prompt), defaultValue, minimum, maximum)
      .value_or(standin::kCancelledInteger);
}

int zrGetTextInput(const char* prompt, const char* defaultAnswer, char* answer) {
  record("zrGetTextInput", {standin::text(prompt), standin::text(defaultAnswer)});
  const auto reply = host().dialogs().text(standin::text(prompt), standin::text(defaultAnswer));
  standin::fillBuffer(answer, reply.value_or(std::string()));
  return reply ? 1 : 0;
}

int zrGetOpenFileName(const char* prompt, const char* initialText, const char* filter, char* result) {
  record("zrGetOpenFileName", {standin::text(prompt), standin::text(initialText), standin::text(filter)});
  const auto reply =
      host().dialogs().openFile(standin::text(prompt), standin::text(initialText), standin::text(filter));
  return standin::answerPath(reply, result);
}

int zrGetSaveFileName(const char* prompt, const char* initialText, const char* filter, char* result) {
  record("zrGetSaveFileName", {standin::text(prompt), standin::text(initialText), standin::text(filter)});
  const auto reply =
      host().dialogs().saveFile(standin::text(prompt), standin::text(initialText), standin::text(filter));
  return standin::answerPath(reply, result);
}

void zrUpdateActiveWindow() { record("zrUpdateActiveWindow"); }

int zrGetCurrentVMR(std::int32_t* dimX, std::int32_t* dimY, std::int32_t* dimZ) {
  record("zrGetCurrentVMR");
  const bool open = host().vmrOpen;
  for (std::int32_t* dimension : {dimX, dimY, dimZ}) {
    if (dimension != nullptr) *dimension = open ? 256 : 0;
  }
  return open ? 1 : 0;
}

void zrSaveCurrentSRF(const char* path) { record("zrSaveCurrentSRF", {standin::text(path)}); }

void zrGetProtocol(stimloom::ProtocolRecord* header) {
  record("zrGetProtocol");
  if (header == nullptr) return;
  const standin::Protocol& protocol = host().protocol;
  header->NrOfConditions = static_cast<std::int32_t>(protocol.conditions.size());
  standin::fillField(header->FileName, protocol.fileName);
  standin::fillField(header->ExperimentName, protocol.experimentName, stimloom::kExperimentNameCapacity);
  header->TimeResolution = protocol.timeResolution;
  header->Colour1 = protocol.colour1;
  header->Colour2 = protocol.colour2;
  header->Colour3 = protocol.colour3;
  header->PenThickness1 = protocol.penThickness1;
  header->Colour4 = protocol.colour4;
  header->PenThickness2 = protocol.penThickness2;
}

void zrSetProtocol(stimloom::ProtocolRecord* header) {
  record("zrSetProtocol", header != nullptr
                              ? std::vector<std::string>{std::to_string(header->NrOfConditions),
                                                         std::string(stimloom::readText(header->FileName))}
                              : std::vector<std::string>{"(null)"});
  if (header == nullptr) return;
  standin::Protocol& protocol = host().protocol;
  protocol.fileName = stimloom::readText(header->FileName);
  protocol.experimentName =
      stimloom::readText(std::span<const char>(header->ExperimentName, stimloom::kExperimentNameCapacity));
  protocol.timeResolution = header->TimeResolution;
  protocol.colour1 = header->Colour1;
  protocol.colour2 = header->Colour2;
  protocol.colour3 = header->Colour3;
  protocol.penThickness1 = header->PenThickness1;
  protocol.colour4 = header->Colour4;
  protocol.penThickness2 = header->PenThickness2;
}

void zrClearProtocol() {
  record("zrClearProtocol");
  host().protocol = standin::Protocol{};
}

int zrLoadProtocol(const char* path) {
  record("zrLoadProtocol", {standin::text(path)});
  if (path == nullptr) return 0;
  std::string error;
  standin::Protocol loaded;
  standin::HostState& state = host();
  bool ok = false;
  if (state.memoryFiles) {
    const auto file = state.memoryFiles->find(path);
    const standin::ParseResult parsed = file == state.memoryFiles->end()
                                            ? standin::ParseResult{false, std::string(path) + ": cannot be opened"}
                                            : standin::parseProtocol(file->second, path, loaded);
    ok = parsed.ok;
    error = parsed.error;
  } else {
    ok = standin::loadProtocolFile(path, loaded, error);
  }
  if (!ok) {
    state.hostErrors.push_back(error);
    return 0;
  }
  loaded.fileName = path;
  state.protocol = std::move(loaded);
  return 1;
}

void zrSaveProtocol(const char* path) {
  record("zrSaveProtocol", {standin::text(path)});
  standin::HostState& state = host();
  std::string error;
  if (path == nullptr) {
    state.hostErrors.push_back("cannot save a protocol without a file name");
  } else if (state.memoryFiles) {
    (*state.memoryFiles)[path] = standin::formatProtocol(state.protocol);
    state.savedPaths.emplace_back(path);
  } else if (!standin::saveProtocolFile(state.protocol, path, error)) {
    state.hostErrors.push_back(error);
  } else {
    state.savedPaths.emplace_back(path);
  }
}

void zrGetProtocolCondition(std::int32_t index, stimloom::ConditionRecord* condition) {
  if (host().recordCalls) record("zrGetProtocolCondition", {std::to_string(index)});
  if (condition == nullptr) return;
  if (!standin::validIndex(index)) {
    *condition = stimloom::ConditionRecord{};
    return;
  }
  standin::StoredCondition& stored = host().protocol.conditions[static_cast<std::size_t>(index)];
  standin::fillField(condition->Name, stored.name);
  condition->NrOfIntervals = static_cast<std::int32_t>(stored.starts.size());
  condition->IntervalStarts.set(stored.starts.data());
  condition->IntervalEnds.set(stored.ends.data());
  condition->Colour = stored.colour;
}

void zrAddProtocolCondition(stimloom::ConditionRecord* condition) {
  if (host().recordCalls) {
    record("zrAddProtocolCondition", condition != nullptr
                                         ? std::vector<std::string>{std::string(stimloom::readText(condition->Name)),
                                                                    std::to_string(condition->Colour)}
                                         : std::vector<std::string>{"(null)"});
  }
  if (condition == nullptr) return;
  standin::StoredCondition stored;
  stored.name = stimloom::readText(condition->Name);
  stored.colour = condition->Colour;
  host().protocol.conditions.push_back(std::move(stored));
}

void zrAddProtocolConditionInterval(std::int32_t index, std::int32_t start, std::int32_t end) {
  standin::HostState& state = host();  // once: this call comes once per interval
  if (state.recordCalls) {
    record("zrAddProtocolConditionInterval", {std::to_string(index), std::to_string(start), std::to_string(end)});
  }
  auto& conditions = state.protocol.conditions;
  if (index < 0 || static_cast<std::size_t>(index) >= conditions.size()) return;
  standin::StoredCondition& stored = conditions[static_cast<std::size_t>(index)];
  stored.starts.push_back(start);
  stored.ends.push_back(end);
}

}  // extern "C"
