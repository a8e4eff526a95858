#include "log/text_lines.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace stimloom {
namespace {

// The white space that separates columns on a line without tabs. A stray CR
// or LF inside a line counts as white space, as it would to a formatted read.
constexpr std::string_view kSpaces = " \r\n\v\f";

// The first tab in [from, end): eight bytes at a time, as a 64-bit word in
// which a tab's byte becomes zero ("has a zero byte" arithmetic on plain
// integers), then byte by byte for the rest.
const char* findTab(const char* from, const char* end) {
  constexpr std::uint64_t kTabs = 0x0909090909090909ull;
  constexpr std::uint64_t kLows = 0x0101010101010101ull;
  constexpr std::uint64_t kHighs = 0x8080808080808080ull;
  // Little-endian: the word's lowest byte is the first character. A borrow
  // can mark bytes after the first tab, never before it.
  while (std::endian::native == std::endian::little && end - from >= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, from, 8);
    const std::uint64_t x = word ^ kTabs;
    const std::uint64_t zeros = (x - kLows) & ~x & kHighs;
    if (zeros != 0) return from + std::countr_zero(zeros) / 8;
    from += 8;
  }
  while (from != end && *from != '\t') ++from;
  return from;
}

// `tab` is where the line's first tab is.
std::size_t splitAtTabs(std::string_view line, std::size_t tab, std::span<std::string_view> columns) {
  if (columns.empty()) return 0;
  columns[0] = line.substr(0, tab);
  std::size_t count = 1;
  const char* const end = line.data() + line.size();
  const char* start = line.data() + tab + 1;
  while (count < columns.size()) {
    const char* stop = findTab(start, end);
    columns[count++] = std::string_view(start, static_cast<std::size_t>(stop - start));
    if (stop == end) break;
    start = stop + 1;
  }
  return count;
}

std::size_t splitAtSpaces(std::string_view line, std::span<std::string_view> columns) {
  std::size_t count = 0;
  while (count < columns.size()) {
    const std::size_t start = line.find_first_not_of(kSpaces);
    if (start == std::string_view::npos) break;
    line.remove_prefix(start);
    const std::size_t end = line.find_first_of(kSpaces);
    columns[count++] = line.substr(0, end);
    if (end == std::string_view::npos) break;
    line.remove_prefix(end);
  }
  return count;
}

}  // namespace

char lineEndOf(std::string_view start) {
  return start.find('\n') == std::string_view::npos && start.find('\r') != std::string_view::npos ? '\r' : '\n';
}

std::size_t splitColumns(std::string_view line, std::span<std::string_view> columns) {
  const char* const end = line.data() + line.size();
  const char* const tab = findTab(line.data(), end);
  return tab != end ? splitAtTabs(line, static_cast<std::size_t>(tab - line.data()), columns)
                    : splitAtSpaces(line, columns);
}

}  // namespace stimloom
