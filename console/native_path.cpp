#include "console/native_path.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace console {

#if defined(_WIN32)
std::filesystem::path nativePath(const std::string& path) {
  if (path.empty()) return {};
  const int length = static_cast<int>(path.size());
  const int wide = MultiByteToWideChar(CP_ACP, 0, path.data(), length, nullptr, 0);
  if (wide <= 0) return std::filesystem::path(path);
  std::wstring text(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), length, text.data(), wide);
  return std::filesystem::path(text);
}
#else
std::filesystem::path nativePath(const std::string& path) { return std::filesystem::path(path); }
#endif

}  // namespace console
