#pragma once
// A Presentation log read into the events a protocol is built from. Pure: the
// text arrives in pieces from whoever reads the file, and every trace line goes
// to the caller's sink.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "log/event_line.h"
#include "log/text_lines.h"
#include "util/file_blocks.h"
#include "util/line_sink.h"
#include "util/text_builder.h"

namespace stimloom {

// The event types a protocol is built from: "Picture", "Sound", "Video" and "Response".
std::vector<std::string> defaultKeptTypes();

// A kept event's type: its place in PresentationLog::Types.
enum class TypeId : std::uint32_t {};

// A code of the log's code table: its place in PresentationLog::Codes.
enum class CodeId : std::uint32_t {};

// One kept event. Times are in the log's unit, tenths of a millisecond.
struct LogEvent {
  double Time = 0;         // eg: 160445
  double Duration = 0;     // eg: 15000; 0 when the line gives none
  std::int64_t Line = 0;   // eg: 9; the line of the file it comes from, counted from 1; 0 when unknown
  std::int32_t Trial = 0;  // eg: 2; the line's Trial column
  CodeId Code{};           // eg: the place of "congruent left" in the log's code table
  TypeId Type{};           // eg: the place of "Picture" in the kept types
};

// The layout that the event table's column header line announces.
struct ColumnHeader {
  std::int64_t line = 0;  // counted from 1
  bool hasSubjectColumn = false;
  // The line is tab-separated and names Event Type, Code and Time: the
  // columns after it are read by its names, whatever layout was asked for.
  bool byName = false;
};

// What a log says about a kept event beyond its time, read when
// LogReadOptions::trialFacts asks for it.
struct EventFacts {
  std::string outcome;               // its Stim Type as written, eg "hit"; empty when none
  std::int64_t pairIndex = 0;        // its Pair Index: the event-table row of its Response; 0 none, -1 unreadable
  std::optional<double> responseAt;  // the paired Response's Time, tenths of a millisecond
  std::string response;              // the paired Response's code
};

// An event property: a column the header names beyond Presentation's own,
// eg "Temperature(num)", with one value per kept event, as written.
struct PropertyColumn {
  std::string header;  // eg "Temperature(num)"
  std::vector<std::string> values;
};

struct PresentationLog {
  std::string LogFilePath;      // the path exactly as given, eg: "D:\study\run1.log"
  std::string ExperimentName;   // the file name without folder and extension, eg: "run1"
  std::int32_t NrOfEvents = 0;  // the number of kept events
  std::int32_t NrOfEventSlots = 0;
  // In the order of their lines. A deque grows without moving what it holds,
  // so the events are stored as the file is read, each once.
  std::deque<LogEvent> Events;
  // Every distinct code of the kept events, once, in order of first
  // appearance (at most 255 characters each). A code's place here is also the
  // index of the condition it names.
  std::deque<std::string> Codes;
  // The kept event types, in the order asked for (LogReadOptions::keptTypes).
  std::vector<std::string> Types;
  // The Time of every scanner pulse, in the order of its line: the Pulse
  // events, or the events of any type whose code is the pulse code asked for.
  std::vector<double> Pulses;
  // With LogReadOptions::trialFacts: one per kept event when the header names
  // Stim Type, Pair Index or a property, else none; the properties in header
  // order; and every event type of the table's data lines, in order of first
  // appearance.
  std::vector<EventFacts> Facts;
  std::vector<PropertyColumn> Properties;
  bool HasStimType = false;
  std::vector<std::string> TypesFound;
  std::optional<ColumnHeader> Header;  // the event table's column header line, when there is one
  std::int32_t LastTrial = 0;          // the Trial of the last event line read
  std::int64_t Lines = 0;              // the lines read before the one that ended the table

  // True when the file could not be read, or is no Presentation log. The
  // reason has then been traced, naming the file, and nothing should be
  // created from this log.
  bool readFailed = false;
  std::string failure;  // eg: "D:\study\run1.log: No such file or directory"

  std::string_view code(const LogEvent& event) const { return Codes[static_cast<std::size_t>(event.Code)]; }
  std::string_view typeName(const LogEvent& event) const { return Types[static_cast<std::size_t>(event.Type)]; }
  // The condition an event becomes: its code's place in Codes.
  std::size_t conditionOf(const LogEvent& event) const { return static_cast<std::size_t>(event.Code); }
};

struct LogReadOptions {
  bool hasSubjectColumn = false;
  // The code that marks scanner pulses, in events of any type; none: the Pulse events.
  std::optional<std::string> pulseCode;
  // The trace of every line and every kept event, as the host's log pane
  // shows it. Without it the sink gets only what names a line of the file
  // (the events left out, and why), the failures, and nothing is formatted
  // that nobody reads.
  bool trace = true;
  // The event types kept as events, matched exactly as the log writes them.
  std::vector<std::string> keptTypes = defaultKeptTypes();
  // Also read each kept event's Stim Type, Pair Index (resolved to its
  // Response after the table) and properties, and the types the table holds.
  bool trialFacts = false;
};

// One read of one log. The first walk reads the file's lines as they are fed,
// parsing each once, tracing it and storing the events to keep; finish()
// traces the summary and then walks the stored events in their order.
class PresentationLogReader {
 public:
  PresentationLogReader(std::string_view path, LogReadOptions options, LineSink& sink);

  // Takes the next piece of the file. False once the event table has ended:
  // nothing after it is needed.
  bool feed(std::string_view piece);

  // After the last piece: the log, its summary traced.
  PresentationLog finish();

  // When the file could not be read to its end: the log with nothing kept,
  // and the reason traced.
  PresentationLog fail(std::string_view reason) noexcept;

 private:
  bool readLine(const TextLine& line);
  void readHeader(std::string_view line, std::int64_t number);
  void keep(TypeId type, std::string_view code, double time, double duration, std::int64_t number, std::int32_t trial);
  std::optional<TypeId> keptTypeOf(std::string_view eventType) const;
  void noteTypeAndResponse(const EventLine& event);
  void readFacts(std::string_view line, bool response);
  void resolvePairs();
  std::optional<std::string> whyNotALog() const;
  void traceEvents();
  void traceHints();

  PresentationLog log_;
  LogReadOptions options_;
  LineSink& sink_;
  std::optional<LineSplitter> lines_;
  RepeatedLine repeated_;
  std::array<std::string_view, kEventLineColumns> columns_;  // each line's columns, reused
  EventLine eventLine_;                                      // each line's event, reused
  // Where the columns are: by position until a header names them.
  ColumnPlaces places_;
  bool positional_ = true;  // places_ are those of the positional layout, read the quick way
  bool placesHaveSubject_ = false;
  std::vector<std::string_view> wideColumns_;  // a line's columns when read by name
  std::optional<NamedColumns> named_;
  // Trial facts: the event table's rows (lines after the header that are not
  // blank), and its Response rows, which Pair Indexes point at.
  struct ResponseRow {
    std::int64_t row = 0;
    double time = 0;
    std::string code;
  };
  std::int64_t rows_ = 0;
  std::vector<ResponseRow> responses_;
  std::vector<std::string_view> factColumns_;
  bool startsAsLog_ = false;   // the first line begins "Scenario - "
  bool defaultTypes_ = false;  // the kept types are Picture, Sound, Video and Response
  TextBuilder line_;
  // Codes are short: hashed a word at a time, not byte by byte.
  struct CodeHash {
    std::size_t operator()(std::string_view code) const noexcept;
  };
  std::unordered_map<std::string_view, CodeId, CodeHash> codeIds_;
  bool tableEnded_ = false;
  bool tooManyEvents_ = false;
  bool sawEventLine_ = false;
  std::int64_t firstNulLine_ = 0;  // the first line holding a NUL byte; 0 for none
};

// The column header line among the lines of a log's start, eg its first
// 64 KiB: the layout the log announces. Nothing when none of them is one.
std::optional<ColumnHeader> findColumnHeader(std::string_view start);

// A whole log given as text, as if read from a file of that name.
PresentationLog readPresentationLogText(std::string_view path, std::string_view text, const LogReadOptions& options,
                                        LineSink& sink);

// A log file read in blocks. A file that cannot be opened or read gives a
// failed log, its reason traced.
PresentationLog readPresentationLogFile(const std::string& path, const LogReadOptions& options, LineSink& sink);

// Reads a log from `source`, which hands the file's pieces on in order (see
// readFileBlocks). Whatever is thrown on the way, memory running out
// included, ends in a failed log, traced.
PresentationLog readPresentationLogFrom(std::string_view path, const LogReadOptions& options, LineSink& sink,
                                        const BlockSource& source);

}  // namespace stimloom
