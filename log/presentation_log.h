#pragma once
// A Presentation log file read into the events a protocol is built from.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace stimloom {

// One kept event (Picture, Sound, Video or Response). Times are in the log's
// unit, tenths of a millisecond.
struct LogEvent {
  std::string Code;        // eg: "congruent left"; at most 255 characters
  double Time = 0;         // eg: 160445
  double Duration = 0;     // eg: 15000; 0 when the line gives none
  std::int64_t Line = 0;   // eg: 9; the line of the file it comes from, counted from 1; 0 when unknown
  std::int32_t Trial = 0;  // eg: 2; the line's Trial column
};

struct PresentationLog {
  std::string LogFilePath;      // the path exactly as given, eg: "D:\study\run1.log"
  std::string ExperimentName;   // the file name without folder and extension, eg: "run1"
  std::int32_t NrOfEvents = 0;  // the number of kept events
  std::int32_t NrOfEventSlots = 0;
  // In the order of their lines. A deque grows without moving what it holds,
  // so the events are stored as the file is read, each once.
  std::deque<LogEvent> Events;

  // True when the file could not be opened or read. The reason has then been
  // logged, naming the file, and nothing should be created from this log.
  bool readFailed = false;
  std::string failure;  // eg: "D:\study\run1.log: No such file or directory"
};

// Reads a log, writing its trace lines to the host's log pane.
PresentationLog readPresentationLog(std::string_view path, bool hasSubjectColumn);

}  // namespace stimloom
