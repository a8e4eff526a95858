#pragma once
// Where pure code hands its diagnostic lines: one call per line, each a
// NUL-terminated text without a line end. The caller decides where they go:
// the host's log pane, a terminal, a test's list, or nowhere.

#include <string>
#include <vector>

namespace stimloom {

class LineSink {
 public:
  virtual void line(const char* text) = 0;
  void line(const std::string& text) { line(text.c_str()); }

 protected:
  ~LineSink() = default;
};

class DiscardLines final : public LineSink {
 public:
  void line(const char*) override {}
  using LineSink::line;
};

class CollectLines final : public LineSink {
 public:
  std::vector<std::string> lines;
  void line(const char* text) override { lines.emplace_back(text); }
  using LineSink::line;
};

}  // namespace stimloom
