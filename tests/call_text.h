#pragma once
// The stand-in host's call record as texts, "zrName(argument, argument)", so
// that a test compares a whole call sequence in one assertion.

#include <string>
#include <vector>

#include "standin/standin_host.h"

namespace stimloom::testing {

inline std::string callText(const standin::HostCall& call) {
  std::string text = call.function + "(";
  for (std::size_t i = 0; i < call.arguments.size(); ++i) text += (i > 0 ? ", " : "") + call.arguments[i];
  return text + ")";
}

inline std::vector<std::string> callTexts(const standin::HostState& state) {
  std::vector<std::string> texts;
  for (const standin::HostCall& call : state.calls) texts.push_back(callText(call));
  return texts;
}

}  // namespace stimloom::testing
