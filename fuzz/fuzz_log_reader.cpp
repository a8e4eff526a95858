// Operation 1 on arbitrary bytes, end to end through the stand-in host: the
// bytes become a log file, and the menu is answered as a user would, so the
// reader, the builder and protocol creation all run on them. The host keeps
// its files in memory: no input touches the disk.
//
// The first byte chooses the answers and the log's name; the file is the
// rest. Bit 0: the Subject column; bit 1: the duration rule; bits 2-3: one of
// the names below; bit 4: an earlier protocol file lies beside the log.
//
// Properties: the run finishes; a saved protocol lies beside the log under
// the log's name with ".prt", loads back as the host holds it, and has no
// interval that ends before it starts, no condition without a name, and no
// more intervals than the file has lines; when nothing was saved, the earlier
// protocol file keeps its bytes. Memory stays flat: the records handed to the
// host are let go after each input, as this host holds none of them.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "plugin/menu.h"
#include "standin/memory_files.h"
#include "standin/protocol_store.h"
#include "standin/scripted_runs.h"
#include "standin/standin_host.h"
#include "util/file_names.h"

namespace {

constexpr std::array<std::string_view, 4> kLogNames = {"/fuzz/run1.log", "/fuzz/run1.final.log", "/fuzz/run1",
                                                       "/fuzz/run1.lg"};

std::size_t intervalCount(const standin::Protocol& protocol) {
  std::size_t count = 0;
  for (const auto& condition : protocol.conditions) count += condition.starts.size();
  return count;
}

bool wellFormed(const standin::Protocol& protocol) {
  for (const auto& condition : protocol.conditions) {
    if (condition.name.empty() || condition.name.size() > 255 || condition.name.find('\0') != std::string::npos ||
        condition.starts.size() != condition.ends.size()) {
      return false;
    }
    for (std::size_t i = 0; i < condition.starts.size(); ++i) {
      if (condition.ends[i] < condition.starts[i]) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t options = data[0];
  const std::string_view content(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string path(kLogNames[(options >> 2) & 3]);
  const std::string protocolPath = stimloom::replaceExtension(path, ".prt");
  constexpr std::string_view kEarlier = "an earlier protocol\n";
  const bool earlier = (options & 16) != 0;

  standin::resetHost();
  standin::HostState& host = standin::host();
  host.recordCalls = false;
  host.keepLogPane = false;
  host.memoryFiles.emplace();
  host.memoryFiles->emplace(path, content);
  if (earlier) host.memoryFiles->emplace(protocolPath, kEarlier);
  standin::scriptAnswers(standin::conversionAnswers(path, (options & 1) != 0, 2000, (options & 2) != 0 ? 2 : 1));

  static standin::MemoryFileAccess files;
  static stimloom::RecordStore records;
  const bool finished = stimloom::runMenu(stimloom::platformModuleLookup(), files, records);
  records.reset();
  if (!finished) __builtin_trap();
  if (!host.hostErrors.empty() || host.savedPaths.size() > 1) __builtin_trap();
  const auto& saved = *host.memoryFiles;
  if (host.savedPaths.empty()) {
    if (earlier && saved.at(protocolPath) != kEarlier) __builtin_trap();
    return 0;
  }

  if (host.savedPaths.front() != protocolPath) __builtin_trap();
  standin::Protocol loaded;
  if (!standin::parseProtocol(saved.at(protocolPath), protocolPath, loaded).ok) __builtin_trap();
  if (!(loaded == host.protocol)) __builtin_trap();
  const auto lineEnds =
      std::count(content.begin(), content.end(), '\n') + std::count(content.begin(), content.end(), '\r');
  const auto lines = static_cast<std::size_t>(lineEnds) + 1;
  if (!wellFormed(loaded) || intervalCount(loaded) > lines) __builtin_trap();
  return 0;
}
