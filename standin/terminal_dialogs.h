#pragma once
// The host's dialogs asked on a terminal: the prompt shown with its rich-text
// tags as line breaks, the default taken on an empty answer, bounds enforced
// as a dialog would, and the end of input taken as a cancel.

#include <cstdio>
#include <istream>
#include <string>

#include "standin/standin_host.h"

namespace standin {

// "<P>" becomes an empty line and "<BR>" a line break.
std::string renderRichText(std::string_view text);

class TerminalResponder final : public DialogResponder {
 public:
  TerminalResponder(std::istream& in, std::FILE* out) : in_(in), out_(out) {}

  void message(std::string_view text) override;
  bool yesNo(std::string_view text) override;
  std::optional<std::int32_t> integer(std::string_view prompt, std::int32_t defaultValue, std::int32_t minimum,
                                      std::int32_t maximum) override;
  std::optional<std::string> text(std::string_view prompt, std::string_view defaultAnswer) override;
  std::optional<std::string> openFile(std::string_view prompt, std::string_view initialText,
                                      std::string_view filter) override;
  std::optional<std::string> saveFile(std::string_view prompt, std::string_view initialText,
                                      std::string_view filter) override;

 private:
  // One line of input without its line end; nothing at the end of input.
  std::optional<std::string> readLine();
  void show(std::string_view text);

  std::istream& in_;
  std::FILE* out_;
};

}  // namespace standin
