#include "util/file_names.h"

namespace stimloom {
namespace {

constexpr std::string_view kExtensionProblem = "Small problem extracting file extension";

// Where the last component of a path starts, taking '/' and '\' alike.
std::size_t lastComponentStart(std::string_view path) {
  const auto separator = path.find_last_of("/\\");
  return separator == std::string_view::npos ? 0 : separator + 1;
}

}  // namespace

std::optional<std::string> fileNameFromPath(std::string_view path, bool withoutExtension, bool appendDash) {
  if (path.empty()) return std::nullopt;
  const char separator = path.find('/') != std::string_view::npos ? '/' : '\\';
  const auto last = path.rfind(separator);
  std::string_view name = last == std::string_view::npos ? path : path.substr(last + 1);
  if (withoutExtension) {
    const auto dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  }
  std::string result(name);
  if (appendDash) result += '-';
  return result;
}

std::string extractFileExtension(std::string_view path, LineSink* report) {
  if (path.empty()) {
    if (report != nullptr) report->line(kExtensionProblem.data());
    return "-1";
  }
  return std::string(path.substr(path.size() < 4 ? 0 : path.size() - 4));
}

std::string stripExtension(std::string_view path) {
  if (path.empty()) return "''";
  const auto dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < lastComponentStart(path)) return std::string(path);
  return std::string(path.substr(0, dot));
}

std::string insertBeforeExtension(std::string_view path, std::string_view suffix, LineSink* report) {
  std::string result = stripExtension(path);
  result += suffix;
  result += extractFileExtension(path, report);
  return result;
}

std::string replaceExtension(std::string_view path, std::string_view extension) {
  std::string result = stripExtension(path);
  result += extension;
  return result;
}

}  // namespace stimloom
