#include "log/presentation_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "host/host_calls.h"
#include "log/event_line.h"
#include "log/text_lines.h"
#include "protocol/time_conversion.h"
#include "util/file_names.h"
#include "util/text_builder.h"

namespace stimloom {
namespace {

// The file is read once, in blocks: a whole log is never held in memory,
// only the events kept from it.
constexpr std::size_t kReadBlockBytes = std::size_t{1} << 16;

struct CloseFile {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, CloseFile>;

// Hands the file's lines to onLine until onLine returns false or the file
// ends. The first block decides the line end: a file whose first 64 KiB hold
// a CR but no LF has CR line ends. False, with errno telling why, when the
// file could not be read.
template <class OnLine>
bool readLines(std::FILE* file, std::vector<char>& block, OnLine&& onLine) {
  std::optional<LineSplitter> lines;
  for (;;) {
    const std::size_t read = std::fread(block.data(), 1, block.size(), file);
    const std::string_view piece(block.data(), read);
    if (!lines) lines.emplace(lineEndOf(piece));
    if (read > 0 && !lines->feed(piece, onLine)) return true;
    if (read < block.size()) {
      if (std::ferror(file)) return false;
      lines->finish(onLine);
      return true;
    }
  }
}

// Texts from the file go into trace lines whole up to this length. A longer
// one, such as a line of megabytes read as one column, is cut, with its length.
constexpr std::size_t kLongestTracedText = 1000;

TextBuilder& addTraced(TextBuilder& line, std::string_view text) {
  if (text.size() <= kLongestTracedText) return line.add(text);
  return line.add(text.substr(0, kLongestTracedText)).add("... (").add(text.size()).add(" characters)");
}

struct ColumnHeader {
  std::int64_t line = 0;  // counted from 1
  bool hasSubjectColumn = false;
};

// What the first walk learns about the event table.
struct TableSummary {
  std::int64_t lines = 0;  // the lines before the one that ended the table
  std::int32_t lastTrial = 0;
  std::int32_t events = 0;  // kept events that can be stored
  bool tooManyEvents = false;
  std::optional<double> firstPulse;
  std::optional<ColumnHeader> header;
  std::int64_t firstNulLine = 0;  // the first line holding a NUL byte; 0 for none
};

// One read of one log, in two walks that each trace their lines in the host's
// log pane: the first reads the file's lines, parsing each once, and stores
// the events to keep; the second goes over the stored events in their order.
class LogReading {
 public:
  LogReading(PresentationLog& log, bool hasSubjectColumn) : log_(log), hasSubjectColumn_(hasSubjectColumn) {}

  // False, with the reason, when the file could not be read.
  bool read(std::string& reason) {
    if (log_.LogFilePath.find('\0') != std::string::npos) {
      reason = "the path holds a NUL character";
      return false;
    }
    File file(std::fopen(log_.LogFilePath.c_str(), "rb"));
    if (!file) return failed(reason);
    block_.resize(kReadBlockBytes);

    if (!readLines(file.get(), block_, [this](const TextLine& line) { return readLine(line); })) {
      return failed(reason);
    }
    file.reset();
    if (summary_.tooManyEvents) {
      reason = "it holds more events than a protocol can take (2147483647)";
      return false;
    }
    line_.clear().add("Number of trials: ").add(summary_.lastTrial);
    logLine(line_.add(", Picture/Sound/Video/Response events: ").add(summary_.events).c_str());
    logLine(line_.clear().add("Number of lines in first part of file: ").add(summary_.lines).c_str());
    traceEvents();
    log_.NrOfEvents = summary_.events;
    log_.NrOfEventSlots = summary_.events;
    reportHints();
    return true;
  }

 private:
  static bool failed(std::string& reason) {
    reason = std::strerror(errno);
    return false;
  }

  // First walk: every line up to the one that repeats its predecessor.
  bool readLine(const TextLine& line) {
    if (repeated_.repeats(line)) return false;
    const std::int64_t number = ++summary_.lines;
    if (summary_.firstNulLine == 0 && line.text.find('\0') != std::string_view::npos) summary_.firstNulLine = number;
    if (!summary_.header) {
      if (const auto layout = headerHasSubjectColumn(line.text)) summary_.header = ColumnHeader{number, *layout};
    }
    const auto event = parseEventLine(line.text, hasSubjectColumn_);
    if (!event) return true;
    if (event->isData()) {
      addTraced(line_.clear().add("Trial: ").add(event->trial).add(" EventType: "), event->eventType);
      logLine(addTraced(line_.add(" Code: "), event->code).c_str());
      summary_.lastTrial = event->trial;
      if (!summary_.firstPulse && event->eventType == "Pulse") summary_.firstPulse = event->time;
    }
    if (!isKeptEventType(event->eventType)) return true;
    if (const EventFault fault = checkKeptEvent(*event); fault != EventFault::kNone) {
      addTraced(line_.clear().add(log_.LogFilePath).add(":").add(number).add(": "), event->eventType);
      logLine(line_.add(" event not stored: ").add(describe(fault)).c_str());
      return true;
    }
    if (summary_.events == std::numeric_limits<std::int32_t>::max()) {
      summary_.tooManyEvents = true;
      return false;
    }
    ++summary_.events;
    log_.Events.push_back({std::string(event->code), *event->time, event->duration, number, event->trial});
    return true;
  }

  // Second walk: the stored events.
  void traceEvents() {
    for (const LogEvent& event : log_.Events) {
      line_.clear().add("Trial: ").add(event.Trial).add(", code: ").add(event.Code).add(", duration: ");
      logLine(line_.addRounded(event.Duration / 10, 15).c_str());
    }
  }

  void reportHints() {
    if (summary_.firstPulse) {
      if (const auto pulse = startMilliseconds(*summary_.firstPulse)) {
        line_.clear().add("The first scanner pulse (Pulse event) is at ").add(*pulse);
        line_.add(" ms: shifting the protocol by ").add(*pulse);
        logLine(line_.add(" ms (menu option 2, subtract) aligns it with the first volume.").c_str());
      }
    }
    if (summary_.events > 0) return;
    if (summary_.header && summary_.header->hasSubjectColumn != hasSubjectColumn_) {
      const bool subject = summary_.header->hasSubjectColumn;
      line_.clear().add("No events were found, and the column header on line ").add(summary_.header->line);
      line_.add(subject ? " has a Subject column" : " has no Subject column");
      line_.add(": run the conversion again and answer ").add(subject ? "2" : "1");
      logLine(line_.add(" to \"Which fields are in the log file?\".").c_str());
    } else if (summary_.firstNulLine > 0) {
      line_.clear().add("No events were found in ").add(log_.LogFilePath).add(", and line ").add(summary_.firstNulLine);
      logLine(line_.add(" holds a NUL byte: it does not look like a Presentation log, which is text.").c_str());
    } else {
      line_.clear().add("No Picture, Sound, Video or Response events were found in ").add(log_.LogFilePath);
      logLine(line_.add(".").c_str());
    }
  }

  PresentationLog& log_;
  const bool hasSubjectColumn_;
  std::vector<char> block_;
  TextBuilder line_;
  RepeatedLine repeated_;
  TableSummary summary_;
};

// Nothing is kept from a log that could not be read to its end.
void reportFailure(PresentationLog& log, const char* reason) noexcept {
  log.readFailed = true;
  log.Events.clear();
  log.NrOfEvents = 0;
  log.NrOfEventSlots = 0;
  try {
    log.failure = log.LogFilePath + ": " + reason;
    logLine("Error while reading Presentation file " + log.failure);
  } catch (...) {
    logLine("Error while reading Presentation file");
  }
}

}  // namespace

PresentationLog readPresentationLog(std::string_view path, bool hasSubjectColumn) {
  PresentationLog log;
  try {
    log.LogFilePath = path;
    log.ExperimentName = fileNameFromPath(path, true, false).value_or("");
    std::string reason;
    if (!LogReading(log, hasSubjectColumn).read(reason)) reportFailure(log, reason.c_str());
  } catch (const std::bad_alloc&) {
    reportFailure(log, "there is not enough memory to read it");
  } catch (const std::exception& error) {
    reportFailure(log, error.what());
  } catch (...) {
    reportFailure(log, "an unexpected error stopped the reading");
  }
  return log;
}

}  // namespace stimloom
