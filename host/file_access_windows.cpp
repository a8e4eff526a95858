// The file system on Windows, through the ANSI functions: the host's paths are
// in the ANSI code page, and so are these functions' arguments. A folder's
// permissions live in its access control list, which is not read here; the
// read-only attribute of a file is.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "host/file_access.h"

namespace stimloom {
namespace {

constexpr DWORD kMissing = INVALID_FILE_ATTRIBUTES;

class WindowsFileAccess final : public FileAccess {
 public:
  std::optional<std::string> whyNotWritable(const std::string& path) override {
    if (path.empty()) return "it has no file name";
    if (path.find('\0') != std::string::npos) return "the path holds a NUL character";
    const DWORD file = GetFileAttributesA(path.c_str());
    if (file != kMissing) {
      if ((file & FILE_ATTRIBUTE_DIRECTORY) != 0) return "it is a folder";
      if ((file & FILE_ATTRIBUTE_READONLY) != 0) return "the file is read-only";
    }
    const auto separator = path.find_last_of("\\/");
    if (separator == std::string::npos) return std::nullopt;  // the current folder
    // "C:\run1.prt" lies in the drive's root, "C:\".
    const std::string folder = path.substr(0, separator == 2 && path[1] == ':' ? separator + 1 : separator);
    if (folder.empty()) return std::nullopt;  // the current drive's root
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == kMissing) return "the folder " + folder + " does not exist";
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return folder + " is not a folder";
    return std::nullopt;
  }

  bool exists(const std::string& path) override {
    if (path.find('\0') != std::string::npos) return false;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != kMissing && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
};

}  // namespace

FileAccess& platformFileAccess() {
  static WindowsFileAccess files;
  return files;
}

}  // namespace stimloom
