#pragma once
// The answers to the plug-in's dialogs for each of its operations, in the
// order the menu asks them: the one place that order is written down for
// scripted runs (the console program, the tests, the benchmark, the fuzzing
// harnesses).

#include <cstdint>
#include <string>
#include <vector>

#include "standin/standin_host.h"

namespace standin {

// Option 1: the menu, the log file, its layout, the TR and the duration rule.
inline std::vector<Answer> conversionAnswers(const std::string& log, bool subjectColumn, std::int32_t tr = 2000,
                                             std::int32_t durationRule = 1) {
  return {Answer::of(1), Answer::of(log), Answer::of(subjectColumn ? 2 : 1), Answer::of(tr), Answer::of(durationRule)};
}

// Option 2: the menu, the amount, and yes (subtract) or no (add).
inline std::vector<Answer> shiftAnswers(std::int32_t amount, bool subtract) {
  return {Answer::of(2), Answer::of(amount), Answer::of(subtract ? "yes" : "no")};
}

// Option 3: the menu and the new order, eg "3,1,2".
inline std::vector<Answer> sortAnswers(const std::string& order) { return {Answer::of(3), Answer::of(order)}; }

// Replaces the stand-in host's scripted answers.
inline void scriptAnswers(const std::vector<Answer>& answers) {
  ScriptedResponder& script = host().script;
  script.answers.assign(answers.begin(), answers.end());
  script.unanswered = 0;
}

}  // namespace standin
