// The picture of a run, read back by an independent XML parser
// (tests/read_svg.py on Debian's python) and rendered by librsvg and, where it
// is installed, by chromium.

#include "plot/timeline_svg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "export/bids_events.h"
#include "plot/run_timeline.h"
#include "tests/program_run.h"
#include "tests/standin_fixture.h"

namespace stimloom::testing {
namespace {

using Json = nlohmann::json;

constexpr const char* kPython = STIMLOOM_CHECKER_PYTHON;
constexpr const char* kChromium = "/usr/bin/chromium";

int exitStatus(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// What tests/read_svg.py prints about a file. It throws, failing the test, when
// python is missing or the file does not parse.
Json readWithPython(const TempDir& dir, const std::string& mode, const std::string& path,
                    const std::vector<std::string>& queries = {}) {
  if (!std::filesystem::exists(kPython)) {
    throw std::runtime_error(std::string(kPython) + " is missing: bash cmake/ensure-packages.sh checkers installs it");
  }
  std::string command = quoted(kPython) + " " + quoted(STIMLOOM_READ_SVG) + " " + mode + " " + quoted(path);
  for (const std::string& query : queries) command += " " + quoted(query);
  command += " > " + quoted(dir.file("read.json")) + " 2> " + quoted(dir.file("read.err"));
  if (exitStatus(command) != 0) throw std::runtime_error("read_svg.py " + mode + ": " + readFile(dir.file("read.err")));
  return Json::parse(readFile(dir.file("read.json")));
}

Json readBack(const std::string& svg) {
  TempDir dir;
  return readWithPython(dir, "svg", dir.write("timeline.svg", svg));
}

// Seconds as the exact decimal text of a whole number of tenths of a
// millisecond, the log's unit: 123456 -> "12.3456", -5000 -> "-0.5".
std::string decimal(std::int64_t tenths) {
  std::string text = tenths < 0 ? "-" : "";
  const std::int64_t magnitude = tenths < 0 ? -tenths : tenths;
  text += std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(10000 + magnitude % 10000).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  return text;
}

TimelineEvent event(std::size_t row, std::int64_t onsetTenths, std::int64_t durationTenths) {
  return {row,
          static_cast<double>(onsetTenths) / 10000,
          static_cast<double>(durationTenths) / 10000,
          decimal(onsetTenths),
          decimal(durationTenths),
          "",
          "",
          std::nullopt};
}

void countEvents(Timeline& timeline) {
  for (TimelineRow& row : timeline.rows) row.eventCount = 0;
  for (const TimelineEvent& e : timeline.events) ++timeline.rows[e.row].eventCount;
}

// A flanker run as a log gives it: instructions before the first pulse, 100
// trials of fixation, stimulus and a response over eight minutes, 240 pulses
// at 2 s. Responses last until the next event, a few of them not at all.
Timeline realisticRun() {
  Timeline timeline;
  timeline.fileName = "flanker_run1.log";
  for (const char* name :
       {"fixation", "congruent left", "incongruent left", "congruent right", "Response 1", "Response 2"}) {
    timeline.rows.push_back({name, 0});
  }
  timeline.events.push_back(event(0, -80000, 40000));
  timeline.events.push_back(event(0, -40000, 40000));
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::uint32_t range) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<std::int64_t>((seed >> 8) % range);
  };
  for (int trial = 0; trial < 100; ++trial) {
    const std::int64_t start = trial * 47000 + next(3000);
    timeline.events.push_back(event(0, start, 5000));
    const std::int64_t stimulus = start + 5000;
    timeline.events.push_back(event(1 + static_cast<std::size_t>(next(3)), stimulus, 15000));
    const std::int64_t response = stimulus + 4000 + next(6000);
    const std::int64_t lasting = trial % 12 == 5 ? 0 : start + 47000 - response - next(2000);
    timeline.events.push_back(event(4 + static_cast<std::size_t>(next(2)), response, lasting));
  }
  std::sort(timeline.events.begin(), timeline.events.end(),
            [](const TimelineEvent& a, const TimelineEvent& b) { return a.onset < b.onset; });
  countEvents(timeline);
  for (int pulse = 0; pulse < 240; ++pulse) timeline.pulses.push_back(pulse * 2.0);
  timeline.lastVolumeEnd = 480.0;
  timeline.pulseFigures = "240 pulses, interval 2000 ms (1998-2003)";
  timeline.note = "2 events come before the first scanner pulse and are drawn left of time zero";
  return timeline;
}

// `rows` conditions, some with long names, and `events` impulses and bars
// dealt out to them in turn over ten minutes.
Timeline manyRows(std::size_t rows, std::size_t events) {
  Timeline timeline;
  timeline.fileName = "many.log";
  for (std::size_t row = 0; row < rows; ++row) {
    std::string name = "condition " + std::to_string(row);
    if (row % 7 == 3) name += " with a name far too long for the label column of the picture, surely";
    timeline.rows.push_back({name, 0});
  }
  for (std::size_t i = 0; i < events; ++i) {
    const auto onset = static_cast<std::int64_t>(i * 6000000 / events);
    timeline.events.push_back(event(i % rows, onset, i % 5 == 0 ? 0 : 20000));
  }
  countEvents(timeline);
  return timeline;
}

const std::string ellipsis = "\xE2\x80\xA6";

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// ---- What the document holds ---------------------------------------------------

TEST(TimelineSvg, EventMarksReadBackAsTheEventsGiven) {
  const Timeline timeline = realisticRun();
  const Json read = readBack(timelineSvg(timeline));
  ASSERT_EQ(read["events"].size(), timeline.events.size());
  EXPECT_EQ(read["eventAttributeHolders"], timeline.events.size()) << "only event marks carry the event attributes";
  for (std::size_t i = 0; i < timeline.events.size(); ++i) {
    const TimelineEvent& given = timeline.events[i];
    const Json& mark = read["events"][i];
    const std::string& name = timeline.rows[given.row].name;
    EXPECT_EQ(mark["condition"], name) << i;
    EXPECT_EQ(mark["onset"], given.onsetText) << i;
    EXPECT_EQ(mark["duration"], given.durationText) << i;
    EXPECT_EQ(mark["row"], std::to_string(given.row)) << i;
    EXPECT_EQ(mark["title"], name + ": onset " + given.onsetText + " s, duration " + given.durationText + " s") << i;
    if (given.duration == 0) {
      EXPECT_EQ(mark["tag"], "path") << i;
      EXPECT_GE(mark["strokeWidth"].get<double>(), 1.5) << "a zero-length event is a visible stem";
      EXPECT_GE(mark["height"].get<double>(), 0.8 * kRowHeight);
    } else {
      EXPECT_EQ(mark["tag"], "rect") << i;
      EXPECT_GE(mark["width"].get<double>(), 1.5) << "a short event stays visible";
    }
  }
  ASSERT_EQ(read["labels"].size(), timeline.rows.size());
  for (std::size_t row = 0; row < timeline.rows.size(); ++row) {
    const Json& label = read["labels"][row];
    EXPECT_EQ(label["row"], std::to_string(row));
    EXPECT_EQ(label["name"], timeline.rows[row].name);
    EXPECT_EQ(label["count"], std::to_string(timeline.rows[row].eventCount));
    EXPECT_EQ(label["title"],
              timeline.rows[row].name + " (" + std::to_string(timeline.rows[row].eventCount) + " events)");
  }
  ASSERT_EQ(read["pulses"].size(), timeline.pulses.size());
  for (std::size_t i = 0; i < timeline.pulses.size(); ++i) {
    EXPECT_EQ(read["pulses"][i]["time"].get<double>(), timeline.pulses[i]);
  }
  ASSERT_TRUE(read["marks"].contains("zero"));
  ASSERT_TRUE(read["marks"].contains("last-volume-end"));
  EXPECT_EQ(read["parts"]["title"], Json::array({"flanker_run1.log"}));
  EXPECT_EQ(read["parts"]["summary"],
            Json::array({"302 events, 6 conditions \xC2\xB7 240 pulses, interval 2000 ms (1998-2003)"}));
  EXPECT_EQ(read["parts"]["note"], Json::array({timeline.note}));
  EXPECT_FALSE(read["parts"].contains("empty"));
}

// The position of every mark, measured with the picture's own axis ticks.
TEST(TimelineSvg, MarksSitWhereTheAxisSaysTheirTimesAre) {
  const Timeline timeline = realisticRun();
  const Json read = readBack(timelineSvg(timeline));
  const Json& ticks = read["ticks"];
  ASSERT_GE(ticks.size(), 2u);
  const double t0 = std::stod(ticks.front()["value"].get<std::string>());
  const double t1 = std::stod(ticks.back()["value"].get<std::string>());
  const double x0 = ticks.front()["x"];
  const double pixelsPerSecond = (ticks.back()["x"].get<double>() - x0) / (t1 - t0);
  const auto xOf = [&](double seconds) { return x0 + (seconds - t0) * pixelsPerSecond; };
  EXPECT_NEAR(read["marks"]["zero"].get<double>(), xOf(0), 0.05);
  EXPECT_NEAR(read["marks"]["last-volume-end"].get<double>(), xOf(480), 0.05);
  for (const Json& pulse : read["pulses"]) EXPECT_NEAR(pulse["x"].get<double>(), xOf(pulse["time"]), 0.05);

  double first = 0;
  double last = *timeline.lastVolumeEnd;
  for (std::size_t i = 0; i < timeline.events.size(); ++i) {
    const TimelineEvent& given = timeline.events[i];
    const Json& mark = read["events"][i];
    EXPECT_NEAR(mark["x"].get<double>(), xOf(given.onset), 0.05) << i;
    if (given.duration > 0) {
      EXPECT_NEAR(mark["width"].get<double>(), std::max(1.5, given.duration * pixelsPerSecond), 0.05) << i;
    }
    if (given.onset < 0) {
      EXPECT_LT(mark["x"].get<double>(), read["marks"]["zero"].get<double>()) << i;
    }
    // In its own row: across the baseline of the row's label.
    const double labelMiddle = read["labels"][given.row]["nameY"].get<double>() - 4;
    EXPECT_LE(mark["y"].get<double>(), labelMiddle) << i;
    EXPECT_GE(mark["y"].get<double>() + mark["height"].get<double>(), labelMiddle) << i;
    first = std::min(first, given.onset);
    last = std::max(last, given.onset + given.duration);
  }
  // The axis runs from the first onset (or zero) to the last end, with a
  // margin of a few percent, right of every label.
  for (const char* axis : {"top", "bottom"}) {
    const double left = read["axes"][axis][0];
    const double right = read["axes"][axis][1];
    const double span = last - first;
    EXPECT_LE(left, xOf(first)) << axis;
    EXPECT_GE(left, xOf(first - 0.05 * span)) << axis;
    EXPECT_GE(right, xOf(last)) << axis;
    EXPECT_LE(right, xOf(last + 0.05 * span)) << axis;
    EXPECT_LE(right, kCanvasWidth);
    for (const Json& label : read["labels"]) EXPECT_LT(label["nameX"].get<double>(), left);
  }
}

TEST(TimelineSvg, AxisTicksAreRoundFewAndPlainNumbers) {
  struct Range {
    std::int64_t first, last;  // tenths of a millisecond
  };
  for (const Range range :
       {Range{0, 4000}, Range{0, 30000}, Range{-120000, 70000}, Range{0, 590000}, Range{-60000, 4800000},
        Range{0, 36010000}, Range{-50000000, 200000000}, Range{-7000, -2000}, Range{0, 3}}) {
    Timeline timeline;
    timeline.rows = {{"a", 2}};
    timeline.events = {event(0, range.first, 0), event(0, range.last, 0)};
    const Json read = readBack(timelineSvg(timeline));
    const Json& ticks = read["ticks"];
    const std::string where = decimal(range.first) + " to " + decimal(range.last);
    ASSERT_GE(ticks.size(), 3u) << where;
    EXPECT_LE(ticks.size(), 11u) << where;
    std::vector<double> values;
    for (const Json& tick : ticks) {
      const std::string value = tick["value"];
      EXPECT_EQ(tick["labels"], Json::array({value, value})) << where;
      EXPECT_EQ(value.find_first_not_of("-0123456789."), std::string::npos) << value;
      EXPECT_NE(value, "-0");
      values.push_back(std::stod(value));
    }
    const double step = values[1] - values[0];
    const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double factor = step / power;
    EXPECT_TRUE(std::fabs(factor - 1) < 1e-6 || std::fabs(factor - 2) < 1e-6 || std::fabs(factor - 5) < 1e-6)
        << where << ": step " << step;
    for (std::size_t i = 1; i < values.size(); ++i) EXPECT_NEAR(values[i] - values[i - 1], step, step * 1e-6) << where;
    // Ticks cover the range: no more than one step is left unticked at either end.
    const double low = std::min(0.0, static_cast<double>(range.first) / 10000);
    const double high = std::max(0.0, static_cast<double>(range.last) / 10000);
    EXPECT_LE(values.front(), low + step) << where;
    EXPECT_GE(values.back(), high - step) << where;
    EXPECT_TRUE(std::find(values.begin(), values.end(), 0.0) != values.end()) << where << ": zero gets a tick";
  }
}

TEST(TimelineSvg, NamesAndTextsWithMarkupOrControlCharactersComeBackIntact) {
  const std::string replacement = "\xEF\xBF\xBD";
  struct Case {
    std::string given, expected;
  };
  const std::vector<Case> cases = {
      {"a<b>c", "a<b>c"},
      {"R&D &amp;", "R&D &amp;"},
      {"say \"hi\"", "say \"hi\""},
      {"it's", "it's"},
      {"tab\there", "tab\there"},
      {"two\nlines\r", "two\nlines\r"},
      {"bell\x07"
       "end",
       "bell" + replacement + "end"},
      {std::string("nul\0byte", 8), "nul" + replacement + "byte"},
      {"\x1B[31mred", replacement + "[31mred"},
      {"bad \xFF\xFE utf-8", "bad " + replacement + replacement + " utf-8"},
      {"cut \xE2\x80", "cut " + replacement},  // a sequence cut short is one replacement
      {"overlong \xC0\xAF", "overlong " + replacement + replacement},
      {"surrogate \xED\xA0\x80", "surrogate " + replacement + replacement + replacement},
      {"\xEF\xBF\xBE not a character", replacement + " not a character"},
      {"\xC3\x9C"
       "ber \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x99\x82",
       "\xC3\x9C"
       "ber \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x99\x82"},
      {"]]> <!-- --> <![CDATA[", "]]> <!-- --> <![CDATA["},
  };
  Timeline timeline;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    timeline.rows.push_back({cases[i].given, 1});
    timeline.events.push_back(event(i, static_cast<std::int64_t>(i) * 10000, 5000));
  }
  timeline.fileName = "run <1> & \"2\".log";
  timeline.pulseFigures = "1 pulse \x01";
  timeline.note = "zero is 'the log's own' <zero> & more";
  const Json read = readBack(timelineSvg(timeline));
  ASSERT_EQ(read["labels"].size(), cases.size());
  ASSERT_EQ(read["events"].size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(read["labels"][i]["name"], cases[i].expected) << i;
    EXPECT_EQ(read["labels"][i]["title"], cases[i].expected + " (1 event)") << i;
    EXPECT_EQ(read["events"][i]["condition"], cases[i].expected) << i;
    EXPECT_EQ(read["events"][i]["title"],
              cases[i].expected + ": onset " + decimal(static_cast<std::int64_t>(i) * 10000) + " s, duration 0.5 s")
        << i;
  }
  EXPECT_EQ(read["parts"]["title"], Json::array({"run <1> & \"2\".log"}));
  EXPECT_EQ(read["parts"]["summary"], Json::array({"16 events, 16 conditions \xC2\xB7 1 pulse " + replacement}));
  EXPECT_EQ(read["parts"]["note"], Json::array({timeline.note}));
}

TEST(TimelineSvg, LongNamesAreShortenedWithTheFullNameInTheTitle) {
  const std::vector<std::string> names = {
      "fixation",
      std::string(120, 'W'),
      "a rather long condition name that goes on and on past any label column",
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E" + std::string(40, '!') +
          "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97"
          "\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5",
  };
  Timeline timeline;
  for (const std::string& name : names) timeline.rows.push_back({name, 0});
  const Json read = readBack(timelineSvg(timeline));
  ASSERT_EQ(read["labels"].size(), names.size());
  EXPECT_EQ(read["labels"][0]["name"], "fixation");
  for (std::size_t i = 1; i < names.size(); ++i) {
    const std::string shown = read["labels"][i]["name"];
    EXPECT_TRUE(endsWith(shown, ellipsis)) << shown;
    const std::string kept = shown.substr(0, shown.size() - ellipsis.size());
    EXPECT_FALSE(kept.empty()) << i;
    EXPECT_EQ(names[i].rfind(kept, 0), 0u) << "a shortened name is the name's beginning: " << shown;
    EXPECT_LT(kept.size(), names[i].size()) << shown;
    EXPECT_EQ(read["labels"][i]["title"], names[i] + " (0 events)");
  }
}

TEST(TimelineSvg, TwoHundredRowsAndFiveThousandEventsStayReadable) {
  const Json small = readBack(timelineSvg(manyRows(2, 10)));
  const Timeline timeline = manyRows(200, 5000);
  const Json read = readBack(timelineSvg(timeline));
  const double smallHeight = std::stod(small["root"]["height"].get<std::string>());
  const double height = std::stod(read["root"]["height"].get<std::string>());
  EXPECT_DOUBLE_EQ(height - smallHeight, 198.0 * kRowHeight) << "rows keep their height; the canvas grows";
  EXPECT_EQ(read["root"]["width"], small["root"]["width"]);
  ASSERT_EQ(read["events"].size(), 5000u);
  ASSERT_EQ(read["labels"].size(), 200u);
  for (std::size_t row = 0; row < 200; ++row) {
    const Json& label = read["labels"][row];
    EXPECT_EQ(label["countY"], label["nameY"]);
    if (row > 0) {
      EXPECT_GE(label["nameY"].get<double>() - read["labels"][row - 1]["nameY"].get<double>(), 12.0)
          << "labels of a 12-pixel font do not overlap: row " << row;
    }
    EXPECT_LT(label["nameY"].get<double>(), height);
    EXPECT_EQ(endsWith(label["name"], ellipsis), row % 7 == 3) << label["name"];
  }
  for (std::size_t i = 0; i < 5000; ++i) {
    EXPECT_EQ(read["events"][i]["onset"], timeline.events[i].onsetText);
    EXPECT_EQ(read["events"][i]["row"], std::to_string(i % 200));
  }
}

TEST(TimelineSvg, AnEmptyTimelineIsAPictureSayingSo) {
  for (const bool withNote : {false, true}) {
    Timeline timeline;
    timeline.fileName = "empty.log";
    if (withNote) timeline.note = "The log holds no events";
    const std::string svg = timelineSvg(timeline);
    const Json read = readBack(svg);
    EXPECT_EQ(read["events"].size(), 0u);
    EXPECT_EQ(read["labels"].size(), 0u);
    EXPECT_EQ(read["pulses"].size(), 0u);
    EXPECT_EQ(read["parts"]["empty"], Json::array({"No conditions and no events in this run"}));
    EXPECT_EQ(read["parts"]["summary"], Json::array({"0 events, 0 conditions \xC2\xB7 no scanner pulses"}));
    EXPECT_EQ(read["parts"].contains("note"), withNote);
    EXPECT_EQ(read["problems"], Json::array());
    EXPECT_GE(read["ticks"].size(), 2u);
  }
}

TEST(TimelineSvg, TheDocumentIsSelfContainedAndTheSameForTheSameTimeline) {
  const Timeline timeline = realisticRun();
  const std::string svg = timelineSvg(timeline);
  Timeline copy = timeline;
  EXPECT_EQ(timelineSvg(copy), svg);
  copy.events[7].onsetText = "x";
  EXPECT_NE(timelineSvg(copy), svg) << "the document depends on what it is given";

  EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0), 0u);
  const Json read = readBack(svg);
  EXPECT_EQ(read["root"]["namespace"], "http://www.w3.org/2000/svg");
  EXPECT_EQ(read["root"]["tag"], "svg");
  EXPECT_EQ(read["root"]["version"], "1.1");
  EXPECT_EQ(read["root"]["width"], std::to_string(kCanvasWidth));
  EXPECT_EQ(read["root"]["viewBox"],
            "0 0 " + read["root"]["width"].get<std::string>() + " " + read["root"]["height"].get<std::string>());
  EXPECT_EQ(read["problems"], Json::array()) << "no scripts, no references outside, plain numbers";
  const Json& background = read["background"];
  ASSERT_TRUE(background.is_object()) << "the first thing drawn is the background";
  EXPECT_EQ(background["fill"], "#ffffff");
  EXPECT_EQ(background["width"], read["root"]["width"]);
  EXPECT_EQ(background["height"], read["root"]["height"]);
  for (const char* outside : {"@import", "https:", "file:", "<script", "<style", "@font-face", "<image"}) {
    EXPECT_EQ(svg.find(outside), std::string::npos) << outside;
  }
  EXPECT_EQ(svg.find("http:"), svg.rfind("http:")) << "no address but the namespace's";
}

TEST(TimelineSvg, NumbersThatAreNoTimesStillGiveAWellFormedPicture) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  Timeline timeline;
  timeline.rows = {{"odd", 6}};
  const std::vector<std::pair<double, double>> times = {
      {nan, 1},       {1, nan},    {-inf, 1}, {1, inf},
      {1e300, 1e300}, {-1e300, 2}, {5, -3},   {std::numeric_limits<double>::denorm_min(), 0}};
  for (const auto& [onset, duration] : times)
    timeline.events.push_back({0, onset, duration, "t", "d", "", "", std::nullopt});
  timeline.events.push_back({3, 1, 1, "no such row", "1", "", "", std::nullopt});
  timeline.pulses = {nan, 0, inf, 2, -1e300};
  timeline.lastVolumeEnd = inf;
  const Json read = readBack(timelineSvg(timeline));
  EXPECT_EQ(read["problems"], Json::array());
  EXPECT_EQ(read["events"].size(), times.size()) << "an event of a row that does not exist is left out";
  EXPECT_EQ(read["eventAttributeHolders"], times.size());
  EXPECT_EQ(read["pulses"].size(), 3u) << "pulses that are no numbers are left out";
  for (const Json& mark : read["events"]) {
    EXPECT_GE(mark["x"].get<double>(), 0);
    EXPECT_LE(mark["x"].get<double>() + mark["width"].get<double>(), kCanvasWidth);
  }
}

// The hue repeats in a second shade after the eight colours, and the
// sixteen-colour cycle then starts again.
TEST(TimelineSvg, ColoursRepeatTheirHueInASecondShade) {
  Timeline timeline;
  for (std::size_t row = 0; row < 17; ++row) {
    timeline.rows.push_back({"c" + std::to_string(row), 1});
    timeline.events.push_back(event(row, static_cast<std::int64_t>(row) * 10000, 5000));
  }
  const Json read = readBack(timelineSvg(timeline));
  ASSERT_EQ(read["events"].size(), 17u);
  const auto rgb = [](const std::string& hex) {
    EXPECT_EQ(hex.size(), 7u) << hex;
    return std::vector<int>{std::stoi(hex.substr(1, 2), nullptr, 16), std::stoi(hex.substr(3, 2), nullptr, 16),
                            std::stoi(hex.substr(5, 2), nullptr, 16)};
  };
  // The hue in degrees; -1 for a grey, which has none.
  const auto hue = [](const std::vector<int>& c) {
    const int high = std::max({c[0], c[1], c[2]});
    const int low = std::min({c[0], c[1], c[2]});
    if (high - low < 8) return -1.0;
    const double range = high - low;
    double h = high == c[0]   ? std::fmod((c[1] - c[2]) / range, 6.0)
               : high == c[1] ? (c[2] - c[0]) / range + 2
                              : (c[0] - c[1]) / range + 4;
    h *= 60;
    return h < 0 ? h + 360 : h;
  };
  std::set<std::string> fills;
  for (const Json& mark : read["events"]) fills.insert(mark["fill"].get<std::string>());
  EXPECT_EQ(fills.size(), 16u);
  for (std::size_t row = 0; row < 8; ++row) {
    const std::string first = read["events"][row]["fill"];
    const std::string second = read["events"][row + 8]["fill"];
    EXPECT_NE(first, second) << row;
    const double a = hue(rgb(first));
    const double b = hue(rgb(second));
    const double apart = std::min(std::fabs(a - b), 360 - std::fabs(a - b));
    EXPECT_LT(apart, 4.0) << first << " and " << second;
  }
  EXPECT_EQ(read["events"][16]["fill"], read["events"][0]["fill"]);
}

// ---- Rendered -------------------------------------------------------------------

// A timeline drawn to PNG and checked: the size of the canvas, not blank, the
// background white, the longest bar in its colour, and nothing dark in the gap
// between the labels and the plot.
void checkRendered(const TempDir& dir, const std::string& png, const Json& svg) {
  const double width = std::stod(svg["root"]["width"].get<std::string>());
  const double height = std::stod(svg["root"]["height"].get<std::string>());
  const Json* longest = nullptr;
  for (const Json& mark : svg["events"]) {
    if (mark["tag"] == "rect" && (longest == nullptr || mark["width"] > (*longest)["width"])) longest = &mark;
  }
  ASSERT_NE(longest, nullptr);
  const auto pixel = [](double x, double y) {
    return "px:" + std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y));
  };
  double labelsEnd = 0;
  for (const Json& label : svg["labels"]) labelsEnd = std::max(labelsEnd, label["nameX"].get<double>());
  const double plotLeft = svg["axes"]["top"][0];
  const double rowsTop = svg["labels"][0]["nameY"].get<double>() - 13;
  const double rowsBottom = svg["labels"].back()["nameY"].get<double>() + 5;
  const int gapFrom = static_cast<int>(plotLeft) - 9;
  const std::string band = "band:" + std::to_string(gapFrom) + "," + std::to_string(static_cast<int>(rowsTop)) + "," +
                           std::to_string(static_cast<int>(plotLeft) - 1) + "," +
                           std::to_string(static_cast<int>(rowsBottom));
  const Json read = readWithPython(dir, "png", png,
                                   {pixel(3, 3),
                                    pixel((*longest)["x"].get<double>() + (*longest)["width"].get<double>() / 2,
                                          (*longest)["y"].get<double>() + (*longest)["height"].get<double>() / 2),
                                    band});
  EXPECT_EQ(read["width"].get<double>(), width);
  EXPECT_EQ(read["height"].get<double>(), height);
  EXPECT_GE(read["distinct"], 8u) << "a picture, not a blank page";
  EXPECT_EQ(read["pixels"][0], Json::array({255, 255, 255, 255})) << "the background is opaque white";
  const std::string fill = (*longest)["fill"];
  const Json& inBar = read["pixels"][1];
  for (std::size_t channel = 0; channel < 3; ++channel) {
    EXPECT_NEAR(inBar[channel].get<int>(), std::stoi(fill.substr(1 + 2 * channel, 2), nullptr, 16), 3)
        << "the longest bar is drawn in its colour " << fill;
  }
  EXPECT_GT(plotLeft - 9, labelsEnd);
  EXPECT_EQ(read["bands"][0]["dark"], 0) << "labels reach into the plot";
}

void keepForLooking(const std::string& png, const std::string& name) {
  // STIMLOOM_KEEP_PICTURES=DIR keeps the rendered pictures, for a person to look at.
  if (const char* keep = std::getenv("STIMLOOM_KEEP_PICTURES")) {
    std::filesystem::copy_file(png, std::filesystem::path(keep) / name,
                               std::filesystem::copy_options::overwrite_existing);
  }
}

struct Rendered {
  const char* name;
  Timeline timeline;
};

std::vector<Rendered> timelinesToRender() { return {{"realistic", realisticRun()}, {"rows200", manyRows(200, 5000)}}; }

TEST(TimelineRender, LibrsvgDrawsTheTimeline) {
  ASSERT_EQ(exitStatus("command -v rsvg-convert > /dev/null"), 0)
      << "rsvg-convert is missing: bash cmake/ensure-packages.sh checkers installs it";
  for (const Rendered& rendered : timelinesToRender()) {
    SCOPED_TRACE(rendered.name);
    TempDir dir;
    const std::string svg = dir.write("timeline.svg", timelineSvg(rendered.timeline));
    const std::string png = dir.file("timeline.png");
    ASSERT_EQ(exitStatus("rsvg-convert --format=png --output=" + quoted(png) + " " + quoted(svg) + " 2> " +
                         quoted(dir.file("rsvg.err"))),
              0)
        << readFile(dir.file("rsvg.err"));
    EXPECT_EQ(readFile(dir.file("rsvg.err")), "");
    checkRendered(dir, png, readWithPython(dir, "svg", svg));
    keepForLooking(png, std::string(rendered.name) + "-librsvg.png");
  }
}

TEST(TimelineRender, ChromiumDrawsTheTimeline) {
  if (!std::filesystem::exists(kChromium)) GTEST_SKIP() << kChromium << " is not installed on this machine";
  for (const Rendered& rendered : timelinesToRender()) {
    SCOPED_TRACE(rendered.name);
    TempDir dir;
    const std::string svg = dir.write("timeline.svg", timelineSvg(rendered.timeline));
    const Json read = readWithPython(dir, "svg", svg);
    const std::string png = dir.file("timeline.png");
    std::filesystem::create_directory(dir.file("profile"));
    const std::string command =
        std::string(kChromium) +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking"
        " --disable-component-update --disable-sync --user-data-dir=" +
        quoted(dir.file("profile")) + " --screenshot=" + quoted(png) +
        " --window-size=" + read["root"]["width"].get<std::string>() + "," + read["root"]["height"].get<std::string>() +
        " " + quoted("file://" + svg) + " > " + quoted(dir.file("chromium.out")) + " 2>&1";
    ASSERT_EQ(exitStatus(command), 0) << readFile(dir.file("chromium.out"));
    ASSERT_TRUE(std::filesystem::exists(png)) << readFile(dir.file("chromium.out"));
    checkRendered(dir, png, read);
    keepForLooking(png, std::string(rendered.name) + "-chromium.png");
  }
}

// The picture of a run shows exactly the export's events: a mark for every
// row of the events file, with its condition, onset and duration.
TEST(RunTimeline, TheMarksAreTheExportsRows) {
  CollectLines nowhere;
  const PresentationLog log = readPresentationLogFile(STIMLOOM_EXAMPLE_LOG, {true, {}}, nowhere);
  for (const TimeZero zero : {TimeZero::kFirstPulse, TimeZero::kLog}) {
    RunOptions options;
    options.zero = zero;
    std::string error;
    const auto run = runEventsOfLog(log, options, "flanker_run1.log", error);
    ASSERT_TRUE(run) << error;
    const Json read = readBack(timelineSvg(runTimeline(*run, "flanker_run1.log")));
    const std::string tsv = bidsEventsTsv(*run);
    std::vector<std::string> rows;
    for (const Json& mark : read["events"]) {
      rows.push_back(mark["onset"].get<std::string>() + "\t" + mark["duration"].get<std::string>() + "\t" +
                     mark["condition"].get<std::string>());
    }
    std::vector<std::string> exported;
    for (std::size_t start = tsv.find('\n') + 1; start < tsv.size();) {
      const std::size_t end = tsv.find('\n', start);
      const std::string line = tsv.substr(start, end - start);
      exported.push_back(line.substr(0, line.find('\t', line.find('\t', line.find('\t') + 1) + 1)));
      start = end + 1;
    }
    EXPECT_EQ(rows, exported);
    ASSERT_EQ(read["labels"].size(), run->conditions.size()) << "one row per condition";
    EXPECT_EQ(read["pulses"].size(), run->pulses.size());
  }
}

// Each mark carries its row's outcome and response time as the events file
// writes them, a tick marks the paired response where the Response's own mark
// stands, and a miss is hollow.
TEST(RunTimeline, MarksShowOutcomesAndResponses) {
  CollectLines nowhere;
  const std::string text =
      "Scenario - scored\nLogfile written - 01/02/2026 09:00:00\n\n"
      "Trial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\tUncertainty\tReqTime\tReqDur\tStim Type\tPair "
      "Index\n\n"
      "1\tPulse\t9\t10000\t0\t1\n"
      "1\tPicture\tface\t20000\t0\t1\t5000\t1\t0\t5000\thit\t3\n"
      "1\tResponse\t1\t26000\t0\t1\n"
      "2\tPicture\thouse\t40000\t0\t1\t5000\t1\t0\t5000\tmiss\t0\n"
      "3\tPicture\tface\t60000\t0\t1\t5000\t1\t0\t5000\thit\t0\n";
  LogReadOptions read;
  read.trialFacts = true;
  std::string error;
  const auto run = runEventsOfLog(readPresentationLogText("scored.log", text, read, nowhere), {}, "scored.log", error);
  ASSERT_TRUE(run) << error;
  const Json svg = readBack(timelineSvg(runTimeline(*run, "scored.log")));
  std::vector<std::string> marks;
  for (const Json& mark : svg["events"]) {
    marks.push_back(mark["onset"].get<std::string>() + " " + mark["outcome"].get<std::string>() + " " +
                    mark["responseTime"].get<std::string>() + " " + mark["fill"].get<std::string>());
  }
  ASSERT_EQ(marks.size(), 4u);
  EXPECT_EQ(marks[0].substr(0, 11), "1 hit 0.6 #");
  EXPECT_EQ(marks[1].substr(0, 13), "1.6 n/a n/a #");
  EXPECT_EQ(marks[2], "3 miss n/a none");
  EXPECT_EQ(marks[3].substr(0, 11), "5 hit n/a #");
  ASSERT_EQ(svg["responses"].size(), 1u);
  EXPECT_EQ(svg["responses"][0]["time"], 1.6);
  EXPECT_EQ(svg["responses"][0]["x"], svg["events"][1]["x"]) << "where the Response's own mark is";
  EXPECT_EQ(svg["parts"]["outcomes"], Json::array({"hit 2 \u00b7 miss 1"}));
}

std::uint64_t fnv1a(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return hash;
}

// Pictures without outcomes, byte for byte as they were drawn before outcomes
// and responses were: checksums taken then.
TEST(RunTimeline, PicturesWithoutOutcomesAreAsBefore) {
  const std::string drawn = timelineSvg(realisticRun());
  EXPECT_EQ(drawn.size(), 98224u);
  EXPECT_EQ(fnv1a(drawn), 14801588453826259782ull);
  CollectLines nowhere;
  const std::string text =
      "Scenario - plain\nLogfile written - 01/02/2026 09:00:00\n\n"
      "Subject\tTrial\tEvent Type\tCode\tTime\tTTime\tUncertainty\tDuration\n\n"
      "s\t1\tPulse\t9\t10000\t0\t1\ns\t1\tPicture\tface\t20000\t0\t1\t5000\ns\t1\tResponse\t1\t24000\t0\t1\n"
      "s\t2\tPicture\thouse\t40000\t0\t1\t5000\n";
  LogReadOptions read;
  read.trialFacts = true;
  const PresentationLog log = readPresentationLogText("plain.log", text, read, nowhere);
  std::string error;
  const auto run = runEventsOfLog(log, {}, "plain.log", error);
  ASSERT_TRUE(run) << error;
  const std::string plain = timelineSvg(runTimeline(*run, "plain.log"));
  EXPECT_EQ(plain.size(), 5811u);
  EXPECT_EQ(fnv1a(plain), 7745920383973159651ull);
}

}  // namespace
}  // namespace stimloom::testing
