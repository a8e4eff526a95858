#pragma once
// The picture of a run: every event of every condition on one time axis, with
// the scanner pulses above them, as an SVG document. The caller has computed
// all times; this only draws them.
//
// What a program reading the document back finds, and where:
//  - The root <svg> has width, height and a viewBox of the same size, in
//    pixels. The canvas is always kCanvasWidth wide; its height grows with the
//    number of rows, kRowHeight pixels each.
//  - Each event is exactly one element carrying data-condition (the row's full
//    name), data-onset and data-duration (the event's onsetText and
//    durationText, unchanged) and data-row (its row, counted from 0), with a
//    child <title> for the tooltip: "name: onset 12.5 s, duration 0.5 s". An
//    event that lasts is a <rect>; a zero-length one is a <path> stem with a
//    cap. No other element carries any of these four attributes. The marks
//    come in the order of Timeline::events; an event whose row is not a row of
//    the timeline is left out.
//  - Each row's label is a <g data-label="ROW">, holding a <title> with the
//    full name and count ("name (12 events)"), a <text data-part="name"> with
//    the name (shortened, ending in "…", when it is too long for the label
//    column) and a <text data-part="count"> with the row's eventCount.
//  - The pulse ticks are <line data-pulse="SECONDS"> elements, one per pulse.
//    Time zero is a <line data-mark="zero">, the end of the last volume a
//    <line data-mark="last-volume-end">. Axis ticks are <g data-tick="VALUE">,
//    VALUE being the tick's label, a plain number of seconds. The axis lines,
//    <line data-axis="top"> and <line data-axis="bottom">, span the plot from
//    its left to its right edge.
//  - When the run has outcomes or response times, every event mark carries
//    data-outcome and data-response-time (the export's texts, "n/a" for none).
//    A miss is drawn hollow: a bar without fill, a stem dashed. A paired
//    response is a short <line data-response="SECONDS"> inside its event's
//    row, SECONDS being the response's time from zero.
//  - The title is <text data-part="title"> (the file name) and
//    <text data-part="summary"> (events, conditions and pulse figures), and,
//    for a run with outcomes, <text data-part="outcomes"> counting them; the
//    note is in <text data-part="note"> elements, one per line. An empty
//    timeline has a <text data-part="empty"> saying so.
// Text is the caller's text with characters XML 1.0 cannot hold (control
// characters other than tab, line feed and carriage return, and bytes that are
// not UTF-8) replaced by U+FFFD.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace stimloom {

// One condition, in order of first appearance.
struct TimelineRow {
  std::string name;  // UTF-8, any characters (may hold <, &, quotes, control characters)
  std::size_t eventCount = 0;
};

struct TimelineEvent {
  std::size_t row = 0;                 // index into Timeline::rows
  double onset = 0;                    // seconds from time zero; may be negative
  double duration = 0;                 // seconds, >= 0; 0 is an impulse
  std::string onsetText;               // the same values as exact decimal texts, eg "12.3456", "-0.5", "0"
  std::string durationText;            // eg "0.5", "0"
  std::string outcome;                 // eg "hit"; empty for none
  std::string responseTimeText;        // seconds from onset to the paired response, eg "0.4521"; empty for none
  std::optional<double> responseTime;  // the same as a number
};

struct Timeline {
  std::string fileName;                 // eg "run1.log"
  std::vector<TimelineRow> rows;        //
  std::vector<TimelineEvent> events;    // sorted by onset
  std::vector<double> pulses;           // scanner pulse times, seconds from zero (may be empty)
  std::optional<double> lastVolumeEnd;  // seconds: end of the last volume, when pulses exist
  std::string pulseFigures;             // eg "240 pulses, interval 2000 ms (1998-2003)"; empty when none
  std::string note;                     // eg "No scanner pulse: times are from the log's own zero"; empty for none
  bool hasOutcomes = false;             // the marks carry data-outcome
  bool hasResponseTimes = false;        // the marks carry data-response-time
  std::string outcomeCounts;            // eg "hit 18 · miss 25"; empty: no line for it
};

// The layout's fixed sizes, in pixels, for readers that measure the picture.
inline constexpr int kCanvasWidth = 1200;
inline constexpr int kRowHeight = 18;

// The colours of a row, eg "#e69f00", for pictures drawn beside the timeline:
// its fill, and the darker edge that its outlines and stems take.
struct RowColours {
  std::string fill;
  std::string edge;
};
RowColours rowColours(std::size_t row);

// A self-contained SVG 1.1 document. The same timeline gives the same bytes.
std::string timelineSvg(const Timeline& timeline);

}  // namespace stimloom
