#include "host/host_calls.h"

#include <cstdarg>
#include <cstdio>

namespace stimloom {
namespace {

std::string formatArguments(const char* format, std::va_list arguments) {
  std::va_list measure;
  va_copy(measure, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, arguments);
  return text;
}

}  // namespace

bool isBound(HostFunction function) {
  const HostFunctionTable& table = hostFunctions();
  switch (function) {
#define STIMLOOM_HOST_FUNCTION(name, result, parameters) \
  case HostFunction::name:                               \
    return table.name != nullptr;
#include "host/host_functions.def"
  }
  return false;
}

std::string_view nameOf(HostFunction function) { return kHostFunctionNames[static_cast<std::size_t>(function)]; }

bool requireHostFunctions(std::initializer_list<HostFunction> functions, std::string_view task) {
  for (const HostFunction function : functions) {
    if (!isBound(function)) {
      logLine("The host does not offer " + std::string(nameOf(function)) + ": cannot " + std::string(task) +
              ". Nothing was changed.");
      return false;
    }
  }
  return true;
}

void logLine(const char* line) {
  if (const auto log = hostFunctions().zrLogText) log(line);
}

std::string formatText(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::string text = formatArguments(format, arguments);
  va_end(arguments);
  return text;
}

void logFormat(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  const std::string text = formatArguments(format, arguments);
  va_end(arguments);
  logLine(text);
}

}  // namespace stimloom
