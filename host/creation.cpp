// Operation 1's host-facing half: reading the log into the pane, and adding the
// protocol that the pure builder computes to the host.

#include "protocol/creation.h"

#include <string>
#include <vector>

#include "host/operations.h"
#include "log/event_line.h"
#include "protocol/builder.h"
#include "util/text_builder.h"

namespace stimloom {
namespace {

constexpr std::size_t kFileNameCapacity = sizeof(ProtocolRecord::FileName);
constexpr const char* kCreationFailed = "Creating protocol did not succeed.";

static_assert(kMaxCodeLength < sizeof(ConditionRecord::Name), "every code the reader keeps fits a condition's name");

bool refuseName(HostSession& session, std::string_view what, std::string_view name, std::size_t capacity) {
  const auto why = whyNameDoesNotFit(what, name, capacity);
  if (!why) return false;
  session.line(*why + ": nothing was created or saved.");
  session.line(kCreationFailed);
  return true;
}

// A log without a single event gives an empty protocol. That must not replace
// a protocol already saved under the same name, which is what happens when the
// same log is converted again with the wrong answer about its Subject column.
bool refuseEmptyOverExisting(HostSession& session, const PresentationLog& log, const std::string& savedName) {
  if (log.NrOfEvents > 0 || !session.files().exists(savedName)) return false;
  session.line("The log holds no events to convert, and " + savedName +
               " already exists: it was left unchanged and nothing was created.");
  session.line(kCreationFailed);
  return true;
}

// New conditions are numbered from 0, so they must not land behind those of
// a protocol the host already holds (an earlier conversion, or one the user
// opened).
void startFromEmptyProtocol(HostSession& session) {
  ProtocolRecord current{};
  session.getProtocol(current);
  if (current.NrOfConditions <= 0) return;
  TextBuilder line;
  line.add("The host's current protocol holds ").add(current.NrOfConditions);
  session.line(line.add(" condition(s): clearing it before the new one is built.").c_str());
  session.clearProtocol();
}

void addConditions(HostSession& session, const PresentationLog& log, const ConditionIndex& index) {
  for (std::size_t n = 0; n < index.codes.size(); ++n) {
    ConditionRecord& condition = session.keepConditionRecord();
    writeText(condition.Name, log.Codes[static_cast<std::size_t>(index.codes[n])]);
    condition.Colour = conditionColour(n + 1);
    session.addProtocolCondition(condition);
  }
}

void reportEndStopped(HostSession& session, TextBuilder& line, std::size_t index, const LogEvent& event,
                      std::string_view code, const EventInterval& interval) {
  line.clear().add("The interval of event ").add(index + 1).add(" (");
  if (event.Line > 0) line.add("line ").add(event.Line).add(", ");
  line.add("code: ").add(code).add(") would end at ").add(interval.computedEnd);
  session.line(line.add(", before its start: it ends at its start, ").add(interval.interval.start).add(".").c_str());
}

HostSession* inRun() { return HostSession::current(); }

}  // namespace

PresentationLog readPresentationLog(HostSession& session, std::string_view path, bool hasSubjectColumn) {
  const std::string file(path);
  LogReadOptions options;
  options.hasSubjectColumn = hasSubjectColumn;
  return readPresentationLogFrom(path, options, session,
                                 [&](const BlockConsumer& onBlock) { return session.files().read(file, onBlock); });
}

bool buildConditionsAndIntervals(HostSession& session, const PresentationLog& log, ProtocolRecord& record,
                                 std::int32_t durationRule) {
  if (!session.require({HostFunction::zrAddProtocolCondition, HostFunction::zrAddProtocolConditionInterval},
                       "build the protocol's conditions")) {
    return false;
  }
  session.line("Creating and preparing conditions and intervals lists...");
  session.line("Searching condition names...");
  std::string why;
  const auto index = indexConditions(log, &why);
  if (!index) {
    session.line(why);
    return false;
  }
  addConditions(session, log, *index);
  record.NrOfConditions = static_cast<std::int32_t>(index->codes.size());

  // The codes once as plain views: a deque is slower to index than a vector.
  const std::vector<std::string_view> codes(log.Codes.begin(), log.Codes.end());
  TextBuilder line;
  forEachEventInterval(
      log, durationRuleOf(durationRule), [&](const LogEvent& event, std::size_t i, const EventInterval& interval) {
        const std::string_view code = codes[static_cast<std::size_t>(event.Code)];
        if (interval.lastByOwnDuration) session.line("Last interval(s), computation based on Duration in protocol.");
        if (interval.endStopped()) reportEndStopped(session, line, i, event, code, interval);
        session.addProtocolConditionInterval(index->of(event), interval.interval.start, interval.interval.end);
        line.clear().add("Added interval: ").add(interval.interval.start).add(" - ").add(interval.interval.end);
        session.line(line.add(", for condition: ").add(code).c_str());
      });
  return true;
}

bool buildConditionsAndIntervals(const PresentationLog& log, ProtocolRecord& record, std::int32_t durationRule) {
  HostSession* session = inRun();
  return session != nullptr && buildConditionsAndIntervals(*session, log, record, durationRule);
}

void setProtocolAppearance(ProtocolRecord& record) {
  const ProtocolAppearance appearance = createdProtocolAppearance();
  record.Colour1 = appearance.colour1;
  record.Colour2 = appearance.colour2;
  record.Colour3 = appearance.colour3;
  record.PenThickness1 = appearance.penThickness1;
  record.Colour4 = appearance.colour4;
  record.PenThickness2 = appearance.penThickness2;
}

bool createProtocol(HostSession& session, const PresentationLog& log, [[maybe_unused]] std::int32_t tr,
                    std::int32_t durationRule) {
  // A millisecond protocol takes the TR into no computation.
  if (log.readFailed) {
    session.line("The Presentation log file could not be read: no protocol was created.");
    return false;
  }
  if (!session.require(kCreationNeeds, kCreationTask)) return false;
  session.line("Creating new protocol...");
  const ProtocolNames names = protocolNamesFor(log.LogFilePath, &session);
  session.line("Creating protocol name:\n\n\t" + names.tagged + "\n");
  if (refuseName(session, "protocol file name", names.saved, kFileNameCapacity) ||
      refuseName(session, "experiment name", log.ExperimentName, kExperimentNameCapacity) ||
      refuseEmptyOverExisting(session, log, names.saved)) {
    return false;
  }
  if (!session.canSaveAs(names.saved)) {
    session.line(kCreationFailed);
    return false;
  }

  startFromEmptyProtocol(session);
  ProtocolRecord& record = session.keepProtocolRecord();
  record.TimeResolution = static_cast<std::int32_t>(TimeResolution::kMilliseconds);
  if (!buildConditionsAndIntervals(session, log, record, durationRule)) {
    session.line(kCreationFailed);
    return false;
  }
  session.line("Adding experiment name...");
  writeExperimentName(record, log.ExperimentName);
  session.line("Setting colors and pen thickness...");
  setProtocolAppearance(record);
  writeText(record.FileName, names.saved);
  // The host saves the protocol it holds, so it must hold the new header first.
  session.setProtocol(record);
  if (!session.saveProtocolChecked(names.saved)) {
    session.line(kCreationFailed);
    return false;
  }
  session.line("Protocol generated from Presentation Log file.");
  return true;
}

bool createProtocol(const PresentationLog& log, std::int32_t tr, std::int32_t durationRule) {
  HostSession* session = inRun();
  return session != nullptr && createProtocol(*session, log, tr, durationRule);
}

PresentationLog readPresentationLog(std::string_view path, bool hasSubjectColumn) {
  if (HostSession* session = inRun()) return readPresentationLog(*session, path, hasSubjectColumn);
  DiscardLines nowhere;
  return readPresentationLogFile(std::string(path), LogReadOptions{hasSubjectColumn, {}}, nowhere);
}

}  // namespace stimloom
