#include "console/protocol_file.h"

#include <charconv>
#include <system_error>

namespace console::protocol_file {
namespace {

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

}  // namespace

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

bool LineReader::next(std::string_view& line) {
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

ParseResult LineReader::failOnLine(std::size_t line, std::string_view what) const {
  return {false, std::string(displayName_) + ":" + std::to_string(line) + ": " + std::string(what)};
}

bool formatLine(LineReader& reader, ParseResult& failure) {
  std::string_view line;
  if (!reader.next(line)) {
    failure = reader.failEarlyEnd("\"" + std::string(kProtocolFormatLine) + "\"");
    return false;
  }
  if (line != kProtocolFormatLine) {
    failure = reader.fail("not a stand-in protocol file (the first line is not \"" + std::string(kProtocolFormatLine) +
                          "\")");
    return false;
  }
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

bool interval(LineReader& reader, std::int32_t& start, std::int32_t& end, ParseResult& failure) {
  std::string_view line;
  if (!reader.next(line)) {
    failure = reader.failEarlyEnd("an interval \"start end\"");
    return false;
  }
  const auto space = line.find(' ');
  if (space == std::string_view::npos || !parseInt32(line.substr(0, space), start) ||
      !parseInt32(line.substr(space + 1), end)) {
    failure = reader.fail("expected an interval \"start end\" of two 32-bit integers");
    return false;
  }
  return true;
}

std::optional<std::string> readProtocolText(const std::string& path, std::string& error) {
  auto text = readWholeFile(path, error);
  if (!text && error.ends_with(": is a folder, not a file")) error = path + ": is a folder, not a protocol file";
  return text;
}

}  // namespace console::protocol_file
