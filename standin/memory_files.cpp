#include "standin/memory_files.h"

#include "standin/standin_host.h"

namespace standin {
namespace {

const std::string* fileAt(const std::string& path) {
  const auto& files = host().memoryFiles;
  if (!files) return nullptr;
  const auto found = files->find(path);
  return found == files->end() ? nullptr : &found->second;
}

}  // namespace

std::optional<std::string> MemoryFileAccess::read(const std::string& path, const stimloom::BlockConsumer& onBlock) {
  const std::string* file = fileAt(path);
  if (file == nullptr) return "No such file or directory";
  if (!file->empty()) onBlock(*file);
  return std::nullopt;
}

std::optional<std::string> MemoryFileAccess::whyNotWritable(const std::string& path) {
  const auto found = unwritable.find(path);
  if (found == unwritable.end()) return std::nullopt;
  return found->second;
}

bool MemoryFileAccess::exists(const std::string& path) { return fileAt(path) != nullptr; }

}  // namespace standin
