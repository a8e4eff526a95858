#include "standin/terminal_dialogs.h"

#include <charconv>

namespace standin {

std::string renderRichText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text.compare(i, 3, "<P>") == 0) {
      out += "\n\n";
      i += 3;
    } else if (text.compare(i, 4, "<BR>") == 0) {
      out += '\n';
      i += 4;
    } else {
      out += text[i++];
    }
  }
  return out;
}

void TerminalResponder::show(std::string_view text) {
  std::fflush(stdout);  // the log pane so far comes before the question
  const std::string rendered = renderRichText(text);
  std::fwrite(rendered.data(), 1, rendered.size(), out_);
}

std::optional<std::string> TerminalResponder::readLine() {
  std::fflush(out_);
  std::string line;
  if (!std::getline(in_, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void TerminalResponder::message(std::string_view text) {
  std::fflush(stdout);  // the log pane so far comes before the message
  std::fputs("\n[Mirovane ZR] ", out_);
  show(text);
  std::fputs("\n", out_);
}

bool TerminalResponder::yesNo(std::string_view text) {
  std::fputs("\n", out_);
  show(text);
  for (;;) {
    std::fputs(" [y/n] ", out_);
    const auto line = readLine();
    if (!line) return false;
    if (*line == "y" || *line == "yes" || *line == "Y") return true;
    if (*line == "n" || *line == "no" || *line == "N") return false;
    std::fputs("Please answer y or n.", out_);
  }
}

std::optional<std::int32_t> TerminalResponder::integer(std::string_view prompt, std::int32_t defaultValue,
                                                       std::int32_t minimum, std::int32_t maximum) {
  std::fputs("\n", out_);
  show(prompt);
  for (;;) {
    std::fprintf(out_, "\n(%d to %d) [%d]: ", minimum, maximum, defaultValue);
    const auto line = readLine();
    if (!line) return std::nullopt;
    if (line->empty()) return defaultValue;
    std::int32_t value = 0;
    const char* first = line->data();
    const char* last = first + line->size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error == std::errc() && end == last && value >= minimum && value <= maximum) return value;
    std::fprintf(out_, "Please enter a whole number from %d to %d.", minimum, maximum);
  }
}

std::optional<std::string> TerminalResponder::text(std::string_view prompt, std::string_view defaultAnswer) {
  std::fputs("\n", out_);
  show(prompt);
  std::fprintf(out_, "[%.*s]: ", static_cast<int>(defaultAnswer.size()), defaultAnswer.data());
  const auto line = readLine();
  if (!line) return std::nullopt;
  return line->empty() ? std::string(defaultAnswer) : *line;
}

std::optional<std::string> TerminalResponder::openFile(std::string_view prompt, std::string_view initialText,
                                                       std::string_view filter) {
  std::fputs("\n", out_);
  show(prompt);
  std::fprintf(out_, " (%.*s)\nPath (empty to cancel): ", static_cast<int>(filter.size()), filter.data());
  const auto line = readLine();
  if (!line) return std::nullopt;
  if (line->empty()) {
    if (initialText.empty()) return std::nullopt;
    return std::string(initialText);
  }
  return *line;
}

std::optional<std::string> TerminalResponder::saveFile(std::string_view prompt, std::string_view initialText,
                                                       std::string_view filter) {
  return openFile(prompt, initialText, filter);
}

}  // namespace standin
