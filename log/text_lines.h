#pragma once
// Lines and columns of a text file, from text that arrives in pieces of any
// size. Pure: no file and no host is reached from here.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace stimloom {

// One line: its characters without the line end, and whether it had one (a
// file's last line may not).
struct TextLine {
  std::string_view text;
  bool ended = false;
  // True when `text` points into the piece being fed, which stays valid
  // until feed returns; false when it points into the splitter's own copy of
  // a line that spanned two pieces, which is gone once onLine returns.
  bool inPiece = true;
};

// The line end of a text that begins with `start`: CR when `start` holds a CR
// but no LF, as files of old Mac editors do; LF otherwise, for LF and CRLF
// text alike.
char lineEndOf(std::string_view start);

// Splits text into whole lines, however long. A line ends at LF; a CR directly
// before the LF belongs to the line end, so CRLF and LF text give the same
// lines. A CR that ends the text counts as the start of a cut-off line end.
// Text with CR line ends (lineEndOf) is split at CR instead, and then a LF is
// an ordinary character, as a lone CR is in LF text.
class LineSplitter {
 public:
  explicit LineSplitter(char lineEnd = '\n') : lineEnd_(lineEnd) {}

  // Hands each line that `piece` completes to onLine(TextLine), which returns
  // true to go on. False once onLine has asked to stop.
  template <class OnLine>
  bool feed(std::string_view piece, OnLine&& onLine) {
    while (!piece.empty()) {
      const std::size_t end = piece.find(lineEnd_);
      if (end == std::string_view::npos) {
        pending_.append(piece);
        return true;
      }
      std::string_view line = piece.substr(0, end);
      piece.remove_prefix(end + 1);
      const bool spanned = !pending_.empty();
      if (spanned) line = pending_.append(line);
      const bool goOn = onLine(TextLine{withoutCarriageReturn(line), true, !spanned});
      pending_.clear();
      if (!goOn) return false;
    }
    return true;
  }

  // Hands on the last line when the text did not end with a line end.
  template <class OnLine>
  void finish(OnLine&& onLine) {
    if (pending_.empty()) return;
    onLine(TextLine{withoutCarriageReturn(pending_), false, false});
    pending_.clear();
  }

 private:
  std::string_view withoutCarriageReturn(std::string_view line) const {
    if (lineEnd_ == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  }

  char lineEnd_;
  std::string pending_;  // the start of a line that the next piece ends
};

// A line of nothing but spaces and tabs, or of nothing.
inline bool isBlankLine(std::string_view text) {
  for (const char c : text) {
    if (c != ' ' && c != '\t') return false;
  }
  return true;
}

// Finds the line that ends a table: the first blank line identical to the
// line directly before it, line end included, as the empty lines between a
// log's two tables are. Event lines that repeat are data: a device may send
// the same byte twice in one millisecond.
//
// Only a blank line before is kept, copied: most lines are not blank, and
// copying every line cost as much as reading the file.
class RepeatedLine {
 public:
  // True when `line` is blank and repeats the line seen before it; then remembers `line`.
  bool repeats(const TextLine& line) {
    if (!isBlankLine(line.text)) {
      previousBlank_ = false;
      return false;
    }
    const bool same = previousBlank_ && line.ended == previousEnded_ && line.text == previous_;
    previous_.assign(line.text);
    previousEnded_ = line.ended;
    previousBlank_ = true;
    return same;
  }

 private:
  std::string previous_;
  bool previousEnded_ = false;
  bool previousBlank_ = false;
};

// The first tab in [from, end): eight bytes at a time, as a 64-bit word in
// which a tab's byte becomes zero ("has a zero byte" arithmetic on plain
// integers), then byte by byte for the rest.
inline const char* findTab(const char* from, const char* end) {
  constexpr std::uint64_t kTabs = 0x0909090909090909ull;
  constexpr std::uint64_t kLows = 0x0101010101010101ull;
  constexpr std::uint64_t kHighs = 0x8080808080808080ull;
  // Little-endian: the word's lowest byte is the first character. A borrow
  // can mark bytes after the first tab, never before it.
  while (std::endian::native == std::endian::little && end - from >= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, from, 8);
    const std::uint64_t x = word ^ kTabs;
    const std::uint64_t zeros = (x - kLows) & ~x & kHighs;
    if (zeros != 0) return from + std::countr_zero(zeros) / 8;
    from += 8;
  }
  while (from != end && *from != '\t') ++from;
  return from;
}

// Fills `columns` with the first columns of a line and returns how many it
// found. A line holding a tab has its columns separated by single tabs (an
// empty column stays, spaces belong to the column); any other line has them
// separated by runs of spaces. Columns beyond columns.size() are not looked at.
//   "1\tPicture\tcongruent left\t\t5" -> "1", "Picture", "congruent left", "", "5"
//   "  1  Picture fix 100"           -> "1", "Picture", "fix", "100"
std::size_t splitColumns(std::string_view line, std::span<std::string_view> columns);

}  // namespace stimloom
