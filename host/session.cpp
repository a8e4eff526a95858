#include "host/session.h"

#include <cstring>

namespace stimloom {
namespace {

HostSession* currentSession = nullptr;

}  // namespace

std::optional<HostSession> HostSession::bind(const ModuleLookup& lookup, RecordStore& records, FileAccess& files) {
  HostFunctionTable table;
  if (!bindHostFunctions(lookup, table)) return std::nullopt;
  return std::optional<HostSession>(std::in_place, table, records, files);
}

bool HostSession::require(std::span<const HostFunction> needed, std::string_view task) {
  bool offered = true;
  for (const HostFunction function : needed) {
    if (offers(function)) continue;
    offered = false;
    line("The host does not offer " + std::string(nameOf(function)) + ": cannot " + std::string(task) +
         ". Nothing was changed.");
  }
  return offered;
}

void HostSession::line(const char* text) {
  if (functions_.zrLogText != nullptr) functions_.zrLogText(text);
}

void HostSession::showLogTab() {
  if (functions_.zrShowLogTab != nullptr) functions_.zrShowLogTab();
}

void HostSession::messageBox(const char* text) {
  if (functions_.zrMessageBox != nullptr) functions_.zrMessageBox(text);
}

bool HostSession::yesNo(const char* text) {
  return functions_.zrYesNoMessageBox != nullptr && functions_.zrYesNoMessageBox(text) != 0;
}

std::int32_t HostSession::integerInput(const char* prompt, std::int32_t defaultValue, std::int32_t minimum,
                                       std::int32_t maximum) {
  if (functions_.zrGetIntegerInput == nullptr) return 0;
  return functions_.zrGetIntegerInput(prompt, defaultValue, minimum, maximum);
}

std::string HostSession::textInput(const char* prompt, const char* defaultAnswer) {
  // Cleared first: a dialog that is cancelled without writing leaves it empty.
  DialogText answer{};
  if (functions_.zrGetTextInput != nullptr) functions_.zrGetTextInput(prompt, defaultAnswer, answer.data());
  return std::string(readText(answer));
}

bool HostSession::openFileName(const char* prompt, const char* initialText, const char* filter, DialogText& path) {
  path.fill('\0');
  return functions_.zrGetOpenFileName != nullptr &&
         functions_.zrGetOpenFileName(prompt, initialText, filter, path.data()) == 1;
}

bool HostSession::vmrOpen() {
  if (functions_.zrGetCurrentVMR == nullptr) return false;
  std::int32_t dimX = 0, dimY = 0, dimZ = 0;
  return functions_.zrGetCurrentVMR(&dimX, &dimY, &dimZ) != 0;
}

void HostSession::getProtocol(ProtocolRecord& header) {
  if (functions_.zrGetProtocol != nullptr) functions_.zrGetProtocol(&header);
}

void HostSession::setProtocol(ProtocolRecord& header) {
  if (functions_.zrSetProtocol != nullptr) functions_.zrSetProtocol(&header);
}

void HostSession::clearProtocol() {
  if (functions_.zrClearProtocol != nullptr) functions_.zrClearProtocol();
}

void HostSession::saveProtocol(const char* path) {
  if (functions_.zrSaveProtocol != nullptr) functions_.zrSaveProtocol(path);
}

void HostSession::getProtocolCondition(std::int32_t index, ConditionRecord& condition) {
  if (functions_.zrGetProtocolCondition != nullptr) functions_.zrGetProtocolCondition(index, &condition);
}

void HostSession::addProtocolCondition(ConditionRecord& condition) {
  if (functions_.zrAddProtocolCondition != nullptr) functions_.zrAddProtocolCondition(&condition);
}

void HostSession::addProtocolConditionInterval(std::int32_t index, std::int32_t start, std::int32_t end) {
  if (functions_.zrAddProtocolConditionInterval != nullptr)
    functions_.zrAddProtocolConditionInterval(index, start, end);
}

void HostSession::cannotSave(const std::string& path, std::string_view why) {
  line("The protocol could not be saved as " + path + ": " + std::string(why) + ".");
}

bool HostSession::canSaveAs(const std::string& path) {
  const auto why = files_.whyNotWritable(path);
  if (why) cannotSave(path, *why);
  return !why;
}

bool HostSession::confirmSaved(const std::string& path) {
  if (files_.exists(path)) return true;
  cannotSave(path, "the host wrote no file there");
  return false;
}

bool HostSession::saveProtocolChecked(const std::string& path) {
  if (!canSaveAs(path)) return false;
  saveProtocol(path.c_str());
  return confirmSaved(path);
}

HostSession* HostSession::current() { return currentSession; }

HostSession::Current::Current(HostSession& session) : previous_(currentSession) { currentSession = &session; }

HostSession::Current::~Current() { currentSession = previous_; }

}  // namespace stimloom
