#include "protocol/creation.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "host/host_calls.h"
#include "host/kept_records.h"
#include "protocol/builder.h"
#include "util/file_names.h"
#include "util/hex.h"
#include "util/text_builder.h"

namespace stimloom {
namespace {

// The mark of a millisecond protocol, in the name line only: the file is
// saved under the log's own name.
constexpr std::string_view kMillisecondTag = "_MSEC";

constexpr std::size_t kFileNameCapacity = sizeof(ProtocolRecord::FileName);

void setProtocolAppearance(ProtocolRecord& record) {
  record.Colour1 = hexTextToInt("000000");
  record.Colour2 = 0x3F000BB8;
  record.Colour3 = 0x3F000FA0;
  record.PenThickness1 = 2;
  record.Colour4 = 0x3F0007D0;
  record.PenThickness2 = 2;
}

// Logs why a name cannot go into the header; false when it can.
bool refuseName(std::string_view what, std::string_view name, std::size_t capacity) {
  const bool tooLong = name.size() >= capacity;
  if (!tooLong && name.find('\0') == std::string_view::npos) return false;
  TextBuilder line;
  line.add("The ").add(what).add(" \"").add(name).add("\" ");
  if (tooLong) {
    line.add("has ").add(name.size()).add(" characters, more than the ").add(capacity - 1).add(" a protocol can hold");
  } else {
    line.add("holds a NUL character");
  }
  logLine(line.add(": nothing was created or saved.").c_str());
  logLine("Creating protocol did not succeed.");
  return true;
}

bool fileExists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

// A log without a single event gives an empty protocol. That must not replace
// a protocol already saved under the same name, which is what happens when the
// same log is converted again with the wrong answer about its Subject column.
bool refuseEmptyOverExisting(const PresentationLog& log, const std::string& savedName) {
  if (log.NrOfEvents > 0 || !fileExists(savedName)) return false;
  logLine("The log holds no events to convert, and " + savedName +
          " already exists: it was left unchanged and nothing was created.");
  logLine("Creating protocol did not succeed.");
  return true;
}

// New conditions are numbered from 0, so they must not land behind those of
// a protocol the host already holds (an earlier conversion, or one the user
// opened).
void startFromEmptyProtocol(const HostFunctionTable& host) {
  ProtocolRecord current{};
  host.zrGetProtocol(&current);
  if (current.NrOfConditions <= 0) return;
  logFormat("The host's current protocol holds %d condition(s): clearing it before the new one is built.",
            current.NrOfConditions);
  host.zrClearProtocol();
}

}  // namespace

bool createProtocol(const PresentationLog& log, [[maybe_unused]] std::int32_t tr, std::int32_t durationRule) {
  // A millisecond protocol takes the TR into no computation.
  if (log.readFailed) {
    logLine("The Presentation log file could not be read: no protocol was created.");
    return false;
  }
  if (!requireHostFunctions(
          {HostFunction::zrGetProtocol, HostFunction::zrClearProtocol, HostFunction::zrAddProtocolCondition,
           HostFunction::zrAddProtocolConditionInterval, HostFunction::zrSetProtocol, HostFunction::zrSaveProtocol},
          "create the protocol")) {
    return false;
  }
  const HostFunctionTable& host = hostFunctions();
  logLine("Creating new protocol...");
  const std::string savedName = replaceExtension(log.LogFilePath, ".prt");
  const std::string taggedName = insertBeforeExtension(savedName, kMillisecondTag, logLine);
  logLine("Creating protocol name:\n\n\t" + taggedName + "\n");
  if (refuseName("protocol file name", savedName, kFileNameCapacity) ||
      refuseName("experiment name", log.ExperimentName, kExperimentNameCapacity) ||
      refuseEmptyOverExisting(log, savedName)) {
    return false;
  }

  startFromEmptyProtocol(host);
  ProtocolRecord& record = keepProtocolRecord();
  record.TimeResolution = kMilliseconds;
  if (!buildConditionsAndIntervals(log, record, durationRule)) {
    logLine("Creating protocol did not succeed.");
    return false;
  }
  logLine("Adding experiment name...");
  writeExperimentName(record, log.ExperimentName);
  logLine("Setting colors and pen thickness...");
  setProtocolAppearance(record);
  writeText(record.FileName, savedName);
  // The host saves the protocol it holds, so it must hold the new header first.
  host.zrSetProtocol(&record);
  host.zrSaveProtocol(record.FileName);
  logLine("Protocol generated from Presentation Log file.");
  return true;
}

}  // namespace stimloom
