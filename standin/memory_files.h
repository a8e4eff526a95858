#pragma once
// The files of a stand-in host that keeps them in memory
// (HostState::memoryFiles), as the plug-in's file access sees them: the logs
// it reads and the protocols the host saved. A test can also make a path
// unwritable, with the reason the file system would give.

#include <map>
#include <string>

#include "host/file_access.h"

namespace standin {

class MemoryFileAccess final : public stimloom::FileAccess {
 public:
  std::map<std::string, std::string> unwritable;  // path -> why it cannot be written

  std::optional<std::string> read(const std::string& path, const stimloom::BlockConsumer& onBlock) override;
  std::optional<std::string> whyNotWritable(const std::string& path) override;
  bool exists(const std::string& path) override;
};

}  // namespace standin
