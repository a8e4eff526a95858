#pragma once
// What the plug-in asks of the file system: reading a log, and checking a
// protocol's target before and after the host saves it. One small interface,
// so that a host kept in memory (the tests, the fuzzing harnesses) can stand
// in for the disk.

#include <optional>
#include <string>

#include "util/file_blocks.h"

namespace stimloom {

class FileAccess {
 public:
  // Hands the file's bytes to onBlock in order. Nothing when that went well;
  // otherwise why it could not be read, eg: "No such file or directory". The
  // C runtime reads files alike on every platform.
  virtual std::optional<std::string> read(const std::string& path, const BlockConsumer& onBlock) {
    return readFileBlocks(path, onBlock);
  }

  // Why a file could not be written under `path`, as far as the file system
  // can tell without writing, eg: "the folder D:\study does not exist";
  // nothing when it can, or when it cannot tell.
  virtual std::optional<std::string> whyNotWritable(const std::string& path) = 0;

  // True when a file (not a folder) is there.
  virtual bool exists(const std::string& path) = 0;

 protected:
  ~FileAccess() = default;
};

// The platform's file system. Paths are narrow texts in the system's code
// page, as the host gives them.
FileAccess& platformFileAccess();

}  // namespace stimloom
