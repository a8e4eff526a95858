#include "log/text_lines.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace stimloom {
namespace {

// The white space that separates columns on a line without tabs. A stray CR
// or LF inside a line counts as white space, as it would to a formatted read.
constexpr std::string_view kSpaces = " \r\n\v\f";

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
