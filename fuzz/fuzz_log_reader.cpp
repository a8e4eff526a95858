// Operation 1 on arbitrary bytes, end to end through the stand-in host: the
// bytes become a log file, and the menu is answered as a user would, so the
// reader, the builder and protocol creation all run on them.
//
// The first byte chooses the answers and the log's name; the file is the
// rest. Bit 0: the Subject column; bit 1: the duration rule; bits 2-3: one of
// the names below; bit 4: an earlier protocol file lies beside the log.
//
// Properties: the run finishes; a saved protocol lies beside the log under
// the log's name with ".prt", loads back as the host holds it, and has no
// interval that ends before it starts, no condition without a name, and no
// more intervals than the file has lines; when nothing was saved, the earlier
// protocol file keeps its bytes.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "plugin/menu.h"
#include "standin/protocol_store.h"
#include "standin/standin_host.h"
#include "util/file_names.h"

namespace {

constexpr std::array<std::string_view, 4> kLogNames = {"run1.log", "run1.final.log", "run1", "run1.lg"};

const std::filesystem::path& folder() {
  static const std::filesystem::path path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "stimloom-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] { std::filesystem::remove_all(folder()); });
    return std::filesystem::path(pattern);
  }();
  return path;
}

std::size_t intervalCount(const standin::Protocol& protocol) {
  std::size_t count = 0;
  for (const auto& condition : protocol.conditions) count += condition.starts.size();
  return count;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
  const std::string path = (folder() / kLogNames[(options >> 2) & 3]).string();
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(content.data(), static_cast<std::streamsize>(content.size()));

  constexpr std::string_view kEarlier = "an earlier protocol\n";
  const std::string protocolPath = stimloom::replaceExtension(path, ".prt");
  const bool earlier = (options & 16) != 0;
  if (earlier) std::ofstream(protocolPath, std::ios::binary | std::ios::trunc) << kEarlier;

  standin::resetHost();
  standin::HostState& host = standin::host();
  host.recordCalls = false;
  host.keepLogPane = false;
  host.script.answers = {standin::Answer::of(1), standin::Answer::of(path),
                         standin::Answer::of((options & 1) != 0 ? 2 : 1), standin::Answer::takeDefault(),
                         standin::Answer::of((options & 2) != 0 ? 2 : 1)};
  if (!stimloom::runMenu()) __builtin_trap();
  if (!host.hostErrors.empty() || host.savedPaths.size() > 1) __builtin_trap();
  if (host.savedPaths.empty()) {
    if (earlier && readFile(protocolPath) != kEarlier) __builtin_trap();
    std::filesystem::remove(protocolPath);
    return 0;
  }

  if (host.savedPaths.front() != protocolPath) __builtin_trap();
  standin::Protocol saved;
  std::string error;
  if (!standin::loadProtocolFile(host.savedPaths.front(), saved, error) || !(saved == host.protocol)) __builtin_trap();
  const auto lineEnds =
      std::count(content.begin(), content.end(), '\n') + std::count(content.begin(), content.end(), '\r');
  const auto lines = static_cast<std::size_t>(lineEnds) + 1;
  if (!wellFormed(saved) || intervalCount(saved) > lines) __builtin_trap();
  std::filesystem::remove(host.savedPaths.front());
  return 0;
}
