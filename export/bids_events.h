#pragma once
// A run's events as a BIDS events file and its JSON sidecar. Pure: both are
// returned as text.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "export/run_events.h"

namespace stimloom {

// What the export was made from and with, recorded in the sidecar.
struct ExportSettings {
  std::string source;  // the input's file name, eg: "run1.log"
  bool fromProtocol = false;
  RunOptions options;
  std::optional<std::string> pulseCode;
  std::string conditionsFile;  // empty: each code is its own condition
};

// Tab-separated, a header line, LF line ends, no empty lines, UTF-8; the
// columns onset, duration, trial_type, value, event_type; "n/a" for a
// missing value.
std::string bidsEventsTsv(const RunEvents& run);

// The same text handed on in pieces of about 1 MiB, so that a run of a
// million events is never held as one text.
void writeBidsEventsTsv(const RunEvents& run, const std::function<void(std::string_view piece)>& write);

// Describes every column, the levels of trial_type and event_type, the
// stimulus software, and, under "StimloomExport", the options used and the
// pulse check's figures.
std::string bidsEventsJson(const RunEvents& run, const ExportSettings& settings);

// A TSV field: tabs and line ends would break the table and become spaces,
// an empty text is "n/a".
std::string tsvField(std::string_view text);

}  // namespace stimloom
