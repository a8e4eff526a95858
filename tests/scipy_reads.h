#pragma once
// A MAT-file read back by scipy, the independent reader (tests/read_mat.py).

#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/standin_fixture.h"

namespace stimloom::testing {

// What tests/read_mat.py says scipy reads from these bytes, written in `dir`.
inline nlohmann::json scipyReads(TempDir& dir, const std::string& bytes) {
  const std::string command =
      std::string(STIMLOOM_CHECKER_PYTHON " " STIMLOOM_READ_MAT_SCRIPT " '") + dir.write("conditions.mat", bytes) + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return ADD_FAILURE() << command, nlohmann::json();
  std::string output;
  for (int ch; (ch = std::fgetc(pipe)) != EOF;) output.push_back(static_cast<char>(ch));
  EXPECT_EQ(pclose(pipe), 0) << command << "\n" << output;
  const auto read = nlohmann::json::parse(output, nullptr, false);
  EXPECT_FALSE(read.is_discarded()) << output;
  return read;
}

}  // namespace stimloom::testing
