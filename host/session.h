#pragma once
// One run of the plug-in against its host. The session owns the bound table of
// host functions, reaches the records handed to the host and the file system,
// and is the only code that calls the host: typed calls, each made only when
// the host offers the function.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "host/file_access.h"
#include "host/host_functions.h"
#include "host/record_store.h"
#include "util/line_sink.h"

namespace stimloom {

// The host's dialogs hand texts back in buffers of this many bytes.
inline constexpr std::size_t kDialogTextBytes = 256;
using DialogText = std::array<char, kDialogTextBytes>;

class HostSession final : public LineSink {
 public:
  HostSession(const HostFunctionTable& functions, RecordStore& records, FileAccess& files)
      : functions_(functions), records_(records), files_(files) {}
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // A session with the host found through `lookup`; nothing when the host
  // module or its version function is missing.
  static std::optional<HostSession> bind(const ModuleLookup& lookup, RecordStore& records, FileAccess& files);

  const HostFunctionTable& functions() const { return functions_; }
  bool offers(HostFunction function) const { return stimloom::offers(functions_, function); }

  // True when the host offers every function. Otherwise logs one line for
  // each missing one, eg: "The host does not offer zrSaveProtocol: cannot
  // shift the intervals. Nothing was changed."
  bool require(std::span<const HostFunction> needed, std::string_view task);
  bool require(std::initializer_list<HostFunction> needed, std::string_view task) {
    return require(std::span(needed.begin(), needed.size()), task);
  }

  // The log pane: one zrLogText call per line.
  void line(const char* text) override;
  using LineSink::line;
  void showLogTab();

  // Dialogs. A dialog the host does not offer answers as if cancelled.
  void messageBox(const char* text);
  bool yesNo(const char* text);
  std::int32_t integerInput(const char* prompt, std::int32_t defaultValue, std::int32_t minimum, std::int32_t maximum);
  // The answer, at most 255 characters; empty when the dialog wrote nothing.
  std::string textInput(const char* prompt, const char* defaultAnswer);
  // True when a file was chosen; its path is then in `path`.
  bool openFileName(const char* prompt, const char* initialText, const char* filter, DialogText& path);
  bool vmrOpen();

  // The host's current protocol.
  void getProtocol(ProtocolRecord& header);
  void setProtocol(ProtocolRecord& header);
  void clearProtocol();
  void saveProtocol(const char* path);
  void getProtocolCondition(std::int32_t index, ConditionRecord& condition);
  void addProtocolCondition(ConditionRecord& condition);
  void addProtocolConditionInterval(std::int32_t index, std::int32_t start, std::int32_t end);

  // Records to hand to the host, alive as long as it may hold them.
  ProtocolRecord& keepProtocolRecord() { return records_.keepProtocolRecord(); }
  ConditionRecord& keepConditionRecord() { return records_.keepConditionRecord(); }

  FileAccess& files() { return files_; }

  // Saving the current protocol under `path`, checked as far as the file
  // system can tell: before, that the target can be written (canSaveAs);
  // after, that a file is there (confirmSaved). Either failure logs "The
  // protocol could not be saved as PATH: why." and gives false. A save that
  // rewrote the same bytes is a save: nothing is judged by times.
  bool canSaveAs(const std::string& path);
  bool confirmSaved(const std::string& path);
  bool saveProtocolChecked(const std::string& path);

  // The session of the run in progress, for the operations that are called
  // without one; null outside a run.
  static HostSession* current();
  class Current {
   public:
    explicit Current(HostSession& session);
    ~Current();
    Current(const Current&) = delete;
    Current& operator=(const Current&) = delete;

   private:
    HostSession* previous_;
  };

 private:
  void cannotSave(const std::string& path, std::string_view why);

  HostFunctionTable functions_;
  RecordStore& records_;
  FileAccess& files_;
};

}  // namespace stimloom
