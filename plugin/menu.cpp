#include "plugin/menu.h"

#include <array>
#include <cstdint>
#include <exception>
#include <optional>

#include "host/operations.h"
#include "protocol/builder.h"
#include "protocol/protocol.h"
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

// The dialogs each operation asks itself, checked with what the operation
// needs before the first of them.
constexpr std::array kMenuNeeds = {HostFunction::zrGetIntegerInput};
constexpr std::array kCreationDialogs = {HostFunction::zrMessageBox, HostFunction::zrGetCurrentVMR,
                                         HostFunction::zrGetOpenFileName, HostFunction::zrGetIntegerInput};
constexpr std::array kShiftDialogs = {HostFunction::zrMessageBox, HostFunction::zrGetIntegerInput,
                                      HostFunction::zrYesNoMessageBox};
constexpr std::array kReorderDialogs = {HostFunction::zrMessageBox, HostFunction::zrGetProtocol};

// Both lists checked, every missing function named.
template <class Dialogs, class Needs>
bool offersEverything(HostSession& session, const Dialogs& dialogs, const Needs& needs, std::string_view task) {
  const bool dialogsOffered = session.require(dialogs, task);
  const bool needsOffered = session.require(needs, task);
  return dialogsOffered && needsOffered;
}

enum class RunEnd { kFinished, kNoVmr };

RunEnd createFromPresentationLog(HostSession& session) {
  if (!offersEverything(session, kCreationDialogs, kCreationNeeds, kCreationTask)) return RunEnd::kFinished;
  session.messageBox(
      "This function generates a Mirovane ZR stimulation protocol file (*.prt),\nbased on a Presentation Log file "
      "(*.log)");
  if (!session.vmrOpen()) {
    session.messageBox("If no project is opened in Mirovane, the conditions cannot be added to the protocol.");
    session.line("No VMR present, action canceled.");
    return RunEnd::kNoVmr;
  }

  DialogText path{};
  if (!session.openFileName("Please select the Presentation Log file", "", "Presentation log file (*.log)", path)) {
    session.line(kCancelled);
    return RunEnd::kFinished;
  }
  const bool hasSubjectColumn = session.integerInput(kLayoutPrompt, 1, 1, 2) == 2;

  session.line("Read Presentation log file...");
  const PresentationLog log = readPresentationLog(session, readText(path), hasSubjectColumn);
  if (log.readFailed) {
    // The reader has said which file and why; nothing is created from it.
    session.line(kCancelled);
    return RunEnd::kFinished;
  }

  session.line("Converting to Mirovane stimulation protocol...");
  const std::int32_t tr = session.integerInput("What is the TR in milliseconds?", 2000, 1, 100000);
  const std::int32_t rule = session.integerInput(kDurationRulePrompt, 1, 1, 2);
  if (rule != static_cast<std::int32_t>(DurationRule::kUntilNextEvent) &&
      rule != static_cast<std::int32_t>(DurationRule::kOwnDuration)) {
    return RunEnd::kFinished;
  }
  if (createProtocol(session, log, tr, rule)) session.line(kSucceeded);
  return RunEnd::kFinished;
}

const char* shiftPrompt(std::int32_t timeResolution) {
  switch (static_cast<TimeResolution>(timeResolution)) {
    case TimeResolution::kMilliseconds:
      return "Please enter the amount of milliseconds that the intervals should shift";
    case TimeResolution::kVolumes:
      return "Please enter the number of volumes that the intervals should shift";
  }
  return "Please enter the amount, in the protocol's own time unit, that the intervals should shift";
}

void shiftIntervals(HostSession& session) {
  if (!offersEverything(session, kShiftDialogs, kShiftNeeds, kShiftTask)) return;
  ProtocolRecord record;
  session.messageBox("This function changes the offsets from all intervals");
  session.getProtocol(record);
  const std::int32_t amount = session.integerInput(shiftPrompt(record.TimeResolution), 0, 0, 3000000);
  const ShiftDirection direction =
      session.yesNo("Should the offset be subtracted (yes) or added (no) to the current intervals?")
          ? ShiftDirection::kSubtract
          : ShiftDirection::kAdd;
  if (shiftProtocolIntervals(session, record, static_cast<std::int32_t>(direction), amount)) {
    session.line(kSucceeded);
  }
}

void sortConditions(HostSession& session) {
  if (!offersEverything(session, kReorderDialogs, kReorderNeeds, kReorderTask)) return;
  ProtocolRecord record;
  session.messageBox("This function sorts the conditions");
  session.getProtocol(record);
  if (reorderConditions(session, record)) session.line(kSucceeded);
}

RunEnd runSession(HostSession& session) {
  session.showLogTab();
  session.line("\nstimloom> Started...");
  if (session.require(kMenuNeeds, "show the menu")) {
    switch (session.integerInput(kMenuPrompt, 1, 1, 3)) {
      case 1:
        if (createFromPresentationLog(session) == RunEnd::kNoVmr) return RunEnd::kNoVmr;
        break;
      case 2:
        shiftIntervals(session);
        break;
      case 3:
        sortConditions(session);
        break;
      default:
        session.line("No valid option selected.");
        session.line(kCancelled);
        break;
    }
  }
  session.line("Finished.\n");
  return RunEnd::kFinished;
}

// Reports what stopped a run; never throws, even when memory is exhausted.
void reportUnexpected(HostSession& session, const char* what) noexcept {
  try {
    session.line(std::string("stimloom stopped on an unexpected error: ") + what);
  } catch (...) {
    session.line("stimloom stopped on an unexpected error.");
  }
}

// One run in a bound session; what is thrown ends the run with its report.
bool runGuarded(HostSession& session) noexcept {
  const HostSession::Current current(session);
  try {
    return runSession(session) == RunEnd::kFinished;
  } catch (const std::exception& error) {
    reportUnexpected(session, error.what());
  } catch (...) {
    reportUnexpected(session, "unknown");
  }
  session.line("Finished.\n");
  return true;
}

}  // namespace

bool runMenu(const ModuleLookup& lookup, FileAccess& files, RecordStore& records) noexcept {
  try {
    std::optional<HostSession> session = HostSession::bind(lookup, records, files);
    return session && runGuarded(*session);
  } catch (...) {
    return false;  // the host could not be bound: nothing was shown or logged
  }
}

bool runMenu() noexcept {
  try {
    return runMenu(platformModuleLookup(), platformFileAccess(), processRecordStore());
  } catch (...) {
    return false;  // nothing could be reached: nothing was shown or logged
  }
}

}  // namespace stimloom
