// The file system on Linux. Writability is what access(2) says for this
// process: a folder must exist and may be written and searched, an existing
// file may be written. A read-only file system answers no to both.

#include <sys/stat.h>
#include <unistd.h>

#include "host/file_access.h"

namespace stimloom {
namespace {

class PosixFileAccess final : public FileAccess {
 public:
  std::optional<std::string> whyNotWritable(const std::string& path) override {
    if (path.empty()) return "it has no file name";
    if (path.find('\0') != std::string::npos) return "the path holds a NUL character";
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
      if (S_ISDIR(info.st_mode)) return "it is a folder";
      if (access(path.c_str(), W_OK) != 0) return "the file is read-only";
    }
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string named = slash == std::string::npos ? "the current folder" : "the folder " + folder;
    if (stat(folder.c_str(), &info) != 0) return named + " does not exist";
    if (!S_ISDIR(info.st_mode)) return folder + " is not a folder";
    if (access(folder.c_str(), W_OK | X_OK) != 0) return named + " cannot be written";
    return std::nullopt;
  }

  bool exists(const std::string& path) override {
    struct stat info {};
    return path.find('\0') == std::string::npos && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
  }
};

}  // namespace

FileAccess& platformFileAccess() {
  static PosixFileAccess files;
  return files;
}

}  // namespace stimloom
