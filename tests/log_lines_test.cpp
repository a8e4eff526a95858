#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <string>
#include <vector>

#include "log/event_line.h"
#include "log/text_lines.h"

namespace stimloom {
namespace {

// Lines as "text|" (ended) or "text" (last line without a line end).
std::vector<std::string> splitInPieces(const std::string& text, std::size_t pieceSize) {
  std::vector<std::string> lines;
  const auto collect = [&](const TextLine& line) {
    lines.push_back(std::string(line.text) + (line.ended ? "|" : ""));
    return true;
  };
  LineSplitter splitter;
  for (std::size_t at = 0; at < text.size(); at += pieceSize) splitter.feed(text.substr(at, pieceSize), collect);
  splitter.finish(collect);
  return lines;
}

TEST(TextLines, LinesAreWholeWhateverThePiecesTheTextArrivesIn) {
  const std::string longLine(300, 'x');
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"", {}},
      {"a\nb\n", {"a|", "b|"}},
      {"a\r\nb\r\n", {"a|", "b|"}},  // CR before LF is part of the line end
      {"a\nb", {"a|", "b"}},         // a last line without line end still counts
      {"a\r\nb\r", {"a|", "b"}},     // a CRLF cut short after its CR
      {"\n\r\n\n", {"|", "|", "|"}},
      {"x\ry\n", {"x\ry|"}},  // a CR inside a line is not a line end
      {longLine + "\r\n" + longLine, {longLine + "|", longLine}},
  };
  for (const auto& [text, expected] : cases) {
    for (std::size_t pieceSize = 1; pieceSize <= text.size() + 1; ++pieceSize) {
      EXPECT_EQ(splitInPieces(text, pieceSize), expected) << "pieces of " << pieceSize;
    }
  }
}

TEST(TextLines, SplitterStopsWhenAskedAndRepeatedLineFindsTheEndOfTheTable) {
  LineSplitter splitter;
  std::vector<std::string> seen;
  RepeatedLine repeated;
  const bool goOn = splitter.feed("a\na\n\nb\n \t\n\n\n\nnot read\n", [&](const TextLine& line) {
    if (repeated.repeats(line)) return false;
    seen.emplace_back(line.text);
    return true;
  });
  EXPECT_FALSE(goOn);
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "a", "", "b", " \t", ""}));

  RepeatedLine ends;
  EXPECT_FALSE(ends.repeats({"x", true}));
  EXPECT_FALSE(ends.repeats({"x", true})) << "a repeated event line is data";
  EXPECT_FALSE(ends.repeats({" ", true}));
  EXPECT_FALSE(ends.repeats({" ", false})) << "a last line without line end differs from one with";
  EXPECT_FALSE(ends.repeats({"\t", true}));
  EXPECT_TRUE(ends.repeats({"\t", true}));
}

TEST(TextLines, TextWithOnlyCrLineEndsIsSplitAtCr) {
  const std::vector<std::pair<std::string, char>> starts = {
      {"a\rb\r", '\r'}, {"a\r", '\r'}, {"a\r\nb", '\n'}, {"a\nb\r", '\n'}, {"abc", '\n'}, {"", '\n'},
  };
  for (const auto& [start, lineEnd] : starts) EXPECT_EQ(lineEndOf(start), lineEnd) << start;

  const std::string text = "a\rb c\r\rd\ne\r";  // after the first CR, a LF is an ordinary character
  for (std::size_t pieceSize = 1; pieceSize <= text.size(); ++pieceSize) {
    std::vector<std::string> lines;
    const auto collect = [&](const TextLine& line) {
      lines.push_back(std::string(line.text) + (line.ended ? "|" : ""));
      return true;
    };
    LineSplitter splitter('\r');
    for (std::size_t at = 0; at < text.size(); at += pieceSize) splitter.feed(text.substr(at, pieceSize), collect);
    splitter.finish(collect);
    EXPECT_EQ(lines, (std::vector<std::string>{"a|", "b c|", "|", "d\ne|"})) << "pieces of " << pieceSize;
  }
  std::array<std::string_view, 3> columns;
  EXPECT_EQ(splitColumns("1 Picture\nfix", columns), 3u) << "a stray LF separates columns as a CR does";
}

TEST(TextLines, ColumnsAreTabSeparatedWhenTheLineHasATabElseSpaceSeparated) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"1\tPicture\tcongruent left\t\t5", {"1", "Picture", "congruent left", "", "5"}},
      {"\t1\t", {"", "1", ""}},
      {"  1  Picture fix   100 ", {"1", "Picture", "fix", "100"}},
      {"", {}},
      {"   ", {}},
      {"a\tb\tc\td\te\tf", {"a", "b", "c", "d", "e"}},  // only as many as asked for
      {"a b c d e f", {"a", "b", "c", "d", "e"}},
  };
  for (const auto& [line, expected] : cases) {
    std::array<std::string_view, 5> columns;
    const std::size_t count = splitColumns(line, columns);
    EXPECT_EQ(std::vector<std::string>(columns.begin(), columns.begin() + static_cast<std::ptrdiff_t>(count)), expected)
        << line;
  }
}

struct EventLineCase {
  std::string line;
  bool hasSubjectColumn;
  bool isEventLine;
  std::int32_t trial = 0;
  std::string eventType = {};
  std::string code = {};
  std::optional<double> time = std::nullopt;
  double duration = 0;
};

TEST(EventLines, EachLineIsParsedOnItsOwn) {
  const std::vector<EventLineCase> cases = {
      {"sub01\t2\tPicture\tcongruent left\t160445\t8105\t1\t15000\t2\t0\t15000\thit\t0", true, true, 2, "Picture",
       "congruent left", 160445, 15000},
      {"sub01\t2\tResponse\t2\t164658\t12318\t1", true, true, 2, "Response", "2", 164658, 0},     // no Duration
      {"sub01\t3\tPicture\tfix\t172445\t0\t1\t\t2", true, true, 3, "Picture", "fix", 172445, 0},  // empty Duration
      {"\t3\tSound\ttone1\t12345\t0\t1\t5000", true, true, 3, "Sound", "tone1", 12345, 5000},     // empty Subject
      {"s01 3 Sound tone1 12345 0 1 5000", true, true, 3, "Sound", "tone1", 12345, 5000},
      {"7 Video clip 15005.7 0 1 4999", false, true, 7, "Video", "clip", 15005.7, 4999},
      {"7 Picture Errors incongruent: 27 500 0 1 10", false, true, 7, "Picture", "Errors", std::nullopt, 0},
      {"7\tPicture\tfix\tnan\t0\t1\t10", false, true, 7, "Picture", "fix", std::nullopt, 10},
      {"7\tPicture\tfix\t100\t0\t1\tinf", false, true, 7, "Picture", "fix", 100, 0},
      {"7\tPicture\tfix\t100x", false, true, 7, "Picture", "fix", std::nullopt, 0},
      {"7\tPicture", false, true, 7, "Picture", "", std::nullopt, 0},
      {"Subject\tTrial\tEvent Type\tCode\tTime", true, false},
      {"Picture\tfixation\tother\t\t\t\t152445\t1\t19980", false, false},  // the second table
      {"sub01\t2\tPicture\tfix\t100", false, false},                       // the other layout
      {"2\tPicture\tfix\t100", true, false},
      {"+2\tPicture\tfix\t100", false, false},
      {"99999999999\tPicture\tfix\t100", false, false},  // Trial beyond 32 bits
      {"2\t\tfix\t100", false, false},
      {"", false, false},
  };
  for (const EventLineCase& c : cases) {
    const auto event = parseEventLine(c.line, c.hasSubjectColumn);
    ASSERT_EQ(event.has_value(), c.isEventLine) << c.line;
    if (!event) continue;
    EXPECT_EQ(event->trial, c.trial) << c.line;
    EXPECT_EQ(event->eventType, c.eventType) << c.line;
    EXPECT_EQ(event->code, c.code) << c.line;
    EXPECT_EQ(event->time, c.time) << c.line;
    EXPECT_EQ(event->duration, c.duration) << c.line;
  }
}

// A Trial is what std::from_chars reads of the whole column, or no event line.
TEST(EventLines, TrialsAreWholeInt32Numbers) {
  for (const std::string trial :
       {"0",           "7",           "-3",         "-0",          "0012", "2147483647", "2147483648",
        "-2147483648", "-2147483649", "4294967296", "99999999999", "-",    "--1",        "1-",
        "+1",          " 1",          "1 ",         "1.0",         "0x1",  "１",         "\xB9"}) {
    std::int32_t expected = 0;
    const auto [end, error] = std::from_chars(trial.data(), trial.data() + trial.size(), expected);
    const bool number = error == std::errc() && end == trial.data() + trial.size();
    const auto event = parseEventLine(trial + "\tPicture\tfix\t100", false);
    ASSERT_EQ(event.has_value(), number) << trial;
    if (event) {
      EXPECT_EQ(event->trial, expected) << trial;
    }
  }
}

// Plain digits take a quicker road than other numbers; both must agree with
// a general conversion of the whole column.
TEST(EventLines, TimesAreReadExactlyAsWritten) {
  std::vector<std::pair<std::string, std::optional<double>>> cases = {
      {"160445", 160445.0},
      {"0", 0.0},
      {"000123", 123.0},
      {"999999999999999", 999999999999999.0},    // 15 digits
      {"9999999999999999", 9999999999999999.0},  // 16: the general conversion
      {"123456789012345678901234567890", 1.2345678901234568e29},
      {"15005.7", 15005.7},
      {"-1", -1.0},
      {"-0", -0.0},
      {"1e3", 1000.0},
      {"+1", std::nullopt},
      {"12x", std::nullopt},
      {"1 2", std::nullopt},
      {"nan", std::nullopt},
      {"inf", std::nullopt},
      {"1e400", std::nullopt},
      {"", std::nullopt},
      // Eight digits are read at once: every byte of the eight, and those after, must be a digit.
      {"12345678", 12345678.0},
      {"1234567890", 1234567890.0},
      {"99999999", 99999999.0},
      {"00000000", 0.0},
      {"1234567/", std::nullopt},
      {"1234567:", std::nullopt},
      {"12345678:", std::nullopt},
      {"1234\x80"
       "678",
       std::nullopt},
      {"123456789.5", 123456789.5},
  };
  for (int digit = 0; digit < 8; ++digit) {
    std::string eight = "12345678";
    for (const char other : {'/', ':', ' ', 'a', '\xB0', '\xC0', '\x10'}) {
      eight[static_cast<std::size_t>(digit)] = other;
      cases.push_back({eight + "9", std::nullopt});
    }
  }
  for (const auto& [column, time] : cases) {
    const auto event = parseEventLine("7\tPicture\tfix\t" + column, false);
    ASSERT_TRUE(event.has_value()) << column;
    EXPECT_EQ(event->time, time) << column;
  }
}

TEST(EventLines, OnlyTheFourTypesAreKeptAndOnlyWhenTheyCanBeStored) {
  for (const char* type : {"Picture", "Sound", "Video", "Response"}) EXPECT_TRUE(isKeptEventType(type)) << type;
  for (const char* type : {"picture", "PICTURE", "Pictures", "Pulse", "Port Input", ""}) {
    EXPECT_FALSE(isKeptEventType(type)) << type;
  }

  const std::string longCode(256, 'c');
  const std::vector<std::pair<EventLine, EventFault>> cases = {
      {{1, "Picture", "fix", 100, 50}, EventFault::kNone},
      {{1, "Picture", std::string_view(longCode).substr(1), 100, 50}, EventFault::kNone},  // 255 characters
      {{1, "Picture", "fix", std::nullopt, 50}, EventFault::kNoTime},
      {{1, "Picture", "", 100, 50}, EventFault::kNoCode},
      {{1, "Picture", longCode, 100, 50}, EventFault::kCodeTooLong},
      {{1, "Picture", std::string_view("f\0x", 3), 100, 50}, EventFault::kNulInCode},
      {{1, "Picture", "fix", 21474836479.0, 50}, EventFault::kNone},  // 2147483647 ms
      {{1, "Picture", "fix", 21474836480.0, 50}, EventFault::kTimeOutOfRange},
      {{1, "Picture", "fix", -21474836489.0, 50}, EventFault::kNone},  // truncates to -2147483648 ms
      {{1, "Picture", "fix", 100, 21474836480.0}, EventFault::kDurationOutOfRange},
      {{1, "Picture", "fix", 100, -21474836481.0}, EventFault::kDurationOutOfRange},  // floors below the range
  };
  for (const auto& [line, fault] : cases) {
    EXPECT_EQ(checkKeptEvent(line), fault)
        << line.code.substr(0, 10) << " " << line.time.value_or(-1) << " " << line.duration;
  }
}

TEST(EventLines, ColumnHeaderTellsTheLayout) {
  EXPECT_EQ(headerHasSubjectColumn("Subject\tTrial\tEvent Type\tCode\tTime"), true);
  EXPECT_EQ(headerHasSubjectColumn("Trial\tEvent Type\tCode\tTime"), false);
  EXPECT_EQ(headerHasSubjectColumn("Trial Event Type Code Time"), false);
  EXPECT_EQ(headerHasSubjectColumn("Event Type\tCode\tType"), std::nullopt);
  EXPECT_EQ(headerHasSubjectColumn("Subject: 12"), std::nullopt);
  EXPECT_EQ(headerHasSubjectColumn(""), std::nullopt);
}

TEST(EventLines, AColumnHeaderThatNamesItsColumnsGivesTheirPlaces) {
  const auto named = namedColumnsOf(
      "Subject\tTrial\tEvent Type\tCode\tEvent(str)\tTemperature(num)\t VAS(num) \tTime\tTTime\tUncertainty\t"
      "Duration\tUncertainty\tReqTime\tReqDur\tStim Type\tPair Index\t\tUncertainty");
  ASSERT_TRUE(named);
  EXPECT_EQ(named->places, (ColumnPlaces{1, 2, 3, 7, 10}));
  EXPECT_TRUE(named->hasSubjectColumn);
  EXPECT_EQ(named->stimType, 14u);
  EXPECT_EQ(named->pairIndex, 15u);
  EXPECT_EQ(named->count, 18u);
  std::vector<std::pair<std::string, std::size_t>> properties;
  for (const NamedColumn& column : named->properties) properties.emplace_back(column.name, column.place);
  EXPECT_EQ(properties, (std::vector<std::pair<std::string, std::size_t>>{
                            {"Event(str)", 4}, {"Temperature(num)", 5}, {"VAS(num)", 6}, {"Uncertainty", 17}}));

  const auto pulse = namedColumnsOf("Subject\tPulse\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration");
  ASSERT_TRUE(pulse);
  EXPECT_EQ(pulse->places, positionalPlaces(true)) << "the column before Event Type holds the trial";
  EXPECT_TRUE(pulse->properties.empty());
  const auto noDuration = namedColumnsOf("Trial\tEvent Type\tCode\tTime");
  ASSERT_TRUE(noDuration);
  EXPECT_EQ(noDuration->places.duration, ColumnPlaces::kNone);

  for (const char* other : {"Trial Event Type Code Time", "Trial\tEvent Type\tCode\tTTime", "Event Type\tCode\tTime",
                            "Trial\tevent type\tCode\tTime", ""}) {
    EXPECT_FALSE(namedColumnsOf(other)) << other;
  }
}

}  // namespace
// Tab-separated lines take a quicker road; it must read every line as the
// reading by columns does. Lines are drawn from the pieces that matter: digits
// of every length, signs, spaces, empty columns, and too many or too few.
TEST(EventLines, TheQuickReadingOfTabbedLinesEqualsTheReadingByColumns) {
  const std::vector<std::string> pieces = {"",           "0",    "7",           "-3",       "0012",  "2147483647",
                                           "2147483648", "-",    "12345678901", "Picture",  "Pulse", "fix",
                                           "con gruent", " ",    "160445",      "1000.3",   "1e3",   "nan",
                                           "\t",         "\t\t", "x",           "99999999", "+1",    "sub01"};
  std::uint64_t state = 20261208;
  const auto draw = [&state](std::size_t bound) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::size_t>((state >> 33) % bound);
  };
  const auto same = [](const std::optional<EventLine>& a, const std::optional<EventLine>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || (a->trial == b->trial && a->eventType == b->eventType && a->code == b->code && a->time == b->time &&
                  a->duration == b->duration);
  };
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    const std::size_t columns = draw(11);
    for (std::size_t c = 0; c < columns; ++c) {
      if (c > 0) line += draw(8) == 0 ? " " : "\t";
      line += pieces[draw(pieces.size())];
    }
    for (const bool subject : {false, true}) {
      const auto quick = parseEventLine(line, subject);
      const auto general = parseEventLineByColumns(line, subject);
      ASSERT_TRUE(same(quick, general)) << "\"" << line << "\" subject=" << subject;
    }
  }
}

}  // namespace stimloom
