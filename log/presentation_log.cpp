#include "log/presentation_log.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>
#include <new>

#include "log/event_line.h"
#include "protocol/time_conversion.h"
#include "util/file_names.h"

namespace stimloom {
namespace {

// Texts from the file go into trace lines whole up to this length. A longer
// one, such as a line of megabytes read as one column, is cut, with its length.
constexpr std::size_t kLongestTracedText = 1000;

TextBuilder& addTraced(TextBuilder& line, std::string_view text) {
  if (text.size() <= kLongestTracedText) return line.add(text);
  return line.add(text.substr(0, kLongestTracedText)).add("... (").add(text.size()).add(" characters)");
}

// A pair index: a whole number of at most 18 digits; 0 for an empty column; -1 for anything else.
std::int64_t pairIndexOf(std::string_view column) {
  if (column.empty()) return 0;
  if (column.size() > 18) return -1;
  std::int64_t value = 0;
  for (const char c : column) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::vector<std::string> defaultKeptTypes() { return {"Picture", "Sound", "Video", "Response"}; }

PresentationLogReader::PresentationLogReader(std::string_view path, LogReadOptions options, LineSink& sink)
    : options_(std::move(options)), sink_(sink) {
  log_.LogFilePath = path;
  log_.ExperimentName = fileNameFromPath(path, true, false).value_or("");
  log_.Types = options_.keptTypes;
  defaultTypes_ = options_.keptTypes == defaultKeptTypes();
  places_ = positionalPlaces(options_.hasSubjectColumn);
  placesHaveSubject_ = options_.hasSubjectColumn;
}

bool PresentationLogReader::feed(std::string_view piece) {
  if (tableEnded_ || piece.empty()) return !tableEnded_;
  // The first piece decides the line end: a file whose first 64 KiB hold a
  // CR but no LF has CR line ends.
  if (!lines_) lines_.emplace(lineEndOf(piece.substr(0, kFileStartBytes)));
  if (!lines_->feed(piece, [this](const TextLine& line) { return readLine(line); })) tableEnded_ = true;
  return !tableEnded_;
}

// The column header line: the first that names the columns, or that starts
// as the positional layouts' headers do.
void PresentationLogReader::readHeader(std::string_view line, std::int64_t number) {
  if ((named_ = namedColumnsOf(line))) {
    log_.Header = ColumnHeader{number, named_->hasSubjectColumn, true};
    places_ = named_->places;
    placesHaveSubject_ = named_->hasSubjectColumn;
    positional_ = places_ == positionalPlaces(placesHaveSubject_);
    if (options_.trace && named_->hasSubjectColumn != options_.hasSubjectColumn) {
      line_.clear().add("The column header on line ").add(number);
      line_.add(named_->hasSubjectColumn ? " has a Subject column" : " has no Subject column");
      sink_.line(line_
                     .add(": the columns are read by the names it gives them, not as answered to \"Which fields "
                          "are in the log file?\".")
                     .c_str());
    }
    if (options_.trialFacts) {
      log_.HasStimType = named_->stimType.has_value();
      // Events kept before the header, read by position, have no facts.
      const std::size_t kept = log_.Events.size();
      for (const NamedColumn& property : named_->properties) {
        log_.Properties.push_back({property.name, std::vector<std::string>(kept)});
      }
      if (!named_->stimType && !named_->pairIndex && named_->properties.empty()) {
        named_.reset();
      } else {
        log_.Facts.resize(kept);
      }
    }
  } else if (const auto layout = headerHasSubjectColumn(line)) {
    log_.Header = ColumnHeader{number, *layout, false};
  }
}

// Every line up to the blank one that repeats its predecessor.
bool PresentationLogReader::readLine(const TextLine& line) {
  if (repeated_.repeats(line)) return false;
  const std::int64_t number = ++log_.Lines;
  if (number == 1) startsAsLog_ = line.text.starts_with("Scenario - ");
  if (firstNulLine_ == 0 && line.text.find('\0') != std::string_view::npos) firstNulLine_ = number;
  if (!log_.Header) {
    readHeader(line.text, number);
    if (log_.Header) return true;
  } else if (options_.trialFacts && !isBlankLine(line.text)) {
    ++rows_;
  }
  const bool isEvent = positional_ ? parseEventLine(line.text, placesHaveSubject_, columns_, eventLine_)
                                   : parseEventLine(line.text, places_, wideColumns_, eventLine_);
  if (!isEvent) return true;
  const EventLine* const event = &eventLine_;
  if (event->isData()) {
    sawEventLine_ = true;
    if (options_.trace) {
      addTraced(line_.clear().add("Trial: ").add(event->trial).add(" EventType: "), event->eventType);
      sink_.line(addTraced(line_.add(" Code: "), event->code).c_str());
    }
    log_.LastTrial = event->trial;
    const bool pulse = options_.pulseCode ? event->code == *options_.pulseCode : event->eventType == "Pulse";
    if (pulse) log_.Pulses.push_back(*event->time);
    if (options_.trialFacts) noteTypeAndResponse(*event);
  }
  const std::optional<TypeId> type = keptTypeOf(event->eventType);
  if (!type) return true;
  if (const EventFault fault = checkKeptEvent(*event); fault != EventFault::kNone) {
    addTraced(line_.clear().add(log_.LogFilePath).add(":").add(number).add(": "), event->eventType);
    sink_.line(line_.add(" event not stored: ").add(describe(fault)).c_str());
    return true;
  }
  if (log_.NrOfEvents == std::numeric_limits<std::int32_t>::max()) {
    tooManyEvents_ = true;
    return false;
  }
  keep(*type, event->code, *event->time, event->duration, number, event->trial);
  if (options_.trialFacts && named_) readFacts(line.text, event->eventType == "Response");
  return true;
}

// The four types of a conversion are compared as the literals they are; any
// other list is searched.
std::optional<TypeId> PresentationLogReader::keptTypeOf(std::string_view eventType) const {
  if (defaultTypes_) {
    if (eventType == "Picture") return TypeId{0};
    if (eventType == "Sound") return TypeId{1};
    if (eventType == "Video") return TypeId{2};
    if (eventType == "Response") return TypeId{3};
    return std::nullopt;
  }
  const auto& kept = options_.keptTypes;
  const auto found = std::find(kept.begin(), kept.end(), eventType);
  if (found == kept.end()) return std::nullopt;
  return static_cast<TypeId>(found - kept.begin());
}

// The types the table holds, and where its Responses are, for the exports.
void PresentationLogReader::noteTypeAndResponse(const EventLine& event) {
  auto& found = log_.TypesFound;
  if (std::find(found.begin(), found.end(), event.eventType) == found.end()) found.emplace_back(event.eventType);
  if (named_ && named_->pairIndex && event.eventType == "Response") {
    responses_.push_back({rows_, *event.time, std::string(event.code)});
  }
}

// A kept event's Stim Type, Pair Index and properties. A Response has no
// outcome or pair of its own.
void PresentationLogReader::readFacts(std::string_view line, bool response) {
  if (factColumns_.size() < named_->count) factColumns_.resize(named_->count);
  const std::size_t count = splitColumns(line, factColumns_);
  const auto column = [&](std::size_t place) { return place < count ? factColumns_[place] : std::string_view(); };
  EventFacts& facts = log_.Facts.emplace_back();
  if (!response) {
    if (named_->stimType) facts.outcome = column(*named_->stimType);
    if (named_->pairIndex) facts.pairIndex = pairIndexOf(column(*named_->pairIndex));
  }
  for (std::size_t p = 0; p < named_->properties.size(); ++p) {
    log_.Properties[p].values.emplace_back(column(named_->properties[p].place));
  }
}

// Each Pair Index to its Response, once the table has been read.
void PresentationLogReader::resolvePairs() {
  if (log_.Facts.empty()) return;
  for (std::size_t i = 0; i < log_.Facts.size(); ++i) {
    EventFacts& facts = log_.Facts[i];
    if (facts.pairIndex == 0) continue;
    const LogEvent& event = log_.Events[i];
    const auto found = std::lower_bound(responses_.begin(), responses_.end(), facts.pairIndex,
                                        [](const ResponseRow& row, std::int64_t index) { return row.row < index; });
    if (found != responses_.end() && found->row == facts.pairIndex) {
      facts.responseAt = found->time;
      facts.response = found->code;
      continue;
    }
    line_.clear().add(log_.LogFilePath).add(":").add(event.Line).add(": ");
    if (facts.pairIndex < 0) {
      line_.add("its Pair Index is not a row number");
    } else {
      line_.add("its Pair Index ").add(facts.pairIndex).add(" points at no Response row of the event table (");
      line_.add(rows_).add(rows_ == 1 ? " row)" : " rows)");
    }
    sink_.line(line_.add(": no response time").c_str());
  }
}

// Eight bytes at a time, each word folded in with a multiply; the last word
// is the text's last eight bytes (overlapping the one before), and the length
// is mixed in, so codes that differ anywhere hash apart.
std::size_t PresentationLogReader::CodeHash::operator()(std::string_view code) const noexcept {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  std::uint64_t hash = code.size() * kMultiplier;
  const char* text = code.data();
  std::size_t left = code.size();
  std::uint64_t word = 0;
  while (left > 8) {
    std::memcpy(&word, text, 8);
    hash = (hash ^ word) * kMultiplier;
    text += 8;
    left -= 8;
  }
  word = 0;
  if (code.size() >= 8) {
    std::memcpy(&word, code.data() + code.size() - 8, 8);
  } else if (left > 0) {
    std::memcpy(&word, text, left);
  }
  hash = (hash ^ word) * kMultiplier;
  return static_cast<std::size_t>(hash ^ (hash >> 29));
}

// Each code is stored once: the events hold its place in the code table.
void PresentationLogReader::keep(TypeId type, std::string_view code, double time, double duration, std::int64_t number,
                                 std::int32_t trial) {
  auto found = codeIds_.find(code);
  if (found == codeIds_.end()) {
    const auto id = static_cast<CodeId>(log_.Codes.size());
    found = codeIds_.emplace(log_.Codes.emplace_back(code), id).first;
  }
  log_.Events.push_back({time, duration, number, trial, found->second, type});
  ++log_.NrOfEvents;
}

std::optional<std::string> PresentationLogReader::whyNotALog() const {
  if (log_.Lines == 0) return "it is empty, so it is not a Presentation log";
  if (firstNulLine_ > 0) {
    return "line " + std::to_string(firstNulLine_) + " holds a NUL byte: it is not a Presentation log, which is text";
  }
  if (!log_.Header && !sawEventLine_ && !startsAsLog_) {
    return "it is not a Presentation log: it has neither the event table's column header line (Trial, Event Type, "
           "Code, ...) nor any event line";
  }
  return std::nullopt;
}

PresentationLog PresentationLogReader::finish() {
  if (lines_ && !tableEnded_) lines_->finish([this](const TextLine& line) { return readLine(line); });
  if (tooManyEvents_) return fail("it holds more events than a protocol can take (2147483647)");
  if (const auto reason = whyNotALog()) return fail(*reason);
  log_.NrOfEventSlots = log_.NrOfEvents;
  codeIds_.clear();
  resolvePairs();
  if (!options_.trace) return std::move(log_);
  line_.clear().add("Number of trials: ").add(log_.LastTrial);
  sink_.line(line_.add(", Picture/Sound/Video/Response events: ").add(log_.NrOfEvents).c_str());
  sink_.line(line_.clear().add("Number of lines in first part of file: ").add(log_.Lines).c_str());
  traceEvents();
  traceHints();
  return std::move(log_);
}

// The second walk: the stored events.
void PresentationLogReader::traceEvents() {
  // The codes once as plain views: a deque is slower to index than a vector.
  const std::vector<std::string_view> codes(log_.Codes.begin(), log_.Codes.end());
  for (const LogEvent& event : log_.Events) {
    line_.clear().add("Trial: ").add(event.Trial).add(", code: ").add(codes[static_cast<std::size_t>(event.Code)]);
    line_.add(", duration: ");
    sink_.line(line_.addTenthsRounded(event.Duration, 15).c_str());
  }
}

void PresentationLogReader::traceHints() {
  if (!log_.Pulses.empty()) {
    if (const auto pulse = startMilliseconds(log_.Pulses.front())) {
      line_.clear().add("The first scanner pulse (Pulse event) is at ").add(*pulse);
      line_.add(" ms: shifting the protocol by ").add(*pulse);
      sink_.line(line_.add(" ms (menu option 2, subtract) aligns it with the first volume.").c_str());
    }
  }
  if (log_.NrOfEvents > 0) return;
  if (log_.Header && !log_.Header->byName && log_.Header->hasSubjectColumn != options_.hasSubjectColumn) {
    const bool subject = log_.Header->hasSubjectColumn;
    line_.clear().add("No events were found, and the column header on line ").add(log_.Header->line);
    line_.add(subject ? " has a Subject column" : " has no Subject column");
    line_.add(": run the conversion again and answer ").add(subject ? "2" : "1");
    sink_.line(line_.add(" to \"Which fields are in the log file?\".").c_str());
  } else {
    line_.clear().add("No Picture, Sound, Video or Response events were found in ").add(log_.LogFilePath);
    sink_.line(line_.add(".").c_str());
  }
}

// Nothing is kept from a log that could not be read to its end.
PresentationLog PresentationLogReader::fail(std::string_view reason) noexcept {
  PresentationLog failed;
  failed.readFailed = true;
  try {
    failed.LogFilePath = log_.LogFilePath;
    failed.ExperimentName = log_.ExperimentName;
    failed.failure = log_.LogFilePath + ": " + std::string(reason);
    sink_.line("Error while reading Presentation file " + failed.failure);
  } catch (...) {
    sink_.line("Error while reading Presentation file");
  }
  return failed;
}

PresentationLog readPresentationLogFrom(std::string_view path, const LogReadOptions& options, LineSink& sink,
                                        const BlockSource& source) {
  std::optional<PresentationLogReader> reader;
  const auto failed = [&](const char* reason) {
    if (reader) return reader->fail(reason);
    PresentationLog log;
    log.readFailed = true;
    sink.line("Error while reading Presentation file");
    return log;
  };
  try {
    reader.emplace(path, options, sink);
    if (const auto error = source([&](std::string_view block) { return reader->feed(block); })) {
      return reader->fail(*error);
    }
    return reader->finish();
  } catch (const std::bad_alloc&) {
    return failed("there is not enough memory to read it");
  } catch (const std::exception& error) {
    return failed(error.what());
  } catch (...) {
    return failed("an unexpected error stopped the reading");
  }
}

std::optional<ColumnHeader> findColumnHeader(std::string_view start) {
  LineSplitter lines(lineEndOf(start.substr(0, kFileStartBytes)));
  std::optional<ColumnHeader> found;
  std::int64_t number = 0;
  const auto look = [&](const TextLine& line) {
    ++number;
    if (const auto named = namedColumnsOf(line.text)) {
      found = ColumnHeader{number, named->hasSubjectColumn, true};
    } else if (const auto layout = headerHasSubjectColumn(line.text)) {
      found = ColumnHeader{number, *layout, false};
    }
    return !found;
  };
  if (lines.feed(start, look)) lines.finish(look);
  return found;
}

PresentationLog readPresentationLogText(std::string_view path, std::string_view text, const LogReadOptions& options,
                                        LineSink& sink) {
  return readPresentationLogFrom(path, options, sink, [text](const BlockConsumer& onBlock) {
    onBlock(text);
    return std::optional<std::string>();
  });
}

PresentationLog readPresentationLogFile(const std::string& path, const LogReadOptions& options, LineSink& sink) {
  return readPresentationLogFrom(path, options, sink,
                                 [&path](const BlockConsumer& onBlock) { return readFileBlocks(path, onBlock); });
}

}  // namespace stimloom
