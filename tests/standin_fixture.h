#pragma once
// Tests that run plug-in code against the stand-in host, bound as the real
// host is: by module and export name.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/host_functions.h"
#include "standin/standin_host.h"

namespace stimloom::testing {

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::resetHost();
    ASSERT_TRUE(bindHostFunctions()) << "the stand-in host module MirovaneZR.exe was not found";
  }
  void TearDown() override { EXPECT_EQ(script().unanswered, 0) << "a dialog found no scripted answer"; }

  standin::HostState& host() { return standin::host(); }
  standin::ScriptedResponder& script() { return standin::host().script; }
  void answer(std::initializer_list<standin::Answer> answers) {
    script().answers.insert(script().answers.end(), answers.begin(), answers.end());
  }
  const std::vector<std::string>& logPane() { return standin::host().logPane; }
  std::vector<std::string> callNames() { return standin::host().callNames(); }
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

}  // namespace stimloom::testing
