#pragma once
// One line of a Presentation log's event table, parsed on its own: no value
// ever comes from another line. Pure.
//
// By position, the columns are, in order: [Subject] Trial, Event Type, Code,
// Time, TTime, Uncertainty, Duration, and more that are not read. A log whose
// column header line names its columns is read by those names instead
// (ColumnPlaces). Time and Duration are in tenths of a millisecond.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace stimloom {

// A condition's name, which a kept event's code becomes, has room for 255 characters.
inline constexpr std::size_t kMaxCodeLength = 255;

// A line whose Trial is a whole number and which names an event type.
struct EventLine {
  std::int32_t trial = 0;      // eg: 12
  std::string_view eventType;  // eg: "Picture"
  std::string_view code;       // eg: "congruent left"; empty when the column is empty or missing
  std::optional<double> time;  // eg: 160445; nothing unless Time is a finite number
  double duration = 0;         // eg: 15000; 0 when Duration is missing, empty or not a finite number

  // A data line of the table: it also has a code column and a finite Time.
  bool isData() const { return time.has_value(); }
};

// Where the columns an event line is read by stand, counted from 0.
struct ColumnPlaces {
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t trial = 0;
  std::size_t eventType = 1;
  std::size_t code = 2;
  std::size_t time = 3;
  std::size_t duration = 6;  // kNone when the log has no Duration column

  // The columns a line is split into to read them all.
  std::size_t columnsNeeded() const;
  bool operator==(const ColumnPlaces&) const = default;
};

// The places by position: [Subject] Trial, Event Type, Code, Time, TTime, Uncertainty, Duration.
ColumnPlaces positionalPlaces(bool hasSubjectColumn);

// Nothing when the line is no event line for the layout: a header, an empty
// line, the other table, or a line of the other layout.
std::optional<EventLine> parseEventLine(std::string_view line, bool hasSubjectColumn);

// The general reading, column by column, which the quick reading of tab
// separated lines must equal for every line (the tests compare them).
std::optional<EventLine> parseEventLineByColumns(std::string_view line, bool hasSubjectColumn);

// The columns an event line needs at most: [Subject] Trial to Duration.
inline constexpr std::size_t kEventLineColumns = 8;

// The same, splitting the line into `scratch`, which a reader of many lines
// keeps: clearing a fresh array for every line cost more than its parse.
std::optional<EventLine> parseEventLine(std::string_view line, bool hasSubjectColumn,
                                        std::span<std::string_view, kEventLineColumns> scratch);

// The same into `event`, which the reader keeps too; false when the line is
// no event line (and `event` then holds nothing of use).
bool parseEventLine(std::string_view line, bool hasSubjectColumn,
                    std::span<std::string_view, kEventLineColumns> scratch, EventLine& event);

// The same for columns at any places, splitting the line into `scratch`,
// which is made large enough.
bool parseEventLine(std::string_view line, const ColumnPlaces& places, std::vector<std::string_view>& scratch,
                    EventLine& event);

// Picture, Sound, Video and Response, compared exactly, letter case included.
bool isKeptEventType(std::string_view eventType);

// Why an event line of a kept type cannot be stored.
enum class EventFault {
  kNone,
  kNoTime,              // Time missing or not a finite number
  kNoCode,              // the code column is empty
  kCodeTooLong,         // more than kMaxCodeLength characters
  kNulInCode,           // a NUL byte in the code
  kTimeOutOfRange,      // time / 10 does not fit an int32
  kDurationOutOfRange,  // duration / 10 does not fit an int32
};

EventFault checkKeptEvent(const EventLine& line);

// The reason as a phrase, eg: "its Time is not a number".
std::string_view describe(EventFault fault);

// The layout a column-header line announces: true for one that starts with
// "Subject" then "Trial", false for one that starts with "Trial", nothing for
// any other line.
std::optional<bool> headerHasSubjectColumn(std::string_view line);

// A column that the header names beyond those every event is read by: an
// event property, eg "Temperature(num)", or Stim Type and Pair Index.
struct NamedColumn {
  std::string name;  // as written, without surrounding spaces
  std::size_t place = 0;
};

// What a column header line that names its columns says: a tab-separated line
// naming "Event Type", "Code" and "Time" (exactly, surrounding spaces aside).
// The trial is the "Trial" column, else the one just before "Event Type".
struct NamedColumns {
  ColumnPlaces places;
  bool hasSubjectColumn = false;         // it names a "Subject" column
  std::optional<std::size_t> stimType;   // "Stim Type"
  std::optional<std::size_t> pairIndex;  // "Pair Index"
  std::vector<NamedColumn> properties;   // every other named column, in header order
  std::size_t count = 0;                 // the columns of the header line
};

// Nothing for a line that is no such header.
std::optional<NamedColumns> namedColumnsOf(std::string_view line);

}  // namespace stimloom
