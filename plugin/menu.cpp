#include "plugin/menu.h"

#include <array>
#include <cstdint>
#include <exception>

#include "host/host_calls.h"
#include "log/presentation_log.h"
#include "protocol/creation.h"
#include "protocol/reorder.h"
#include "protocol/shift.h"

namespace stimloom {
namespace {

constexpr const char* kMenuPrompt =
    "Please select an option:<P>1 = Create stimulation protocol from Presentation Log file<BR>2 = Change the offset in "
    "an existing stimulation protocol<BR>3 = Sort conditions in an existing stimulation protocol";
constexpr const char* kLayoutPrompt =
    "Which fields are in the log file?<P>1 = Trial, EventType, Code, Time, TTime, Uncertainty, Duration<BR>2 = "
    "Subject, Trial, EventType, Code, Time, TTime, Uncertainty, Duration<BR>";
constexpr const char* kDurationRulePrompt =
    "Please select the computation of event duration:\n\n1 = Based on time until next event (Picture, Sound, Video, "
    "Response)\n2 = Based on Duration parameter in Presentation log file";

constexpr const char* kSucceeded = "Plugin operations finished successfully.";
constexpr const char* kCancelled = "Cancelled further operations.";

enum class RunEnd { kFinished, kNoVmr };

const HostFunctionTable& host() { return hostFunctions(); }

int askInteger(const char* prompt, int defaultValue, int minimum, int maximum) {
  return host().zrGetIntegerInput(prompt, defaultValue, minimum, maximum);
}

RunEnd createFromPresentationLog() {
  if (!requireHostFunctions({HostFunction::zrMessageBox, HostFunction::zrGetCurrentVMR, HostFunction::zrGetOpenFileName,
                             HostFunction::zrGetIntegerInput},
                            "create a protocol")) {
    return RunEnd::kFinished;
  }
  host().zrMessageBox(
      "This function generates a Mirovane ZR stimulation protocol file (*.prt),\nbased on a Presentation Log file "
      "(*.log)");

  std::int32_t dimX = 0, dimY = 0, dimZ = 0;
  if (host().zrGetCurrentVMR(&dimX, &dimY, &dimZ) == 0) {
    host().zrMessageBox("If no project is opened in Mirovane, the conditions cannot be added to the protocol.");
    logLine("No VMR present, action canceled.");
    return RunEnd::kNoVmr;
  }

  std::array<char, 256> path{};
  if (host().zrGetOpenFileName("Please select the Presentation Log file", "", "Presentation log file (*.log)",
                               path.data()) != 1) {
    logLine(kCancelled);
    return RunEnd::kFinished;
  }
  const bool hasSubjectColumn = askInteger(kLayoutPrompt, 1, 1, 2) == 2;

  logLine("Read Presentation log file...");
  const PresentationLog log = readPresentationLog(readText(path), hasSubjectColumn);
  if (log.readFailed) {
    // The reader has said which file and why; nothing is created from it.
    logLine(kCancelled);
    return RunEnd::kFinished;
  }

  logLine("Converting to Mirovane stimulation protocol...");
  const int tr = askInteger("What is the TR in milliseconds?", 2000, 1, 100000);
  const int rule = askInteger(kDurationRulePrompt, 1, 1, 2);
  if (rule != kUntilNextEvent && rule != kOwnDuration) return RunEnd::kFinished;
  if (createProtocol(log, tr, rule)) logLine(kSucceeded);
  return RunEnd::kFinished;
}

const char* shiftPrompt(std::int32_t timeResolution) {
  switch (timeResolution) {
    case kMilliseconds:
      return "Please enter the amount of milliseconds that the intervals should shift";
    case kVolumes:
      return "Please enter the number of volumes that the intervals should shift";
    default:
      return "Please enter the amount, in the protocol's own time unit, that the intervals should shift";
  }
}

void shiftIntervals() {
  if (!requireHostFunctions({HostFunction::zrMessageBox, HostFunction::zrGetProtocol, HostFunction::zrGetIntegerInput,
                             HostFunction::zrYesNoMessageBox},
                            "shift the intervals")) {
    return;
  }
  ProtocolRecord record;
  host().zrMessageBox("This function changes the offsets from all intervals");
  host().zrGetProtocol(&record);
  const int amount = askInteger(shiftPrompt(record.TimeResolution), 0, 0, 3000000);
  const bool subtract =
      host().zrYesNoMessageBox("Should the offset be subtracted (yes) or added (no) to the current intervals?") != 0;
  if (shiftProtocolIntervals(record, subtract ? kSubtract : kAdd, amount)) logLine(kSucceeded);
}

void sortConditions() {
  if (!requireHostFunctions({HostFunction::zrMessageBox, HostFunction::zrGetProtocol}, "sort the conditions")) return;
  ProtocolRecord record;
  host().zrMessageBox("This function sorts the conditions");
  host().zrGetProtocol(&record);
  reorderConditions(record);
  logLine(kSucceeded);
}

RunEnd runBoundMenu() {
  if (const auto showLogTab = host().zrShowLogTab) showLogTab();
  logLine("\nstimloom> Started...");
  if (requireHostFunctions({HostFunction::zrGetIntegerInput}, "show the menu")) {
    switch (askInteger(kMenuPrompt, 1, 1, 3)) {
      case 1:
        if (createFromPresentationLog() == RunEnd::kNoVmr) return RunEnd::kNoVmr;
        break;
      case 2:
        shiftIntervals();
        break;
      case 3:
        sortConditions();
        break;
      default:
        logLine("No valid option selected.");
        logLine(kCancelled);
        break;
    }
  }
  logLine("Finished.\n");
  return RunEnd::kFinished;
}

// Reports what stopped a run; never throws, even when memory is exhausted.
void reportUnexpected(const char* what) noexcept {
  try {
    logLine(formatText("stimloom stopped on an unexpected error: %s", what));
  } catch (...) {
    logLine("stimloom stopped on an unexpected error.");
  }
}

}  // namespace

bool runMenu(const ModuleLookup& lookup) noexcept {
  if (!bindHostFunctions(lookup)) return false;
  try {
    return runBoundMenu() == RunEnd::kFinished;
  } catch (const std::exception& error) {
    reportUnexpected(error.what());
  } catch (...) {
    reportUnexpected("unknown");
  }
  logLine("Finished.\n");
  return true;
}

}  // namespace stimloom
