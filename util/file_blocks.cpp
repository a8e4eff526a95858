#include "util/file_blocks.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace stimloom {
namespace {

struct CloseFile {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

std::string systemReason() {
  const char* reason = std::strerror(errno);
  return reason != nullptr ? reason : "unknown error";
}

}  // namespace

std::optional<std::string> readFileBlocks(const std::string& path, const BlockConsumer& onBlock) {
  if (path.find('\0') != std::string::npos) return "the path holds a NUL character";
  errno = 0;
  const std::unique_ptr<std::FILE, CloseFile> file(std::fopen(path.c_str(), "rb"));
  if (!file) return systemReason();
  std::vector<char> block(kFileBlockBytes);
  for (;;) {
    errno = 0;
    const std::size_t read = std::fread(block.data(), 1, block.size(), file.get());
    if (read > 0 && !onBlock(std::string_view(block.data(), read))) return std::nullopt;
    if (read < block.size()) {
      if (std::ferror(file.get())) return systemReason();
      return std::nullopt;
    }
  }
}

}  // namespace stimloom
