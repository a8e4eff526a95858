#include "export/condition_map.h"

#include "util/text_encoding.h"

namespace stimloom {
namespace {

constexpr std::string_view kHeader = "code\tcondition";
constexpr std::string_view kOutcomeHeader = "code\tcondition\toutcome";
constexpr std::string_view kWhichHeader =
    "the first line must be the header \"code<TAB>condition\" or \"code<TAB>condition<TAB>outcome\"";

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// One character of UTF-8 text, with its continuation bytes.
std::size_t characterLength(std::string_view text) {
  std::size_t length = 1;
  while (length < text.size() && isContinuation(text[length])) ++length;
  return length;
}

std::string_view withoutCarriageReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

// Greedy with one point to come back to, the last '*': linear in practice,
// and never worse than the product of the two lengths.
bool matchesPattern(std::string_view pattern, std::string_view text) {
  std::size_t p = 0;
  std::size_t t = 0;
  std::size_t star = std::string_view::npos;
  std::size_t resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      t += characterLength(text.substr(t));
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      resume += characterLength(text.substr(resume));
      t = resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::optional<ConditionMap> ConditionMap::parse(std::string_view text, std::string_view fileName, std::string& error) {
  const std::string utf8 = utf8FromLogText(text);
  std::string_view rest = utf8;
  if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);  // a byte-order mark
  const auto fail = [&](std::size_t line, std::string_view what) {
    error = std::string(fileName) + ":" + std::to_string(line) + ": " + std::string(what);
    return std::nullopt;
  };
  if (rest.empty()) return fail(1, kWhichHeader);
  ConditionMap map;
  for (std::size_t number = 1; !rest.empty(); ++number) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = withoutCarriageReturn(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (number == 1) {
      if (line != kHeader && line != kOutcomeHeader) return fail(1, kWhichHeader);
      map.matchesOutcomes_ = line == kOutcomeHeader;
      continue;
    }
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;  // blank lines carry nothing
    const std::size_t tab = line.find('\t');
    const std::size_t second = tab == std::string_view::npos ? tab : line.find('\t', tab + 1);
    const bool shaped = map.matchesOutcomes_
                            ? second != std::string_view::npos && line.find('\t', second + 1) == std::string_view::npos
                            : tab != std::string_view::npos && second == std::string_view::npos;
    if (!shaped) {
      return fail(number, map.matchesOutcomes_
                              ? "expected a code, a condition and an outcome (which may be empty) separated by tabs"
                              : "expected a code and a condition separated by one tab");
    }
    const std::string_view pattern = line.substr(0, tab);
    const std::string_view condition =
        line.substr(tab + 1, second == std::string_view::npos ? second : second - tab - 1);
    const std::string_view outcome = second == std::string_view::npos ? std::string_view() : line.substr(second + 1);
    if (pattern.empty()) return fail(number, "the code is empty");
    if (condition.empty()) return fail(number, "the condition is empty");
    map.rows_.push_back({std::string(pattern), std::string(condition), std::string(outcome), number});
  }
  if (map.rows_.empty()) {
    error = std::string(fileName) + ": it maps no code: after the header \"" +
            (map.matchesOutcomes_ ? "code<TAB>condition<TAB>outcome" : "code<TAB>condition") + "\" comes no row";
    return std::nullopt;
  }
  return map;
}

const std::string* ConditionMap::conditionOf(std::string_view code, std::string_view outcome) const {
  for (const Row& row : rows_) {
    if (matchesPattern(row.pattern, code) && (row.outcome.empty() || matchesPattern(row.outcome, outcome))) {
      return &row.condition;
    }
  }
  return nullptr;
}

std::string ConditionMap::patternsOf(std::string_view condition) const {
  std::string patterns;
  for (const Row& row : rows_) {
    if (row.condition != condition) continue;
    if (!patterns.empty()) patterns += ", ";
    patterns += row.pattern;
    if (!row.outcome.empty()) patterns += " (outcome " + row.outcome + ")";
  }
  return patterns;
}

}  // namespace stimloom
