#pragma once
// Calls into the host through the bound table. An entry the host lacks is
// never called: a log line is then simply not shown, and an operation checks
// before it starts that every entry it needs is there (requireHostFunctions),
// so that it never stops half-way.

#include <initializer_list>
#include <string>
#include <string_view>

#include "host/host_functions.h"

namespace stimloom {

// Identifies a table entry, for the checks below.
enum class HostFunction {
#define STIMLOOM_HOST_FUNCTION(name, result, parameters) name,
#include "host/host_functions.def"
};

bool isBound(HostFunction function);
std::string_view nameOf(HostFunction function);

// True when every entry is bound. Otherwise logs one line naming the first
// missing entry and what could not be done, e.g.
// "The host does not offer zrSaveProtocol: cannot shift the intervals. Nothing was changed."
bool requireHostFunctions(std::initializer_list<HostFunction> functions, std::string_view task);

// One line to the host's log pane: one zrLogText call.
void logLine(const char* line);
inline void logLine(const std::string& line) { logLine(line.c_str()); }

// printf-style formatting into a buffer of the right size, then one line.
std::string formatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
void logFormat(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace stimloom
