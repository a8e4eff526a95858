#include "design/check_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plot/run_timeline.h"
#include "plot/timeline_svg.h"
#include "util/file_names.h"
#include "util/text_encoding.h"

namespace stimloom {
namespace {

constexpr const char* kNoPulseNote =
    "No scanner pulse in this log: times are from the log's own zero, not from the first volume";

constexpr const char* kStyle = R"css(
:root { color-scheme: light; }
body { margin: 0; background: #f3f4f6; color: #1b1f24; font: 15px/1.45 system-ui, sans-serif; }
main { max-width: 1240px; margin: 0 auto; padding: 20px 20px 40px; }
header h1 { font-size: 26px; margin: 0 0 2px; }
header p { margin: 0; color: #4b5563; }
section { background: #fff; border: 1px solid #d7dbe0; border-radius: 6px; padding: 14px 20px 18px; margin: 16px 0; }
h2 { font-size: 19px; margin: 0 0 10px; overflow-wrap: anywhere; }
h3 { font-size: 15px; margin: 18px 0 6px; }
p.about { margin: 0 0 8px; color: #374151; }
ul.findings { list-style: none; margin: 0; padding: 0; font: 13px/1.4 ui-monospace, monospace; }
ul.findings li { margin: 3px 0; padding: 4px 10px; border-left: 5px solid; overflow-wrap: anywhere; }
li[data-severity="error"] { border-color: #b91c1c; background: #fdeaea; }
li[data-severity="warning"] { border-color: #d97706; background: #fff4e0; }
li[data-severity="note"] { border-color: #1d6fb8; background: #eaf2fb; }
.level { font-weight: 700; }
li[data-severity="error"] .level { color: #b91c1c; }
li[data-severity="warning"] .level { color: #a15c00; }
li[data-severity="note"] .level { color: #1d5f9c; }
.wide { overflow-x: auto; }
table { border-collapse: collapse; font-size: 13px; font-variant-numeric: tabular-nums; }
th, td { border: 1px solid #d7dbe0; padding: 3px 9px; text-align: right; }
th { background: #f3f4f6; font-weight: 600; }
th:first-child, td:first-child { text-align: left; }
td.none { color: #b91c1c; font-weight: 700; }
td.flag { text-align: left; color: #b91c1c; }
table.heatmap td { min-width: 52px; text-align: center; }
table.heatmap th { max-width: 180px; overflow-wrap: anywhere; }
table.heatmap th[scope="col"] { text-align: center; }
figure { margin: 6px 0 4px; }
figure svg { display: block; width: 100%; height: auto; }
ul.legend { list-style: none; margin: 4px 0 0; padding: 0; display: flex; flex-wrap: wrap; gap: 4px 18px; font-size: 13px; }
.swatch { display: inline-block; width: 18px; height: 4px; margin: 0 6px 3px 0; vertical-align: middle; }
@page { margin: 14mm; }
@media print {
  body { background: #fff; font-size: 10pt; }
  main { max-width: none; padding: 0; }
  section { border: 0; border-radius: 0; padding: 0; margin: 0 0 14pt; }
  section.run { break-before: page; }
  figure, table, li, h3 { break-inside: avoid; }
  h3 { break-after: avoid; }
  .wide { overflow: visible; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
)css";

// Text as HTML holds it: markup characters escaped, control characters and
// bytes that are not UTF-8 as U+FFFD.
std::string escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char32_t point : decodeUtf8(text)) {
    switch (point) {
      case U'&':
        out += "&amp;";
        break;
      case U'<':
        out += "&lt;";
        break;
      case U'>':
        out += "&gt;";
        break;
      case U'"':
        out += "&quot;";
        break;
      case U'\'':
        out += "&#39;";
        break;
      default:
        appendUtf8(out, (point < 0x20 && point != U'\t' && point != U'\n') || (point >= 0x7f && point < 0xa0)
                            ? char32_t{0xfffd}
                            : point);
    }
  }
  return out;
}

std::string formatted(const char* format, double value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Every digit a double needs, for readers of the page.
std::string fullValue(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  return formatted("%.17g", value);
}

std::string twoDecimals(double value) {
  if (std::isnan(value)) return "n/a";
  std::string text = formatted("%.2f", value);
  return text == "-0.00" ? "0.00" : text;
}

std::string plain(double value) { return formatted("%.10g", value); }

std::string counted(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The timeline as the plot command draws it, made fit to sit inside the page:
// without its XML declaration and namespace, its clip path's name its own.
std::string inlineTimeline(const CheckRun& run, std::size_t index) {
  const std::string fileName = fileNameFromPath(run.source, false, false).value_or(run.source);
  std::string svg = timelineSvg(runTimeline(run.events, fileName, run.timedFromLogZero ? kNoPulseNote : ""));
  const auto replaceAll = [&svg](const std::string& from, const std::string& to) {
    for (std::size_t at = svg.find(from); at != std::string::npos; at = svg.find(from, at + to.size())) {
      svg.replace(at, from.size(), to);
    }
  };
  if (svg.starts_with("<?xml")) svg.erase(0, svg.find('\n') + 1);
  replaceAll(" xmlns=\"http://www.w3.org/2000/svg\"", "");
  const std::string id = "run" + std::to_string(index + 1) + "-label-column";
  replaceAll("id=\"label-column\"", "id=\"" + id + "\"");
  replaceAll("url(#label-column)", "url(#" + id + ")");
  replaceAll("<svg ", "<svg role=\"img\" aria-label=\"The timeline of " + escaped(fileName) + "\" ");
  return svg;
}

// 1, 2 or 5 times a power of ten, so that about `ticks` of them span `range`.
double niceStep(double range, double ticks) {
  const double rough = range / ticks;
  const double power = std::pow(10, std::floor(std::log10(rough)));
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10 * power;
}

// The row of a condition in the run's timeline, for its colour.
std::size_t rowOf(const RunEvents& run, const std::string& name) {
  const auto found = std::find(run.conditions.begin(), run.conditions.end(), name);
  return static_cast<std::size_t>(found - run.conditions.begin());
}

std::string regressorFigure(const CheckRun& run, const RunDesign& design) {
  const DesignMatrix& x = design.matrix;
  constexpr double kWidth = 1200, kLeft = 64, kRight = 1184, kTop = 14, kPlotHeight = 230;
  const double bottom = kTop + kPlotHeight;
  const double height = bottom + 40;
  const std::size_t n = x.rows;
  double low = 0, high = 0;
  for (std::size_t c = 0; c < x.conditions.size(); ++c) {
    for (std::size_t k = 0; k < n; ++k) {
      low = std::min(low, x.at(k, c));
      high = std::max(high, x.at(k, c));
    }
  }
  if (!(high > low)) high = low + 1;
  const auto xOf = [&](double scan) {
    return n < 2 ? (kLeft + kRight) / 2 : kLeft + (kRight - kLeft) * scan / double(n - 1);
  };
  const auto yOf = [&](double value) { return bottom - (value - low) / (high - low) * kPlotHeight; };

  std::string svg = "<svg data-figure=\"regressors\" role=\"img\" aria-label=\"The predicted regressors of " +
                    escaped(run.source) + "\" version=\"1.1\" width=\"1200\" height=\"" + plain(height) +
                    "\" viewBox=\"0 0 1200 " + plain(height) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  svg += "<rect x=\"0\" y=\"0\" width=\"" + plain(kWidth) + "\" height=\"" + plain(height) + "\" fill=\"#ffffff\"/>\n";
  // Scan ticks along the bottom, with the time they start at.
  const double step = n < 2 ? 1 : std::max(1.0, niceStep(double(n - 1), 10));
  for (double scan = 0; scan <= double(n - 1) + 1e-9; scan += step) {
    const std::string at = formatted("%.1f", xOf(scan));
    svg += "<line x1=\"" + at + "\" y1=\"" + plain(kTop) + "\" x2=\"" + at + "\" y2=\"" + plain(bottom + 5) +
           "\" stroke=\"#e5e7eb\"/>";
    svg += "<text x=\"" + at + "\" y=\"" + plain(bottom + 18) + "\" text-anchor=\"middle\" fill=\"#374151\">" +
           plain(scan) + "</text>\n";
  }
  svg += "<text x=\"" + plain((kLeft + kRight) / 2) + "\" y=\"" + plain(bottom + 34) +
         "\" text-anchor=\"middle\" fill=\"#374151\">scan (TR " + plain(*design.tr) + " s)</text>\n";
  for (const double value : {low, 0.0, high}) {
    const std::string at = formatted("%.1f", yOf(value));
    svg += "<line x1=\"" + plain(kLeft - 4) + "\" y1=\"" + at + "\" x2=\"" + plain(kRight) + "\" y2=\"" + at +
           "\" stroke=\"" + (value == 0 ? "#9ca3af" : "#e5e7eb") + "\"/>";
    svg += "<text x=\"" + plain(kLeft - 8) + "\" y=\"" + at + "\" dy=\"4\" text-anchor=\"end\" fill=\"#374151\">" +
           formatted("%.3g", value) + "</text>\n";
  }
  for (std::size_t c = 0; c < x.conditions.size(); ++c) {
    std::string points;
    for (std::size_t k = 0; k < n; ++k) {
      if (!points.empty()) points += ' ';
      points += formatted("%.1f", xOf(double(k))) + "," + formatted("%.1f", yOf(x.at(k, c)));
    }
    svg += "<polyline data-condition=\"" + escaped(x.conditions[c]) + "\" points=\"" + points +
           "\" fill=\"none\" stroke=\"" + rowColours(rowOf(run.events, x.conditions[c])).edge +
           "\" stroke-width=\"1.8\" stroke-linejoin=\"round\"><title>" + escaped(x.conditions[c]) +
           "</title></polyline>\n";
  }
  svg += "</svg>\n";
  std::string legend = "<ul class=\"legend\">";
  for (const std::string& name : x.conditions) {
    legend += "<li><span class=\"swatch\" style=\"background:" + rowColours(rowOf(run.events, name)).edge +
              "\"></span>" + escaped(name) + "</li>";
  }
  return "<figure>" + svg + legend + "</ul></figure>\n";
}

// Blue for negative, red for positive, white at 0.
std::string heatColour(double r) {
  if (std::isnan(r)) return "#eeeeee";
  const double amount = std::min(std::fabs(r), 1.0);
  const int target[3] = {r >= 0 ? 0xb2 : 0x21, r >= 0 ? 0x18 : 0x66, r >= 0 ? 0x2b : 0xac};
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<int>(std::lround(255 + (target[0] - 255) * amount)),
                static_cast<int>(std::lround(255 + (target[1] - 255) * amount)),
                static_cast<int>(std::lround(255 + (target[2] - 255) * amount)));
  return text;
}

std::string heatMap(const RunDesign& design) {
  const DesignMatrix& x = design.matrix;
  std::string html = "<div class=\"wide\"><table class=\"heatmap\" data-table=\"correlation\"><tr><th></th>";
  for (const std::string& name : x.conditions) html += "<th scope=\"col\">" + escaped(name) + "</th>";
  html += "</tr>\n";
  for (std::size_t a = 0; a < x.conditions.size(); ++a) {
    html += "<tr><th scope=\"row\">" + escaped(x.conditions[a]) + "</th>";
    for (std::size_t b = 0; b < x.conditions.size(); ++b) {
      const double r = design.figures.correlation[a][b];
      const bool dark = !std::isnan(r) && std::fabs(r) > 0.6;
      html += "<td data-value=\"" + fullValue(r) + "\" style=\"background:" + heatColour(r) +
              (dark ? ";color:#ffffff" : "") + "\">" + twoDecimals(r) + "</td>";
    }
    html += "</tr>\n";
  }
  return html + "</table></div>\n";
}

std::string figuresTable(const RunDesign& design, const CheckOptions& options) {
  const DesignMatrix& x = design.matrix;
  std::string html =
      "<div class=\"wide\"><table data-table=\"figures\"><tr><th scope=\"col\">Condition</th><th "
      "scope=\"col\">VIF</th><th scope=\"col\">Efficiency</th><th scope=\"col\"></th></tr>\n";
  for (std::size_t c = 0; c < x.conditions.size(); ++c) {
    const double vif = design.figures.vif[c];
    const double efficiency = design.figures.efficiency[c];
    std::string flag;
    if (design.figures.aliased[c]) {
      flag = "aliased: the other columns span it";
    } else if (vif > options.vifLimit) {
      flag = "above the limit of " + plain(options.vifLimit);
    }
    html += "<tr data-condition=\"" + escaped(x.conditions[c]) + "\"><td>" + escaped(x.conditions[c]) +
            "</td><td data-vif=\"" + fullValue(vif) + "\">" + significantText(vif) + "</td><td data-efficiency=\"" +
            fullValue(efficiency) + "\">" + significantText(efficiency) + "</td><td class=\"flag\">" + escaped(flag) +
            "</td></tr>\n";
  }
  return html + "</table></div>\n";
}

std::string findingsSection(const StudyCheck& check) {
  std::size_t counts[3] = {0, 0, 0};
  for (const Finding& finding : check.findings) ++counts[static_cast<int>(finding.severity)];
  std::string html = "<section id=\"findings\"><h2>Findings</h2>\n<p class=\"about\">" +
                     counted(counts[0], "error", "errors") + ", " + counted(counts[1], "warning", "warnings") + ", " +
                     counted(counts[2], "note", "notes") + ".</p>\n";
  if (check.findings.empty()) return html + "</section>\n";
  html += "<ul class=\"findings\">\n";
  for (const Finding& finding : check.findings) {
    const char* level = severityName(finding.severity);
    html += "<li data-severity=\"" + std::string(level) + "\">" + escaped(finding.run) + ": <span class=\"level\">" +
            level + "</span>: " + escaped(finding.text) + "</li>\n";
  }
  return html + "</ul></section>\n";
}

std::string summaryTable(const std::vector<CheckRun>& runs, const StudyCheck& check) {
  std::string html =
      "<div class=\"wide\"><table data-table=\"runs\"><tr><th scope=\"col\">Run</th><th scope=\"col\">Events</th><th "
      "scope=\"col\">Conditions</th><th scope=\"col\">Pulses</th><th scope=\"col\">TR (s)</th><th "
      "scope=\"col\">Scans</th><th scope=\"col\">Columns</th><th scope=\"col\">Rank</th></tr>\n";
  for (std::size_t r = 0; r < runs.size(); ++r) {
    const RunDesign& design = check.designs[r];
    const bool modelled = design.skipped.empty();
    html += "<tr><td>" + escaped(runs[r].source) + "</td><td>" + std::to_string(runs[r].events.events.size()) +
            "</td><td>" + std::to_string(runs[r].events.conditions.size()) + "</td><td>" +
            std::to_string(runs[r].events.pulses.size()) + "</td><td>" +
            (design.tr ? plain(*design.tr) : std::string("–")) + "</td><td>" +
            (design.scans ? std::to_string(*design.scans) : std::string("–")) + "</td><td>" +
            (modelled ? std::to_string(design.matrix.columns()) : std::string("–")) + "</td><td>" +
            (modelled ? std::to_string(design.figures.rank) : std::string("–")) + "</td></tr>\n";
  }
  return html + "</table></div>\n";
}

std::string countsSection(const StudyCheck& check) {
  std::string html =
      "<section id=\"counts\"><h2>Events per condition and run</h2>\n<div class=\"wide\"><table "
      "data-table=\"counts\"><tr><th scope=\"col\">Condition</th>";
  for (const std::string& run : check.runs) html += "<th scope=\"col\">" + escaped(run) + "</th>";
  html += "</tr>\n";
  for (std::size_t c = 0; c < check.counts.conditions.size(); ++c) {
    html += "<tr><td>" + escaped(check.counts.conditions[c]) + "</td>";
    for (const std::size_t count : check.counts.perRun[c]) {
      html += std::string(count == 0 ? "<td class=\"none\">" : "<td>") + std::to_string(count) + "</td>";
    }
    html += "</tr>\n";
  }
  return html + "</table></div></section>\n";
}

std::string seconds(const std::optional<double>& value) { return value ? formatted("%.4f", *value) : "–"; }

std::string responsesSection(const StudyCheck& check) {
  std::string html = "<section id=\"responses\"><h2>Responses</h2>\n";
  if (check.responses.empty()) return html + "<p class=\"about\">The logs give no outcomes.</p></section>\n";
  html +=
      "<p class=\"about\">Over all runs, per condition and outcome. Response times in seconds; quartiles interpolated "
      "linearly between the sorted times, at (N − 1)·q.</p>\n<div class=\"wide\"><table data-table=\"responses\"><tr>"
      "<th scope=\"col\">Condition</th><th scope=\"col\">Outcome</th><th scope=\"col\">Events</th><th "
      "scope=\"col\">Responses</th><th scope=\"col\">Rate</th><th scope=\"col\">Median</th><th "
      "scope=\"col\">Interquartile range</th></tr>\n";
  for (const ResponseRow& row : check.responses) {
    html += "<tr><td>" + escaped(row.condition) + "</td><td>" + escaped(row.outcome) + "</td><td>" +
            std::to_string(row.events) + "</td><td>" + std::to_string(row.responses) + "</td><td>" +
            formatted("%.1f", 100 * row.rate()) + "%</td><td>" + seconds(row.median) + "</td><td>" +
            (row.lowerQuartile ? seconds(row.lowerQuartile) + "–" + seconds(row.upperQuartile) + " (" +
                                     formatted("%.4f", *row.upperQuartile - *row.lowerQuartile) + ")"
                               : std::string("–")) +
            "</td></tr>\n";
  }
  return html + "</table></div></section>\n";
}

std::string runSection(const CheckRun& run, const RunDesign& design, std::size_t index, const CheckOptions& options) {
  std::string html = "<section class=\"run\" data-run=\"" + escaped(run.source) + "\"><h2>" + escaped(run.source) +
                     "</h2>\n<figure>" + inlineTimeline(run, index) + "</figure>\n";
  if (!design.skipped.empty()) {
    return html + "<p class=\"about\">The design is not modelled: " + escaped(design.skipped) + ".</p></section>\n";
  }
  const DesignMatrix& x = design.matrix;
  html += "<h3>The design</h3>\n<p class=\"about\">TR " + plain(*design.tr) + " s (" + escaped(design.trFrom) + "), " +
          std::to_string(*design.scans) + " scans (" + escaped(design.scansFrom) + "); " +
          counted(x.conditions.size(), "condition", "conditions") + ", an intercept and " +
          counted(x.drifts, "cosine drift", "cosine drifts") + " (high-pass " + plain(options.highPass) + " s): rank " +
          std::to_string(design.figures.rank) + " of " + std::to_string(x.columns()) + " columns.</p>\n";
  if (x.conditions.empty()) return html + "</section>\n";
  html += "<h3>Predicted regressors</h3>\n" + regressorFigure(run, design);
  html += "<h3>Correlation once the intercept and drifts are projected out</h3>\n" + heatMap(design);
  html += "<h3>Variance inflation and efficiency</h3>\n" + figuresTable(design, options);
  return html + "</section>\n";
}

}  // namespace

std::string checkReportHtml(const std::vector<CheckRun>& runs, const StudyCheck& check, const CheckOptions& options) {
  std::string names;
  for (const CheckRun& run : runs) names += (names.empty() ? "" : ", ") + run.source;
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Design check: " +
      escaped(names) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<main>\n";
  html += "<header><h1>Design check</h1><p>" + counted(runs.size(), "run", "runs") + " · high-pass " +
          plain(options.highPass) + " s · VIF limit " + plain(options.vifLimit) +
          (options.tr ? " · TR " + plain(*options.tr) + " s (--tr)" : std::string()) + "</p></header>\n";
  html += "<section id=\"summary\"><h2>Runs</h2>\n" + summaryTable(runs, check) + "</section>\n";
  html += findingsSection(check);
  html += countsSection(check);
  html += responsesSection(check);
  for (std::size_t r = 0; r < runs.size(); ++r) html += runSection(runs[r], check.designs[r], r, options);
  return html + "</main>\n</body>\n</html>\n";
}

}  // namespace stimloom
