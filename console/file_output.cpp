#include "console/file_output.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "console/native_path.h"

namespace console {

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& error) {
  return writeFileAtomically(
      path, [bytes](BlockWriter& out) { out.append(bytes); }, error);
}

bool writeFileAtomically(const std::string& path, const std::function<void(BlockWriter&)>& write, std::string& error) {
  namespace fs = std::filesystem;
  if (path.empty()) {
    error = "cannot write a file without a name";
    return false;
  }
  const std::string temporaryName = path + ".saving";
  const fs::path target = nativePath(path);
  const fs::path temporary = nativePath(temporaryName);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = "cannot write " + temporaryName;
      return false;
    }
    BlockWriter writer(out);
    write(writer);
    writer.flush();
    out.flush();
    if (!out) {
      out.close();
      std::error_code ignored;
      fs::remove(temporary, ignored);
      error = "cannot write " + temporaryName;
      return false;
    }
  }
  std::error_code renameError;
  fs::rename(temporary, target, renameError);
  if (renameError) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    error = "cannot replace " + path + ": " + renameError.message();
    return false;
  }
  return true;
}

std::optional<std::string> readWholeFile(const std::string& path, std::string& error) {
  std::error_code status;
  const std::filesystem::path file = nativePath(path);
  if (std::filesystem::is_directory(file, status)) {
    error = path + ": is a folder, not a file";
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = path + ": cannot be opened";
    return std::nullopt;
  }
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    error = path + ": cannot be read";
    return std::nullopt;
  }
  return text;
}

std::string readFileStart(const std::string& path, std::size_t bytes) {
  std::ifstream in(nativePath(path), std::ios::binary);
  std::string start(bytes, '\0');
  in.read(start.data(), static_cast<std::streamsize>(bytes));
  start.resize(in ? bytes : static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return start;
}

}  // namespace console
