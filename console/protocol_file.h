#pragma once
// The stand-in host's saved protocol file: the plain text format described in
// docs/protocol-file-format.md. The stand-in host saves and loads its
// protocols in it; `stimloom` reads them as runs to export or draw. The
// intervals are kept in whatever vector the caller's model uses: the
// stand-in host keeps them where its records' 32-bit pointer fields reach
// them, `stimloom` in ordinary memory (SavedProtocol).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/file_output.h"
#include "util/integer_text.h"

namespace console {

// The first line of every protocol file.
inline constexpr std::string_view kProtocolFormatLine = "stimloom stand-in protocol, version 1";

template <class Intervals>
struct BasicStoredCondition {
  std::string name;
  std::int32_t colour = 0;
  Intervals starts;
  Intervals ends;

  bool operator==(const BasicStoredCondition&) const = default;
};

template <class Intervals>
struct BasicProtocol {
  std::string fileName;
  std::string experimentName;
  std::int32_t timeResolution = 1;
  std::int32_t colour1 = 0;
  std::int32_t colour2 = 0;
  std::int32_t colour3 = 0;
  std::int32_t penThickness1 = 0;
  std::int32_t colour4 = 0;
  std::int32_t penThickness2 = 0;
  std::vector<BasicStoredCondition<Intervals>> conditions;

  bool operator==(const BasicProtocol&) const = default;
};

using SavedProtocol = BasicProtocol<std::vector<std::int32_t>>;

// Parses a protocol file's text. On failure `error` reads
// "<displayName>:<line>: <what is wrong>" and the protocol is untouched.
struct ParseResult {
  bool ok = false;
  std::string error;
};

template <class Intervals>
ParseResult parseProtocol(std::string_view text, std::string_view displayName, BasicProtocol<Intervals>& protocol);

// The file's text for a protocol.
template <class Intervals>
std::string formatProtocol(const BasicProtocol<Intervals>& protocol);

// Writes the protocol atomically: a temporary file beside the target, then a
// rename over it, so an interrupted save leaves the previous file whole.
template <class Intervals>
bool saveProtocolFile(const BasicProtocol<Intervals>& protocol, const std::string& path, std::string& error);

// Loads a protocol file; the protocol changes only on success.
template <class Intervals>
bool loadProtocolFile(const std::string& path, BasicProtocol<Intervals>& protocol, std::string& error);

// ---- The parts of the format that do not depend on the model ----------------
namespace protocol_file {

// Texts are stored on one line: '%', CR and LF are written as %25, %0D and %0A.
std::string escape(std::string_view text);

class LineReader {
 public:
  LineReader(std::string_view text, std::string_view displayName) : text_(text), displayName_(displayName) {}

  // The next line without its line end; false at the end of the text.
  bool next(std::string_view& line);
  bool unterminated() const { return unterminated_; }
  // A failure on the line read last.
  ParseResult fail(std::string_view what) const { return failOnLine(number_, what); }
  // A failure because the line after the last one read is missing.
  ParseResult failEarlyEnd(std::string_view expected) const {
    return failOnLine(number_ + 1, "the file ends early; expected " + std::string(expected));
  }

 private:
  ParseResult failOnLine(std::size_t line, std::string_view what) const;

  std::string_view text_;
  std::string_view displayName_;
  std::size_t position_ = 0;
  std::size_t number_ = 0;
  bool unterminated_ = false;
};

// The first line, which must name the format.
bool formatLine(LineReader& reader, ParseResult& failure);
// "Key: value" lines; a failure names what was expected.
bool intField(LineReader& reader, std::string_view key, std::int32_t& value, ParseResult& failure);
bool textField(LineReader& reader, std::string_view key, std::string& value, ParseResult& failure);
bool blankLine(LineReader& reader, ParseResult& failure);
// An interval line, "start end".
bool interval(LineReader& reader, std::int32_t& start, std::int32_t& end, ParseResult& failure);

// A protocol's text in a string, with the writer's interface.
class StringWriter {
 public:
  explicit StringWriter(std::string& text) : text_(text) {}
  void append(std::string_view text) { text_.append(text); }
  void appendNumber(std::int32_t value) { appendNumber(std::int64_t{value}); }
  void appendNumber(std::int64_t value) {
    char digits[stimloom::kLongestIntegerText];
    text_.append(digits, static_cast<std::size_t>(stimloom::writeInteger(digits, value) - digits));
  }

 private:
  std::string& text_;
};

// Writes the file's text to `out`: a StringWriter, or a BlockWriter that
// passes it on to a file in large blocks.
template <class Intervals, class Out>
void writeProtocolText(const BasicProtocol<Intervals>& protocol, Out& out) {
  const auto text = [&out](std::string_view key, std::string_view value) {
    out.append(key);
    out.append(": ");
    out.append(value);
    out.append("\n");
  };
  const auto number = [&out](std::string_view key, std::int64_t value) {
    out.append(key);
    out.append(": ");
    out.appendNumber(value);
    out.append("\n");
  };
  out.append(kProtocolFormatLine);
  out.append("\n");
  text("FileName", escape(protocol.fileName));
  text("ExperimentName", escape(protocol.experimentName));
  number("TimeResolution", protocol.timeResolution);
  number("Colour1", protocol.colour1);
  number("Colour2", protocol.colour2);
  number("Colour3", protocol.colour3);
  number("PenThickness1", protocol.penThickness1);
  number("Colour4", protocol.colour4);
  number("PenThickness2", protocol.penThickness2);
  number("NrOfConditions", static_cast<std::int64_t>(protocol.conditions.size()));
  for (const auto& condition : protocol.conditions) {
    out.append("\n");
    text("Condition", escape(condition.name));
    number("Colour", condition.colour);
    number("NrOfIntervals", static_cast<std::int64_t>(condition.starts.size()));
    for (std::size_t i = 0; i < condition.starts.size(); ++i) {
      out.appendNumber(condition.starts[i]);
      out.append(" ");
      out.appendNumber(condition.ends[i]);
      out.append("\n");
    }
  }
}

// `path`'s text, or nothing with `error`.
std::optional<std::string> readProtocolText(const std::string& path, std::string& error);

}  // namespace protocol_file

template <class Intervals>
std::string formatProtocol(const BasicProtocol<Intervals>& protocol) {
  std::string text;
  protocol_file::StringWriter out(text);
  protocol_file::writeProtocolText(protocol, out);
  return text;
}

template <class Intervals>
ParseResult parseProtocol(std::string_view text, std::string_view displayName, BasicProtocol<Intervals>& protocol) {
  using namespace protocol_file;
  LineReader reader(text, displayName);
  ParseResult failure;
  if (!formatLine(reader, failure)) return failure;
  BasicProtocol<Intervals> parsed;
  std::int32_t conditionCount = 0;
  if (!textField(reader, "FileName", parsed.fileName, failure) ||
      !textField(reader, "ExperimentName", parsed.experimentName, failure) ||
      !intField(reader, "TimeResolution", parsed.timeResolution, failure) ||
      !intField(reader, "Colour1", parsed.colour1, failure) || !intField(reader, "Colour2", parsed.colour2, failure) ||
      !intField(reader, "Colour3", parsed.colour3, failure) ||
      !intField(reader, "PenThickness1", parsed.penThickness1, failure) ||
      !intField(reader, "Colour4", parsed.colour4, failure) ||
      !intField(reader, "PenThickness2", parsed.penThickness2, failure) ||
      !intField(reader, "NrOfConditions", conditionCount, failure)) {
    return failure;
  }
  if (conditionCount < 0) return reader.fail("NrOfConditions is negative");
  for (std::int32_t c = 0; c < conditionCount; ++c) {
    BasicStoredCondition<Intervals> condition;
    std::int32_t intervalCount = 0;
    if (!blankLine(reader, failure) || !textField(reader, "Condition", condition.name, failure) ||
        !intField(reader, "Colour", condition.colour, failure) ||
        !intField(reader, "NrOfIntervals", intervalCount, failure)) {
      return failure;
    }
    if (intervalCount < 0) return reader.fail("NrOfIntervals is negative");
    for (std::int32_t i = 0; i < intervalCount; ++i) {
      std::int32_t start = 0;
      std::int32_t end = 0;
      if (!interval(reader, start, end, failure)) return failure;
      condition.starts.push_back(start);
      condition.ends.push_back(end);
    }
    parsed.conditions.push_back(std::move(condition));
  }
  std::string_view line;
  if (reader.next(line)) return reader.fail("unexpected text after the last condition");
  if (reader.unterminated()) return reader.fail("the last line has no line end; the file looks truncated");
  protocol = std::move(parsed);
  return {true, {}};
}

template <class Intervals>
bool saveProtocolFile(const BasicProtocol<Intervals>& protocol, const std::string& path, std::string& error) {
  if (path.empty()) {
    error = "cannot save a protocol without a file name";
    return false;
  }
  // Streamed: a protocol of a million intervals is never held as one text.
  return writeFileAtomically(
      path, [&protocol](BlockWriter& out) { protocol_file::writeProtocolText(protocol, out); }, error);
}

template <class Intervals>
bool loadProtocolFile(const std::string& path, BasicProtocol<Intervals>& protocol, std::string& error) {
  const auto text = protocol_file::readProtocolText(path, error);
  if (!text) return false;
  const ParseResult result = parseProtocol(*text, path, protocol);
  if (!result.ok) error = result.error;
  return result.ok;
}

}  // namespace console
