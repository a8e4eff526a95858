#pragma once
// Tests that run plug-in code against the stand-in host, kept in this process:
// a session bound as the real host is (by module and export name), with the
// plug-in's file access, and made the current one.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/session.h"
#include "log/presentation_log.h"
#include "standin/memory_files.h"
#include "standin/standin_host.h"

namespace stimloom::testing {

// The stand-in host seen without some of its exports.
class HostWithout final : public ModuleLookup {
 public:
  explicit HostWithout(std::vector<std::string> hidden = {}) : hidden_(std::move(hidden)) {}
  const void* findModule(const char* fileName) const override;
  HostSymbol findSymbol(const void* module, const char* exportName) const override;

 private:
  std::vector<std::string> hidden_;
};

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  standin::HostState& host() { return standin::host(); }
  standin::ScriptedResponder& script() { return standin::host().script; }
  void answer(std::initializer_list<standin::Answer> answers) {
    script().answers.insert(script().answers.end(), answers.begin(), answers.end());
  }
  void answer(const std::vector<standin::Answer>& answers) {
    script().answers.insert(script().answers.end(), answers.begin(), answers.end());
  }
  const std::vector<std::string>& logPane() { return standin::host().logPane; }
  std::vector<std::string> callNames() { return standin::host().callNames(); }

  // The session of this test, current while it runs.
  HostSession& session() { return *session_; }
  // Binds the session anew, the host seen without these exports.
  void hide(std::vector<std::string> exports);
  // From now on the host keeps its files in memory, and the plug-in reads them there.
  void keepFilesInMemory();
  standin::MemoryFileAccess& memoryFiles() { return memoryFiles_; }
  FileAccess& files();

  // One run of the menu, as Stimloom::execute makes it, against the host as
  // this test sees it.
  bool runMenu();

  RecordStore records;

 private:
  void bind();

  HostWithout lookup_;
  standin::MemoryFileAccess memoryFiles_;
  bool inMemory_ = false;
  std::optional<HostSession> session_;
  std::optional<HostSession::Current> current_;
};

// A folder of its own for each test, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  std::string write(const std::string& name, const std::string& content) const;

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::string& path);

// A protocol file loaded back (the test fails when it does not load).
standin::Protocol loadedProtocol(const std::string& path);

// A condition as the stand-in host stores it.
standin::StoredCondition storedCondition(std::string name, std::int32_t colour,
                                         const std::vector<std::pair<std::int32_t, std::int32_t>>& intervals = {});

// A log given by its events, as the reader would have stored them.
struct EventValue {
  std::string code;
  double time = 0;
  double duration = 0;
  std::int64_t line = 0;
};
PresentationLog logOf(const std::vector<EventValue>& events, const std::string& path = "D:\\study\\run1.log");

}  // namespace stimloom::testing
