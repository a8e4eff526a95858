#pragma once
// A user's own conditions: a tab-separated file that maps Presentation codes
// to condition names.
//
//   code<TAB>condition
//   congruent*<TAB>congruent
//   1<TAB>response
//   2<TAB>response
//
// A code is matched exactly or as a pattern, where '*' stands for any text and
// '?' for any one character; the first row that matches wins. Several codes
// may share a condition, which merges them. A code that no row matches is
// left out.
//
// A third column, under the header code<TAB>condition<TAB>outcome, matches
// the event's outcome (Presentation's Stim Type, eg "hit") as well, by the
// same patterns; an empty cell matches any outcome. An event without an
// outcome has the empty text as its outcome.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stimloom {

class ConditionMap {
 public:
  struct Row {
    std::string pattern;    // eg: "congruent*"
    std::string condition;  // eg: "congruent"
    std::string outcome;    // eg: "hit"; empty: any outcome
    std::size_t line = 0;   // counted from 1
  };

  // Reads the file's text (UTF-8; bytes that are not are read as
  // Windows-1252). Nothing, with `error` naming the file and line, when it is
  // malformed, eg: "conditions.tsv:3: expected a code and a condition
  // separated by one tab".
  static std::optional<ConditionMap> parse(std::string_view text, std::string_view fileName, std::string& error);

  // The condition of a code and outcome (UTF-8), or nothing when no row matches.
  const std::string* conditionOf(std::string_view code, std::string_view outcome = {}) const;

  // Whether the file has the outcome column.
  bool matchesOutcomes() const { return matchesOutcomes_; }

  // The patterns that name `condition`, joined by ", ", eg: "congruent*, 7",
  // "congruent* (outcome hit)".
  std::string patternsOf(std::string_view condition) const;

  const std::vector<Row>& rows() const { return rows_; }

 private:
  std::vector<Row> rows_;
  bool matchesOutcomes_ = false;
};

// '*' any text, '?' any one character (of UTF-8 text), everything else itself.
bool matchesPattern(std::string_view pattern, std::string_view text);

}  // namespace stimloom
