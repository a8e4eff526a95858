#include "standin/protocol_store.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <system_error>

#include "standin/file_output.h"
#include "util/integer_text.h"

namespace standin {
namespace {

constexpr std::string_view kFormatLine = "stimloom stand-in protocol, version 1";

// Texts are stored on one line: '%', CR and LF are written as %25, %0D and %0A.
std::string escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '%')
      out += "%25";
    else if (c == '\r')
      out += "%0D";
    else if (c == '\n')
      out += "%0A";
    else
      out += c;
  }
  return out;
}

bool unescape(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const std::string_view code = text.substr(i + 1, 2);
    if (code == "25")
      out += '%';
    else if (code == "0D")
      out += '\r';
    else if (code == "0A")
      out += '\n';
    else
      return false;
    i += 2;
  }
  return true;
}

bool parseInt32(std::string_view text, std::int32_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

class LineReader {
 public:
  LineReader(std::string_view text, std::string_view displayName) : text_(text), displayName_(displayName) {}

  // The next line without its line end; false at the end of the text.
  bool next(std::string_view& line) {
    if (position_ >= text_.size()) return false;
    const auto end = text_.find('\n', position_);
    if (end == std::string_view::npos) {
      unterminated_ = true;
      line = text_.substr(position_);
      position_ = text_.size();
    } else {
      line = text_.substr(position_, end - position_);
      position_ = end + 1;
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number_;
    return true;
  }

  bool unterminated() const { return unterminated_; }

  // A failure on the line read last.
  ParseResult fail(std::string_view what) const { return failOnLine(number_, what); }
  // A failure because the line after the last one read is missing.
  ParseResult failEarlyEnd(std::string_view expected) const {
    return failOnLine(number_ + 1, "the file ends early; expected " + std::string(expected));
  }

 private:
  ParseResult failOnLine(std::size_t line, std::string_view what) const {
    return {false, std::string(displayName_) + ":" + std::to_string(line) + ": " + std::string(what)};
  }

 public:
 private:
  std::string_view text_;
  std::string_view displayName_;
  std::size_t position_ = 0;
  std::size_t number_ = 0;
  bool unterminated_ = false;
};

// Reads "Key: value" into value; a failure names what was expected.
bool field(LineReader& reader, std::string_view key, std::string_view& value, ParseResult& failure) {
  std::string_view line;
  if (!reader.next(line)) {
    failure = reader.failEarlyEnd("\"" + std::string(key) + ": ...\"");
    return false;
  }
  const std::string prefix = std::string(key) + ": ";
  if (line.substr(0, prefix.size()) != prefix) {
    failure = reader.fail("expected \"" + prefix + "...\"");
    return false;
  }
  value = line.substr(prefix.size());
  return true;
}

bool intField(LineReader& reader, std::string_view key, std::int32_t& value, ParseResult& failure) {
  std::string_view text;
  if (!field(reader, key, text, failure)) return false;
  if (!parseInt32(text, value)) {
    failure = reader.fail(std::string(key) + " is not a 32-bit integer: \"" + std::string(text) + "\"");
    return false;
  }
  return true;
}

bool textField(LineReader& reader, std::string_view key, std::string& value, ParseResult& failure) {
  std::string_view text;
  if (!field(reader, key, text, failure)) return false;
  if (!unescape(text, value)) {
    failure = reader.fail(std::string(key) + " holds a '%' that is not %25, %0D or %0A");
    return false;
  }
  return true;
}

bool blankLine(LineReader& reader, ParseResult& failure) {
  std::string_view line;
  if (!reader.next(line)) {
    failure = reader.failEarlyEnd("an empty line");
    return false;
  }
  if (!line.empty()) {
    failure = reader.fail("expected an empty line");
    return false;
  }
  return true;
}

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
template <class Out>
void writeProtocolText(const Protocol& protocol, Out& out) {
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
  out.append(kFormatLine);
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
  for (const StoredCondition& condition : protocol.conditions) {
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

}  // namespace

std::string formatProtocol(const Protocol& protocol) {
  std::string text;
  StringWriter out(text);
  writeProtocolText(protocol, out);
  return text;
}

ParseResult parseProtocol(std::string_view text, std::string_view displayName, Protocol& protocol) {
  LineReader reader(text, displayName);
  ParseResult failure;
  std::string_view line;
  const bool empty = !reader.next(line);
  if (empty || line != kFormatLine) {
    if (empty) return reader.failEarlyEnd("\"" + std::string(kFormatLine) + "\"");
    return reader.fail("not a stand-in protocol file (the first line is not \"" + std::string(kFormatLine) + "\")");
  }
  Protocol parsed;
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
    StoredCondition condition;
    std::int32_t intervalCount = 0;
    if (!blankLine(reader, failure) || !textField(reader, "Condition", condition.name, failure) ||
        !intField(reader, "Colour", condition.colour, failure) ||
        !intField(reader, "NrOfIntervals", intervalCount, failure)) {
      return failure;
    }
    if (intervalCount < 0) return reader.fail("NrOfIntervals is negative");
    for (std::int32_t i = 0; i < intervalCount; ++i) {
      if (!reader.next(line)) return reader.failEarlyEnd("an interval \"start end\"");
      const auto space = line.find(' ');
      std::int32_t start = 0;
      std::int32_t end = 0;
      if (space == std::string_view::npos || !parseInt32(line.substr(0, space), start) ||
          !parseInt32(line.substr(space + 1), end)) {
        return reader.fail("expected an interval \"start end\" of two 32-bit integers");
      }
      condition.starts.push_back(start);
      condition.ends.push_back(end);
    }
    parsed.conditions.push_back(std::move(condition));
  }
  if (reader.next(line)) return reader.fail("unexpected text after the last condition");
  if (reader.unterminated()) return reader.fail("the last line has no line end; the file looks truncated");
  protocol = std::move(parsed);
  return {true, {}};
}

bool saveProtocolFile(const Protocol& protocol, const std::string& path, std::string& error) {
  if (path.empty()) {
    error = "cannot save a protocol without a file name";
    return false;
  }
  // Streamed: a protocol of a million intervals is never held as one text.
  return writeFileAtomically(
      path, [&protocol](BlockWriter& out) { writeProtocolText(protocol, out); }, error);
}

bool loadProtocolFile(const std::string& path, Protocol& protocol, std::string& error) {
  const auto text = readWholeFile(path, error);
  if (!text) {
    if (error.ends_with(": is a folder, not a file")) error = path + ": is a folder, not a protocol file";
    return false;
  }
  const ParseResult result = parseProtocol(*text, path, protocol);
  if (!result.ok) error = result.error;
  return result.ok;
}

}  // namespace standin
