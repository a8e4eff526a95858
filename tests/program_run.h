#pragma once
// Runs stimloom-host (or another program) as a user would, from a shell,
// and keeps what it printed and its exit status.

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/standin_fixture.h"

namespace stimloom::testing {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// A text as one shell word.
inline std::string quoted(const std::string& text) {
  std::string result = "'";
  for (const char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

// `program` with `arguments`, standard input from `typed`, in a shell; its
// output kept in files of `dir`. `prefix` runs it under another command, eg
// as another user.
inline Outcome runProgram(const TempDir& dir, const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& typed = "", const std::string& prefix = "") {
  const std::string in = dir.write("stdin.txt", typed);
  std::string command = prefix + quoted(program);
  for (const auto& argument : arguments) command += " " + quoted(argument);
  command += " < " + quoted(in) + " > " + quoted(dir.file("stdout.txt")) + " 2> " + quoted(dir.file("stderr.txt"));
  const int raw = std::system(command.c_str());
  Outcome outcome;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  outcome.out = readFile(dir.file("stdout.txt"));
  outcome.err = readFile(dir.file("stderr.txt"));
  return outcome;
}

}  // namespace stimloom::testing
