#include "protocol/order_answer.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace stimloom {
namespace {

std::string_view trimmed(std::string_view text) {
  constexpr std::string_view kBlank = " \t";
  const std::size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

std::vector<std::string_view> splitAtCommas(std::string_view answer) {
  std::vector<std::string_view> pieces;
  for (;;) {
    const std::size_t comma = answer.find(',');
    pieces.push_back(trimmed(answer.substr(0, comma)));
    if (comma == std::string_view::npos) return pieces;
    answer.remove_prefix(comma + 1);
  }
}

ConditionOrder refused(std::string problem) { return {{}, std::move(problem)}; }

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

std::string currentOrderText(std::int32_t count) {
  std::string text;
  for (std::int32_t number = 1; number <= count; ++number) {
    if (number > 1) text += ',';
    text += std::to_string(number);
  }
  return text;
}

bool ConditionOrder::keepsCurrentOrder() const {
  for (std::size_t place = 0; place < indices.size(); ++place) {
    if (indices[place] != static_cast<std::int32_t>(place)) return false;
  }
  return true;
}

ConditionOrder parseConditionOrder(std::string_view answer, std::int32_t count) {
  if (count < 0) count = 0;
  if (trimmed(answer).empty()) return refused("the answer is empty");

  // First what was typed: every place must hold a whole number.
  const std::vector<std::string_view> pieces = splitAtCommas(answer);
  std::vector<std::int64_t> numbers;
  numbers.reserve(pieces.size());
  for (std::size_t place = 0; place < pieces.size(); ++place) {
    const std::string_view piece = pieces[place];
    if (piece.empty()) return refused("place " + std::to_string(place + 1) + " holds no number");
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), number);
    if (end != piece.data() + piece.size()) return refused(quoted(piece) + " is not a number");
    // Too many digits for 64 bits: certainly not a condition number.
    if (error == std::errc::result_out_of_range) number = std::int64_t{count} + 1;
    numbers.push_back(number);
  }

  // Then what it means for this protocol.
  if (numbers.size() > static_cast<std::size_t>(count)) {
    return refused("it gives more numbers (" + std::to_string(numbers.size()) + ") than the protocol has conditions (" +
                   std::to_string(count) + ")");
  }
  std::set<std::int64_t> seen;
  for (std::size_t place = 0; place < numbers.size(); ++place) {
    if (numbers[place] < 1 || numbers[place] > count) {
      return refused(std::string(pieces[place]) + " is not one of the condition numbers 1 to " + std::to_string(count));
    }
    if (!seen.insert(numbers[place]).second) return refused(std::string(pieces[place]) + " is given twice");
  }
  if (numbers.size() < static_cast<std::size_t>(count)) {
    std::int64_t missing = 1;
    for (const std::int64_t number : seen) {
      if (number != missing) break;
      ++missing;
    }
    return refused("condition " + std::to_string(missing) + " is missing");
  }

  ConditionOrder order;
  order.indices.reserve(numbers.size());
  for (const std::int64_t number : numbers) order.indices.push_back(static_cast<std::int32_t>(number - 1));
  return order;
}

}  // namespace stimloom
