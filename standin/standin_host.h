#pragma once
// The stand-in host: the host's side of every call the plug-in makes, for the
// tests and the console program. Its zr functions are exported from a module
// named MirovaneZR.exe, so the plug-in binds to it exactly as to the real host.
//
// Every call is recorded in order; dialogs are answered by a responder
// (a scripted queue in tests, the terminal in the console program).

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standin/protocol_store.h"

#if defined(_WIN32)
#define STANDIN_API
#else
#define STANDIN_API __attribute__((visibility("default")))
#endif

namespace standin {

// One call the plug-in made: the function's name and its arguments as text.
struct HostCall {
  std::string function;
  std::vector<std::string> arguments;
};

// Answers the host's dialogs. An empty optional means the dialog was cancelled.
class STANDIN_API DialogResponder {
 public:
  virtual ~DialogResponder() = default;
  virtual void message(std::string_view text) = 0;
  virtual bool yesNo(std::string_view text) = 0;
  virtual std::optional<std::int32_t> integer(std::string_view prompt, std::int32_t defaultValue, std::int32_t minimum,
                                              std::int32_t maximum) = 0;
  virtual std::optional<std::string> text(std::string_view prompt, std::string_view defaultAnswer) = 0;
  virtual std::optional<std::string> openFile(std::string_view prompt, std::string_view initialText,
                                              std::string_view filter) = 0;
  virtual std::optional<std::string> saveFile(std::string_view prompt, std::string_view initialText,
                                              std::string_view filter) = 0;
};

// A scripted answer: a text (a number for integer dialogs, "yes"/"no" or
// "1"/"0" for yes/no boxes, a path for file dialogs), the dialog's default, or
// a cancel.
struct Answer {
  enum class Kind { kText, kDefault, kCancel };
  Kind kind = Kind::kDefault;
  std::string text;

  static Answer of(std::string text) { return {Kind::kText, std::move(text)}; }
  static Answer of(std::int32_t number) { return {Kind::kText, std::to_string(number)}; }
  static Answer takeDefault() { return {Kind::kDefault, {}}; }
  static Answer cancel() { return {Kind::kCancel, {}}; }
};

// Answers from a queue, in order. When the queue runs dry every dialog is
// cancelled and `unanswered` counts it, so a test sees a missing answer.
class STANDIN_API ScriptedResponder final : public DialogResponder {
 public:
  std::deque<Answer> answers;
  int unanswered = 0;

  void message(std::string_view) override {}
  bool yesNo(std::string_view text) override;
  std::optional<std::int32_t> integer(std::string_view prompt, std::int32_t defaultValue, std::int32_t minimum,
                                      std::int32_t maximum) override;
  std::optional<std::string> text(std::string_view prompt, std::string_view defaultAnswer) override;
  std::optional<std::string> openFile(std::string_view prompt, std::string_view initialText,
                                      std::string_view filter) override;
  std::optional<std::string> saveFile(std::string_view prompt, std::string_view initialText,
                                      std::string_view filter) override;

 private:
  std::optional<Answer> next();
};

// Everything the stand-in host holds.
struct HostState {
  bool vmrOpen = true;           // zrGetCurrentVMR's answer
  bool recordCalls = true;       // keep every call in `calls`
  bool keepLogPane = true;       // keep every log line in `logPane`
  std::FILE* logEcho = nullptr;  // also print each log line here
  // The log lines not yet printed to logEcho: a million events make 170 MB
  // of them, printed in blocks of 1 MiB. Every dialog prints them first, so
  // that a question follows the lines before it.
  std::string echoPending;
  void printLogEcho();
  std::vector<HostCall> calls;
  std::vector<std::string> logPane;
  std::vector<std::string> messages;    // texts of message and yes/no boxes
  std::vector<std::string> hostErrors;  // what the host could not do: saves, loads, answers too long
  std::vector<std::string> savedPaths;  // every file zrSaveProtocol wrote
  // When set, protocols are saved and loaded here, path to file text, and
  // never on disk (a fuzzing harness runs millions of saves).
  std::optional<std::map<std::string, std::string>> memoryFiles;
  Protocol protocol;  // the current protocol
  std::string hostPath = "C:\\Program Files\\Mirovane ZR\\MirovaneZR.exe";
  DialogResponder* responder = nullptr;  // null: the scripted responder below
  ScriptedResponder script;

  DialogResponder& dialogs() {
    printLogEcho();
    return responder != nullptr ? *responder : script;
  }
  std::vector<std::string> callNames() const;
};

// The process-wide state, and a return to a fresh one (VMR open, empty
// protocol, no calls, no answers).
STANDIN_API HostState& host();
STANDIN_API void resetHost();

// What an integer dialog answers when cancelled.
inline constexpr std::int32_t kCancelledInteger = 0;

}  // namespace standin
