#include "plot/timeline_svg.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <system_error>

#include "util/text_encoding.h"

namespace stimloom {
namespace {

// ---- Layout, in pixels --------------------------------------------------------
constexpr double kWidth = kCanvasWidth;
constexpr double kLeft = 12;
constexpr double kNameX = 28;        // after the colour swatch
constexpr double kCountRight = 300;  // the counts are right-aligned here
constexpr double kLabelRight = 306;  // labels are clipped here, whatever a font makes of them
constexpr double kPlotLeft = 316;
constexpr double kPlotRight = 1176;
constexpr double kRow = kRowHeight;
constexpr double kBarInset = 3;       // a bar leaves this much of its row free above and below
constexpr double kMinBarWidth = 1.5;  // a 1 ms event in an hour-long run still shows
constexpr double kLabelFont = 12;
constexpr double kTitleFont = 17;
constexpr double kSmallFont = 12.5;
constexpr double kNoteLine = 16;
constexpr std::size_t kMaxNoteLines = 4;
constexpr double kPulseRow = 30;

// Times beyond a hundred days are no run: they are pulled in so that the
// scale's arithmetic stays finite and every tick index fits an integer.
constexpr double kTimeLimit = 1e7;

double clampedTime(double seconds) {
  if (std::isnan(seconds)) return 0;
  return std::clamp(seconds, -kTimeLimit, kTimeLimit);
}

// ---- Numbers -----------------------------------------------------------------
// Fixed notation, at most `decimals` of them, trailing zeros dropped, never
// "-0": the same text for the same value on every machine and locale.
void appendNumber(std::string& out, double value, int decimals) {
  if (!std::isfinite(value)) value = 0;
  // Room for the longest: 309 digits, a sign, a point and the decimals.
  char digits[330];
  const auto written =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, std::clamp(decimals, 0, 8));
  if (written.ec != std::errc{}) {
    out += '0';
    return;
  }
  std::string_view text(digits, static_cast<std::size_t>(written.ptr - digits));
  if (text.find('.') != std::string_view::npos) {
    while (text.back() == '0') text.remove_suffix(1);
    if (text.back() == '.') text.remove_suffix(1);
  }
  if (text == "-0") text = "0";
  out.append(text);
}

std::string number(double value, int decimals = 2) {
  std::string text;
  appendNumber(text, value, decimals);
  return text;
}

// ---- Text ---------------------------------------------------------------------
constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kEllipsis = 0x2026;

bool allowedInXml(char32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

// The code points of UTF-8 text, what is not UTF-8 (and each character XML
// cannot hold) becoming U+FFFD, so the document stays well-formed whatever
// the log held.
std::u32string decoded(std::string_view text) {
  std::u32string points = decodeUtf8(text);
  for (char32_t& c : points) {
    if (!allowedInXml(c)) c = kReplacement;
  }
  return points;
}

// Escaped for text and for attribute values alike. Tab, line feed and carriage
// return are written as references: an attribute value would otherwise come
// back with spaces in their place.
void appendEscaped(std::string& out, std::u32string_view text) {
  for (const char32_t c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        appendUtf8(out, c);
    }
  }
}

void appendEscaped(std::string& out, std::string_view text) { appendEscaped(out, decoded(text)); }

// What a generic sans-serif font makes of a character, in ems, erring wide:
// DejaVu Sans, the widest common default, is the yardstick. The label column
// is clipped as well, so a font wider still cuts a name short but never draws
// it over the events.
double emWidth(char32_t c) {
  if (c >= 0x300 && c <= 0x36F) return 0;  // combining marks
  if (c < 0x80) {
    if (c == ' ') return 0.33;
    if (std::u32string_view(U"il.,:;'|!").find(c) != std::u32string_view::npos) return 0.34;
    if (std::u32string_view(U"ftrIj()[]{}\"`").find(c) != std::u32string_view::npos) return 0.45;
    if (std::u32string_view(U"mwMW@%").find(c) != std::u32string_view::npos) return 1.0;
    if (c >= 'A' && c <= 'Z') return 0.8;
    if (c >= 'a' && c <= 'z') return 0.64;
    return 0.7;
  }
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                    (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                    (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F000 && c <= 0x1FAFF) || c >= 0x20000;
  return wide ? 1.05 : 0.8;
}

double textWidth(std::u32string_view text, double fontSize) {
  double ems = 0;
  for (const char32_t c : text) ems += emWidth(c);
  return ems * fontSize;
}

// The text as it fits `width`: whole, or cut and ending in "…".
std::u32string shortened(std::u32string text, double width, double fontSize) {
  if (textWidth(text, fontSize) <= width) return text;
  const double room = width - emWidth(kEllipsis) * fontSize;
  double used = 0;
  std::size_t keep = 0;
  while (keep < text.size() && used + emWidth(text[keep]) * fontSize <= room) used += emWidth(text[keep++]) * fontSize;
  while (keep > 0 && text[keep - 1] == ' ') --keep;  // "long name …" reads as a cut, "long name…" as a word
  text.resize(keep);
  text.push_back(kEllipsis);
  return text;
}

// Greedy lines of at most `width`, cut at spaces; a word wider than a line is
// cut where it must be. The last line allowed ends in "…" when text is left.
std::vector<std::u32string> wrapped(const std::u32string& text, double width, double fontSize, std::size_t maxLines) {
  std::vector<std::u32string> lines;
  std::size_t start = 0;
  while (start < text.size() && lines.size() < maxLines) {
    while (start < text.size() && text[start] == ' ') ++start;
    if (start >= text.size()) break;
    double used = 0;
    std::size_t end = start;
    std::size_t lastSpace = std::u32string::npos;
    while (end < text.size() && text[end] != '\n') {
      const double next = used + emWidth(text[end]) * fontSize;
      if (next > width) break;
      if (text[end] == ' ') lastSpace = end;
      used = next;
      ++end;
    }
    if (end < text.size() && text[end] != '\n' && lastSpace != std::u32string::npos && lastSpace > start) {
      end = lastSpace;
    }
    if (end == start) ++end;  // a single character wider than a line
    lines.push_back(text.substr(start, end - start));
    start = end < text.size() && text[end] == '\n' ? end + 1 : end;
  }
  while (start < text.size() && (text[start] == ' ' || text[start] == '\n')) ++start;
  if (start < text.size() && !lines.empty()) lines.back() = shortened(lines.back() + U" …", width, fontSize);
  return lines;
}

// ---- Colours -------------------------------------------------------------------
struct Rgb {
  int r, g, b;
};

// The Okabe-Ito colours, told apart with every common colour-vision deficiency.
constexpr std::array<Rgb, 8> kPalette = {{{0xE6, 0x9F, 0x00},
                                          {0x56, 0xB4, 0xE9},
                                          {0x00, 0x9E, 0x73},
                                          {0xF0, 0xE4, 0x42},
                                          {0x00, 0x72, 0xB2},
                                          {0xD5, 0x5E, 0x00},
                                          {0xCC, 0x79, 0xA7},
                                          {0x00, 0x00, 0x00}}};
// Which of them are light: their second shade is darker, the others' lighter.
constexpr std::array<bool, 8> kLight = {true, true, false, true, false, false, true, false};

Rgb mixed(Rgb colour, Rgb with, double amount) {
  const auto channel = [amount](int from, int to) {
    return static_cast<int>(std::lround(from + (to - from) * amount));
  };
  return {channel(colour.r, with.r), channel(colour.g, with.g), channel(colour.b, with.b)};
}

Rgb rowColour(std::size_t row) {
  const Rgb base = kPalette[row % kPalette.size()];
  if ((row / kPalette.size()) % 2 == 0) return base;
  return kLight[row % kPalette.size()] ? mixed(base, {0, 0, 0}, 0.4) : mixed(base, {255, 255, 255}, 0.45);
}

// Outlines and stems: dark enough to show on white even for the yellow.
Rgb edgeColour(std::size_t row) { return mixed(rowColour(row), {0, 0, 0}, 0.35); }

std::string hex(Rgb colour) {
  constexpr std::string_view digits = "0123456789abcdef";
  std::string text = "#";
  for (const int channel : {colour.r, colour.g, colour.b}) {
    const auto value = static_cast<std::size_t>(std::clamp(channel, 0, 255));
    text += digits[value / 16];
    text += digits[value % 16];
  }
  return text;
}

// ---- The time axis ---------------------------------------------------------------
struct Scale {
  double first = 0;  // seconds at the plot's left edge
  double last = 1;   // and at its right edge
  double x(double seconds) const {
    const double at = kPlotLeft + (clampedTime(seconds) - first) / (last - first) * (kPlotRight - kPlotLeft);
    return std::clamp(at, kPlotLeft, kPlotRight);
  }
  double width(double seconds) const { return seconds / (last - first) * (kPlotRight - kPlotLeft); }
};

Scale scaleFor(const Timeline& timeline) {
  double low = 0;
  double high = 0;
  for (const TimelineEvent& event : timeline.events) {
    if (event.row >= timeline.rows.size()) continue;
    const double onset = clampedTime(event.onset);
    const double duration = std::max(0.0, clampedTime(event.duration));
    low = std::min(low, onset);
    high = std::max(high, clampedTime(onset + duration));
  }
  for (const double pulse : timeline.pulses) {
    if (!std::isfinite(pulse)) continue;
    low = std::min(low, clampedTime(pulse));
    high = std::max(high, clampedTime(pulse));
  }
  if (timeline.lastVolumeEnd) high = std::max(high, clampedTime(*timeline.lastVolumeEnd));
  if (high - low < 1e-3) high = low + 1;
  const double margin = (high - low) * 0.015;
  return {low - margin, high + margin};
}

struct Ticks {
  double step = 1;
  int decimals = 0;
  std::int64_t first = 0;  // the ticks are at first*step, (first+1)*step, ... last*step
  std::int64_t last = 0;
};

// Round steps, 1, 2 or 5 times a power of ten, at most ten of them over the
// range: a tick every 80 pixels or more, each label a plain number.
Ticks ticksFor(const Scale& scale) {
  const double span = scale.last - scale.first;
  const double rough = span / 10;
  // span lies in [1e-3, 2e7]: the exponent is small and the indices below fit.
  int exponent = static_cast<int>(std::floor(std::log10(rough)));
  Ticks ticks;
  for (;;) {
    const double power = std::pow(10.0, exponent);
    bool found = false;
    for (const double factor : {1.0, 2.0, 5.0}) {
      if (factor * power >= rough * (1 - 1e-9)) {
        ticks.step = factor * power;
        found = true;
        break;
      }
    }
    if (found) break;
    ++exponent;
  }
  ticks.decimals = std::max(0, -exponent);
  ticks.first = static_cast<std::int64_t>(std::ceil(scale.first / ticks.step - 1e-9));
  ticks.last = static_cast<std::int64_t>(std::floor(scale.last / ticks.step + 1e-9));
  return ticks;
}

// ---- The document ------------------------------------------------------------
class Svg {
 public:
  std::string out;

  void text(double x, double y, std::string_view attributes, std::u32string_view content) {
    out += "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" " + std::string(attributes) + ">";
    appendEscaped(out, content);
    out += "</text>\n";
  }
  void line(double x1, double y1, double x2, double y2, std::string_view attributes) {
    out += "<line x1=\"" + number(x1) + "\" y1=\"" + number(y1) + "\" x2=\"" + number(x2) + "\" y2=\"" + number(y2) +
           "\" " + std::string(attributes) + "/>\n";
  }
  void rect(double x, double y, double width, double height, std::string_view attributes) {
    out += "<rect x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"" + number(width) + "\" height=\"" +
           number(height) + "\" " + std::string(attributes) + "/>\n";
  }
  void title(std::u32string_view content) {
    out += "<title>";
    appendEscaped(out, content);
    out += "</title>";
  }
};

std::u32string ascii(std::string_view text) { return {text.begin(), text.end()}; }

std::u32string counted(std::size_t count, std::string_view one, std::string_view many) {
  return ascii(std::to_string(count) + " " + std::string(count == 1 ? one : many));
}

}  // namespace

std::string timelineSvg(const Timeline& timeline) {
  const Scale scale = scaleFor(timeline);
  const Ticks ticks = ticksFor(scale);

  // ---- Vertical layout
  const std::vector<std::u32string> note =
      timeline.note.empty() ? std::vector<std::u32string>{}
                            : wrapped(decoded(timeline.note), kPlotRight - kLeft - 16, kSmallFont, kMaxNoteLines);
  const double countsHeight = timeline.outcomeCounts.empty() ? 0 : 17;
  const double noteTop = 58 + countsHeight;
  const double headerBottom = noteTop + (note.empty() ? 0 : static_cast<double>(note.size()) * kNoteLine + 10);
  const double topAxis = headerBottom + 30;
  const double pulseTop = topAxis + 4;
  const double rowsTop = pulseTop + kPulseRow + 4;
  const double rowCount = static_cast<double>(std::max<std::size_t>(timeline.rows.size(), 1));
  const double rowsBottom = rowsTop + rowCount * kRow;
  const double bottomAxis = rowsBottom + 4;
  const double height = bottomAxis + 48;

  Svg svg;
  svg.out.reserve(4096 + timeline.events.size() * 240 + timeline.pulses.size() * 90 + timeline.rows.size() * 400);
  svg.out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg.out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + number(kWidth) + "\" height=\"" +
             number(height) + "\" viewBox=\"0 0 " + number(kWidth) + " " + number(height) +
             "\" font-family=\"sans-serif\" font-size=\"" + number(kLabelFont) + "\">\n";
  svg.rect(0, 0, kWidth, height, "fill=\"#ffffff\"");
  svg.out += "<defs><clipPath id=\"label-column\">";
  svg.rect(0, 0, kLabelRight, height, "");
  svg.out += "</clipPath></defs>\n";

  // ---- Title, summary, note
  {
    const std::u32string name = decoded(timeline.fileName.empty() ? std::string("(unnamed run)") : timeline.fileName);
    const std::u32string shown = shortened(name, kPlotRight - kLeft, kTitleFont * 1.1);
    svg.out += "<g>";
    if (shown != name) svg.title(name);
    svg.text(kLeft, 30, "data-part=\"title\" font-size=\"17\" font-weight=\"bold\" fill=\"#111111\"", shown);
    svg.out += "</g>\n";
    std::u32string summary = counted(timeline.events.size(), "event", "events") + U", " +
                             counted(timeline.rows.size(), "condition", "conditions");
    summary += U" \u00b7 ";
    summary += timeline.pulseFigures.empty() ? U"no scanner pulses" : decoded(timeline.pulseFigures);
    svg.text(kLeft, 49, "data-part=\"summary\" font-size=\"12.5\" fill=\"#333333\"",
             shortened(summary, kPlotRight - kLeft, kSmallFont));
    if (!timeline.outcomeCounts.empty()) {
      svg.text(kLeft, 49 + countsHeight, "data-part=\"outcomes\" font-size=\"12.5\" fill=\"#333333\"",
               shortened(decoded(timeline.outcomeCounts), kPlotRight - kLeft, kSmallFont));
    }
    if (!note.empty()) {
      svg.rect(kLeft - 4, noteTop, kPlotRight - kLeft + 8, static_cast<double>(note.size()) * kNoteLine + 6,
               "fill=\"#fff3d6\" stroke=\"#d59a00\" stroke-width=\"1\" rx=\"3\"");
      for (std::size_t i = 0; i < note.size(); ++i) {
        svg.text(kLeft + 4, noteTop + 15 + static_cast<double>(i) * kNoteLine,
                 "data-part=\"note\" font-size=\"12.5\" fill=\"#6b3d00\"", note[i]);
      }
    }
  }

  // ---- Row stripes and the grid behind the marks
  for (std::size_t row = 0; row < timeline.rows.size(); ++row) {
    if (row % 2 == 1)
      svg.rect(kLeft - 4, rowsTop + static_cast<double>(row) * kRow, kPlotRight - kLeft + 4, kRow, "fill=\"#f2f2f2\"");
  }
  svg.out += "<g stroke=\"#dddddd\" stroke-width=\"1\">\n";
  for (std::int64_t tick = ticks.first; tick <= ticks.last; ++tick) {
    const double x = scale.x(static_cast<double>(tick) * ticks.step);
    svg.line(x, topAxis, x, bottomAxis, "");
  }
  svg.out += "</g>\n";

  // ---- Scanner pulses, time zero, the end of the last volume
  svg.text(kLeft, pulseTop + 20, "data-part=\"pulse-label\" fill=\"#333333\"", U"Scanner pulses");
  const double zeroX = scale.x(0);
  if (timeline.pulses.empty()) {
    // Right of the zero line, which runs through the pulse row.
    svg.text(std::min(zeroX, kPlotRight - 120) + 6, pulseTop + 22, "fill=\"#777777\" font-style=\"italic\"",
             U"none in this log");
  }
  svg.out += "<g stroke=\"#444444\" stroke-width=\"1\">\n";
  for (const double pulse : timeline.pulses) {
    if (!std::isfinite(pulse)) continue;
    const double x = scale.x(pulse);
    svg.out += "<line data-pulse=\"" + number(clampedTime(pulse), 4) + "\" x1=\"" + number(x) + "\" y1=\"" +
               number(pulseTop + 12) + "\" x2=\"" + number(x) + "\" y2=\"" + number(pulseTop + kPulseRow - 2) +
               "\"/>\n";
  }
  svg.out += "</g>\n";
  svg.line(zeroX, topAxis, zeroX, bottomAxis, "data-mark=\"zero\" stroke=\"#222222\" stroke-width=\"1.5\"");
  const bool zeroAtRight = zeroX > kPlotRight - 60;  // every event before zero
  svg.text(zeroAtRight ? zeroX - 3 : zeroX + 3, pulseTop + 9,
           zeroAtRight ? "font-size=\"10\" fill=\"#222222\" text-anchor=\"end\"" : "font-size=\"10\" fill=\"#222222\"",
           U"time zero");
  if (timeline.lastVolumeEnd && std::isfinite(*timeline.lastVolumeEnd)) {
    const double endX = scale.x(*timeline.lastVolumeEnd);
    svg.line(endX, topAxis, endX, bottomAxis,
             "data-mark=\"last-volume-end\" stroke=\"#222222\" stroke-width=\"1.5\" stroke-dasharray=\"6 3\"");
    const std::u32string label = U"end of last volume";
    // Beside the zero line's label only when the two do not run into each other.
    if (!zeroAtRight && endX - textWidth(label, 10) - 3 > zeroX + textWidth(U"time zero", 10) + 8) {
      svg.text(endX - 3, pulseTop + 9, "font-size=\"10\" fill=\"#222222\" text-anchor=\"end\"", label);
    }
  }

  // ---- The events
  std::vector<std::string> names(timeline.rows.size());
  for (std::size_t row = 0; row < timeline.rows.size(); ++row) appendEscaped(names[row], timeline.rows[row].name);
  for (const TimelineEvent& event : timeline.events) {
    if (event.row >= timeline.rows.size()) continue;
    const double top = rowsTop + static_cast<double>(event.row) * kRow;
    const double x = scale.x(event.onset);
    const double duration = std::isnan(event.duration) ? 0 : std::max(0.0, clampedTime(event.duration));
    std::string attributes = "data-condition=\"" + names[event.row] + "\" ";
    if (timeline.hasOutcomes) {
      attributes += "data-outcome=\"";
      appendEscaped(attributes, event.outcome.empty() ? std::string("n/a") : event.outcome);
      attributes += "\" ";
    }
    if (timeline.hasResponseTimes) {
      attributes += "data-response-time=\"";
      appendEscaped(attributes, event.responseTimeText.empty() ? std::string("n/a") : event.responseTimeText);
      attributes += "\" ";
    }
    attributes += "data-onset=\"";
    const bool hollow = event.outcome == "miss";
    std::string& out = svg.out;
    if (duration > 0) {
      const double width = std::max(kMinBarWidth, std::min(scale.width(duration), kPlotRight - x + kMinBarWidth));
      out += "<rect " + attributes;
      appendEscaped(out, event.onsetText);
      out += "\" data-duration=\"";
      appendEscaped(out, event.durationText);
      out += "\" data-row=\"" + std::to_string(event.row) + "\" x=\"" + number(x) + "\" y=\"" +
             number(top + kBarInset) + "\" width=\"" + number(width) + "\" height=\"" + number(kRow - 2 * kBarInset) +
             "\" fill=\"" + (hollow ? std::string("none") : hex(rowColour(event.row))) + "\" stroke=\"" +
             hex(edgeColour(event.row)) + (hollow ? "\" stroke-width=\"1.2\">" : "\" stroke-width=\"0.6\">");
    } else {
      // A stem through the whole row with a cap on top: it shows through a
      // bar of its own condition, and does not read as a very short bar.
      out += "<path " + attributes;
      appendEscaped(out, event.onsetText);
      out += "\" data-duration=\"";
      appendEscaped(out, event.durationText);
      out += "\" data-row=\"" + std::to_string(event.row) + "\" d=\"M" + number(x) + " " + number(top + 1) + "V" +
             number(top + kRow - 1) + "M" + number(x - 3) + " " + number(top + 1.5) + "H" + number(x + 3) +
             "\" fill=\"none\" stroke=\"" + hex(edgeColour(event.row)) +
             (hollow ? "\" stroke-width=\"2\" stroke-dasharray=\"2 2\">" : "\" stroke-width=\"2\">");
    }
    out += "<title>";
    out += names[event.row];
    out += ": onset ";
    appendEscaped(out, event.onsetText);
    out += " s, duration ";
    appendEscaped(out, event.durationText);
    out += " s";
    if (!event.outcome.empty()) {
      out += ", ";
      appendEscaped(out, event.outcome);
    }
    if (!event.responseTimeText.empty()) {
      out += ", response after ";
      appendEscaped(out, event.responseTimeText);
      out += " s";
    }
    out += "</title></";
    out += duration > 0 ? "rect" : "path";
    out += ">\n";
    if (event.responseTime && std::isfinite(*event.responseTime)) {
      const double at = clampedTime(event.onset + *event.responseTime);
      const double tickX = scale.x(at);
      out += "<line data-response=\"" + number(at, 4) + "\" x1=\"" + number(tickX) + "\" y1=\"" +
             number(top + kRow * 0.2) + "\" x2=\"" + number(tickX) + "\" y2=\"" + number(top + kRow * 0.8) +
             "\" stroke=\"#111111\" stroke-width=\"1.5\"/>\n";
    }
  }

  // ---- Row labels
  if (!timeline.rows.empty()) {
    svg.text(kNameX, topAxis - 8, "data-part=\"column\" font-size=\"10\" fill=\"#666666\"", U"condition");
    svg.text(kCountRight, topAxis - 8, "data-part=\"column\" font-size=\"10\" fill=\"#666666\" text-anchor=\"end\"",
             U"events");
  }
  svg.out += "<g clip-path=\"url(#label-column)\">\n";
  for (std::size_t row = 0; row < timeline.rows.size(); ++row) {
    const TimelineRow& condition = timeline.rows[row];
    const double top = rowsTop + static_cast<double>(row) * kRow;
    const std::u32string name = decoded(condition.name);
    const std::u32string count = ascii(std::to_string(condition.eventCount));
    const double nameRoom = kCountRight - textWidth(count, kLabelFont) - 8 - kNameX;
    svg.out += "<g data-label=\"" + std::to_string(row) + "\">";
    svg.title(name + U" (" + counted(condition.eventCount, "event", "events") + U")");
    svg.rect(kLeft, top + 4, 10, 10, "fill=\"" + hex(rowColour(row)) + "\" stroke=\"" + hex(edgeColour(row)) + "\"");
    svg.text(kNameX, top + 13, "data-part=\"name\" fill=\"#111111\"", shortened(name, nameRoom, kLabelFont));
    svg.text(kCountRight, top + 13, "data-part=\"count\" fill=\"#666666\" text-anchor=\"end\"", count);
    svg.out += "</g>\n";
  }
  svg.out += "</g>\n";
  if (timeline.rows.empty()) {
    svg.text(std::min(zeroX, kPlotRight - 360) + 6, rowsTop + 13,
             "data-part=\"empty\" fill=\"#555555\" font-style=\"italic\"",
             timeline.events.empty() ? U"No conditions and no events in this run"
                                     : U"No conditions: the events have no row to be drawn in");
  }

  // ---- The time axes, above the pulses and below the rows
  svg.out += "<g stroke=\"#333333\" stroke-width=\"1\">\n";
  svg.line(kPlotLeft, topAxis, kPlotRight, topAxis, "data-axis=\"top\"");
  svg.line(kPlotLeft, bottomAxis, kPlotRight, bottomAxis, "data-axis=\"bottom\"");
  svg.out += "</g>\n";
  for (std::int64_t tick = ticks.first; tick <= ticks.last; ++tick) {
    const double seconds = static_cast<double>(tick) * ticks.step;
    const double x = scale.x(seconds);
    const std::string label = number(seconds, ticks.decimals);
    svg.out += "<g data-tick=\"" + label + "\">";
    svg.line(x, topAxis - 5, x, topAxis, "stroke=\"#333333\"");
    svg.line(x, bottomAxis, x, bottomAxis + 5, "stroke=\"#333333\"");
    svg.text(x, topAxis - 8, "text-anchor=\"middle\" fill=\"#333333\"", ascii(label));
    svg.text(x, bottomAxis + 18, "text-anchor=\"middle\" fill=\"#333333\"", ascii(label));
    svg.out += "</g>\n";
  }
  svg.text((kPlotLeft + kPlotRight) / 2, bottomAxis + 36, "text-anchor=\"middle\" fill=\"#333333\"",
           U"seconds from time zero");
  svg.out += "</svg>\n";
  return std::move(svg.out);
}

RowColours rowColours(std::size_t row) { return {hex(rowColour(row)), hex(edgeColour(row))}; }

}  // namespace stimloom
