#include "tests/standin_fixture.h"

#include <algorithm>
#include <atomic>
#include <random>

#include "plugin/menu.h"
#include "util/file_names.h"

namespace stimloom::testing {

const void* HostWithout::findModule(const char* fileName) const { return platformModuleLookup().findModule(fileName); }

HostSymbol HostWithout::findSymbol(const void* module, const char* exportName) const {
  if (std::find(hidden_.begin(), hidden_.end(), exportName) != hidden_.end()) return nullptr;
  return platformModuleLookup().findSymbol(module, exportName);
}

void StandinTest::SetUp() {
  standin::resetHost();
  bind();
  ASSERT_TRUE(session_) << "the stand-in host module MirovaneZR.exe was not found";
}

void StandinTest::TearDown() {
  current_.reset();
  session_.reset();
  EXPECT_EQ(script().unanswered, 0) << "a dialog found no scripted answer";
}

void StandinTest::bind() {
  current_.reset();
  session_.reset();
  HostFunctionTable table;
  if (!bindHostFunctions(lookup_, table)) return;
  session_.emplace(table, records, files());
  current_.emplace(*session_);
}

void StandinTest::hide(std::vector<std::string> exports) {
  lookup_ = HostWithout(std::move(exports));
  bind();
}

void StandinTest::keepFilesInMemory() {
  host().memoryFiles.emplace();
  inMemory_ = true;
  bind();
}

FileAccess& StandinTest::files() {
  if (inMemory_) return memoryFiles_;
  return platformFileAccess();
}

bool StandinTest::runMenu() { return stimloom::runMenu(lookup_, files(), records); }

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto base = std::filesystem::temp_directory_path();
  std::random_device seed;
  for (;;) {
    path_ = base / ("stimloom-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
  const std::string path = file(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

standin::Protocol loadedProtocol(const std::string& path) {
  standin::Protocol protocol;
  std::string error;
  EXPECT_TRUE(standin::loadProtocolFile(path, protocol, error)) << error;
  return protocol;
}

standin::StoredCondition storedCondition(std::string name, std::int32_t colour,
                                         const std::vector<std::pair<std::int32_t, std::int32_t>>& intervals) {
  standin::StoredCondition stored;
  stored.name = std::move(name);
  stored.colour = colour;
  for (const auto& [start, end] : intervals) {
    stored.starts.push_back(start);
    stored.ends.push_back(end);
  }
  return stored;
}

PresentationLog logOf(const std::vector<EventValue>& events, const std::string& path) {
  PresentationLog log;
  log.LogFilePath = path;
  log.ExperimentName = fileNameFromPath(path, true, false).value_or("");
  log.Types = defaultKeptTypes();
  for (const EventValue& event : events) {
    const auto known = std::find(log.Codes.begin(), log.Codes.end(), event.code);
    const auto code = static_cast<CodeId>(known - log.Codes.begin());
    if (known == log.Codes.end()) log.Codes.push_back(event.code);
    log.Events.push_back({event.time, event.duration, event.line, 0, code, TypeId{}});
  }
  log.NrOfEvents = static_cast<std::int32_t>(events.size());
  log.NrOfEventSlots = log.NrOfEvents;
  return log;
}

}  // namespace stimloom::testing
