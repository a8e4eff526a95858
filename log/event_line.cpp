#include "log/event_line.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#include "log/text_lines.h"
#include "protocol/time_conversion.h"

namespace stimloom {
namespace {

// Trial, Event Type, Code, Time, TTime, Uncertainty, Duration.
constexpr std::size_t kTrial = 0;
constexpr std::size_t kEventType = 1;
constexpr std::size_t kCode = 2;
constexpr std::size_t kTime = 3;
constexpr std::size_t kDuration = 6;
static_assert(kEventLineColumns == 1 + kDuration + 1, "the Subject column, then Trial to Duration");

// The whole column must be the number: "12x", " 12" and "+12" are not numbers.
// Trials are short: a plain loop over at most ten digits, in 64 bits so that
// the range test comes after.
std::optional<std::int32_t> wholeNumber(std::string_view column) {
  const bool negative = !column.empty() && column.front() == '-';
  if (negative) column.remove_prefix(1);
  if (column.empty() || column.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : column) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

// Eight ASCII digits at once ("SWAR": plain 64-bit arithmetic on the bytes
// as one word, little-endian): checked to be '0' to '9', then folded in
// pairs, fours and eights into their value.
bool eightDigits(const char* text, std::uint64_t& value) {
  constexpr std::uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0ull;
  constexpr std::uint64_t kZeros = 0x3030303030303030ull;
  std::uint64_t word = 0;
  std::memcpy(&word, text, 8);
  if ((word & kHighNibbles) != kZeros || ((word + 0x0606060606060606ull) & kHighNibbles) != kZeros) return false;
  word -= kZeros;
  word = word * 10 + (word >> 8);
  word = (((word & 0x000000FF000000FFull) * 0x000F424000000064ull) +
          (((word >> 16) & 0x000000FF000000FFull) * 0x0000271000000001ull)) >>
         32;
  value = word;
  return true;
}

// Times and durations are nearly always plain digits: up to 15 of them are
// read as an integer, exactly and much faster than a general conversion.
std::optional<double> plainDigits(std::string_view column) {
  if (column.empty() || column.size() > 15) return std::nullopt;
  std::uint64_t value = 0;
  std::size_t at = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t eight = 0;
    if (column.size() >= 8 && eightDigits(column.data(), eight)) {
      value = eight;
      at = 8;
    }
  }
  for (; at < column.size(); ++at) {
    const char c = column[at];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return static_cast<double>(value);
}

std::optional<double> finiteNumber(std::string_view column) {
  if (const auto digits = plainDigits(column)) return digits;
  if (column.empty()) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(column.data(), column.data() + column.size(), value);
  if (error != std::errc() || end != column.data() + column.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

// A line as Presentation writes it, its columns separated by tabs, read in
// one walk: each column is read as it is found, not found first and read
// after. kAsk when the line is of another shape (no tab where the first
// column ends, or a Trial the general reading must judge): the caller then
// reads it by columns, which gives the same for every line.
enum class Quick { kEvent, kNoEvent, kAsk };

Quick readTabbedLine(std::string_view line, bool hasSubjectColumn, EventLine& event) {
  const char* at = line.data();
  const char* const end = at + line.size();
  if (hasSubjectColumn) {
    const char* tab = findTab(at, end);
    if (tab == end) return Quick::kAsk;  // no tab: the columns are split at spaces
    at = tab + 1;
  }
  // Trial: at most ten digits, maybe after a '-', ended by a tab.
  const bool negative = at != end && *at == '-';
  const char* const digits = negative ? at + 1 : at;
  const char* digit = digits;
  std::int64_t trial = 0;
  while (digit != end && *digit >= '0' && *digit <= '9' && digit - digits < 11) {
    trial = trial * 10 + (*digit - '0');
    ++digit;
  }
  if (digit == end || *digit != '\t' || digit == digits || digit - digits > 10) return Quick::kAsk;
  if (negative) trial = -trial;
  if (trial < std::numeric_limits<std::int32_t>::min() || trial > std::numeric_limits<std::int32_t>::max()) {
    return Quick::kNoEvent;
  }
  // A column from `from` to the next tab; and where the column after it starts, null at the line's end.
  const auto column = [end](const char* from) {
    return std::string_view(from, static_cast<std::size_t>(findTab(from, end) - from));
  };
  const auto after = [end](std::string_view previous) -> const char* {
    const char* stop = previous.data() + previous.size();
    return stop == end ? nullptr : stop + 1;
  };
  const std::string_view type = column(digit + 1);
  if (type.empty()) return Quick::kNoEvent;
  event.trial = static_cast<std::int32_t>(trial);
  event.eventType = type;
  event.code = {};
  event.time.reset();
  event.duration = 0;
  const char* next = after(type);
  if (next == nullptr) return Quick::kEvent;
  event.code = column(next);
  if ((next = after(event.code)) == nullptr) return Quick::kEvent;
  std::string_view passed = column(next);
  event.time = finiteNumber(passed);
  for (int skipped = 0; skipped < 2; ++skipped) {  // TTime and Uncertainty are not read
    if ((next = after(passed)) == nullptr) return Quick::kEvent;
    passed = column(next);
  }
  if ((next = after(passed)) == nullptr) return Quick::kEvent;
  event.duration = finiteNumber(column(next)).value_or(0);
  return Quick::kEvent;
}

// The columns of an event line into `event`; false when it is none.
// `columns` has room for places.columnsNeeded() columns.
bool readEventLine(std::string_view line, const ColumnPlaces& places, std::span<std::string_view> columns,
                   EventLine& event) {
  const std::size_t count = splitColumns(line, columns);
  const auto column = [&](std::size_t index) -> std::string_view {
    return index < count ? columns[index] : std::string_view();
  };
  const auto trial = wholeNumber(column(places.trial));
  if (!trial || column(places.eventType).empty()) return false;
  event.trial = *trial;
  event.eventType = column(places.eventType);
  event.code = column(places.code);
  event.time = finiteNumber(column(places.time));
  event.duration = places.duration == ColumnPlaces::kNone ? 0 : finiteNumber(column(places.duration)).value_or(0);
  return true;
}

bool readEventLine(std::string_view line, bool hasSubjectColumn, std::span<std::string_view, kEventLineColumns> columns,
                   EventLine& event) {
  const ColumnPlaces places = positionalPlaces(hasSubjectColumn);
  return readEventLine(line, places, columns.first(places.columnsNeeded()), event);
}

std::string_view withoutSurroundingSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::size_t ColumnPlaces::columnsNeeded() const {
  std::size_t last = std::max({trial, eventType, code, time});
  if (duration != kNone) last = std::max(last, duration);
  return last + 1;
}

ColumnPlaces positionalPlaces(bool hasSubjectColumn) {
  const std::size_t first = hasSubjectColumn ? 1 : 0;
  return ColumnPlaces{first + kTrial, first + kEventType, first + kCode, first + kTime, first + kDuration};
}

bool parseEventLine(std::string_view line, const ColumnPlaces& places, std::vector<std::string_view>& scratch,
                    EventLine& event) {
  if (scratch.size() < places.columnsNeeded()) scratch.resize(places.columnsNeeded());
  return readEventLine(line, places, std::span(scratch).first(places.columnsNeeded()), event);
}

std::optional<EventLine> parseEventLine(std::string_view line, bool hasSubjectColumn) {
  std::array<std::string_view, kEventLineColumns> columns;
  return parseEventLine(line, hasSubjectColumn, columns);
}

std::optional<EventLine> parseEventLine(std::string_view line, bool hasSubjectColumn,
                                        std::span<std::string_view, kEventLineColumns> columns) {
  EventLine event;
  if (!parseEventLine(line, hasSubjectColumn, columns, event)) return std::nullopt;
  return event;
}

bool parseEventLine(std::string_view line, bool hasSubjectColumn,
                    std::span<std::string_view, kEventLineColumns> scratch, EventLine& event) {
  switch (readTabbedLine(line, hasSubjectColumn, event)) {
    case Quick::kEvent:
      return true;
    case Quick::kNoEvent:
      return false;
    case Quick::kAsk:
      break;
  }
  return readEventLine(line, hasSubjectColumn, scratch, event);
}

std::optional<EventLine> parseEventLineByColumns(std::string_view line, bool hasSubjectColumn) {
  std::array<std::string_view, kEventLineColumns> columns;
  EventLine event;
  if (!readEventLine(line, hasSubjectColumn, columns, event)) return std::nullopt;
  return event;
}

bool isKeptEventType(std::string_view eventType) {
  return eventType == "Picture" || eventType == "Sound" || eventType == "Video" || eventType == "Response";
}

EventFault checkKeptEvent(const EventLine& line) {
  if (!line.time) return EventFault::kNoTime;
  if (line.code.empty()) return EventFault::kNoCode;
  if (line.code.size() > kMaxCodeLength) return EventFault::kCodeTooLong;
  if (line.code.find('\0') != std::string_view::npos) return EventFault::kNulInCode;
  if (!startMilliseconds(*line.time)) return EventFault::kTimeOutOfRange;
  if (!durationMilliseconds(line.duration)) return EventFault::kDurationOutOfRange;
  return EventFault::kNone;
}

std::string_view describe(EventFault fault) {
  switch (fault) {
    case EventFault::kNone:
      return "it can be stored";
    case EventFault::kNoTime:
      return "its Time is not a number";
    case EventFault::kNoCode:
      return "it has no code";
    case EventFault::kCodeTooLong:
      return "its code is longer than 255 characters";
    case EventFault::kNulInCode:
      return "its code holds a NUL character";
    case EventFault::kTimeOutOfRange:
      return "its Time in milliseconds does not fit a 32-bit integer";
    case EventFault::kDurationOutOfRange:
      return "its Duration in milliseconds does not fit a 32-bit integer";
  }
  return "it cannot be stored";
}

std::optional<bool> headerHasSubjectColumn(std::string_view line) {
  std::array<std::string_view, 2> columns;
  const std::size_t count = splitColumns(line, columns);
  if (count >= 1 && columns[0] == "Trial") return false;
  if (count >= 2 && columns[0] == "Subject" && columns[1] == "Trial") return true;
  return std::nullopt;
}

}  // namespace stimloom

namespace stimloom {

std::optional<NamedColumns> namedColumnsOf(std::string_view line) {
  if (line.find('\t') == std::string_view::npos) return std::nullopt;
  std::vector<std::string_view> names;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    names.push_back(withoutSurroundingSpaces(line.substr(start, tab == std::string_view::npos ? tab : tab - start)));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  const auto find = [&names](std::string_view name, std::size_t from = 0) -> std::optional<std::size_t> {
    const auto found =
        std::find(names.begin() + static_cast<std::ptrdiff_t>(std::min(from, names.size())), names.end(), name);
    if (found == names.end()) return std::nullopt;
    return static_cast<std::size_t>(found - names.begin());
  };
  const auto eventType = find("Event Type");
  const auto code = find("Code");
  const auto time = find("Time");
  if (!eventType || !code || !time) return std::nullopt;
  const auto trial = find("Trial");
  if (!trial && *eventType == 0) return std::nullopt;  // no column can hold the trial

  NamedColumns columns;
  columns.count = names.size();
  columns.places.trial = trial.value_or(*eventType - 1);
  columns.places.eventType = *eventType;
  columns.places.code = *code;
  columns.places.time = *time;
  const auto duration = find("Duration");
  columns.places.duration = duration.value_or(ColumnPlaces::kNone);
  columns.stimType = find("Stim Type");
  columns.pairIndex = find("Pair Index");
  const auto subject = find("Subject");
  columns.hasSubjectColumn = subject.has_value();
  // The columns every event has, each where the header first names it; the
  // two Uncertainty columns are Time's and Duration's.
  std::vector<bool> known(names.size(), false);
  for (const auto& place :
       {subject, std::optional(columns.places.trial), eventType, code, time, duration, find("TTime"),
        find("Uncertainty", *time), duration ? find("Uncertainty", *duration + 1) : std::nullopt, find("ReqTime"),
        find("ReqDur"), columns.stimType, columns.pairIndex}) {
    if (place) known[*place] = true;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!known[i] && !names[i].empty()) columns.properties.push_back({std::string(names[i]), i});
  }
  return columns;
}

}  // namespace stimloom
