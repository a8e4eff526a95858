#pragma once
// Files the console program reads whole and writes whole. Every file is
// written to a temporary beside the target and then renamed over it, so an
// interrupted or failed write leaves the previous file as it was and never a
// half-written one.

#include <optional>
#include <string>
#include <string_view>

namespace standin {

// False, with `error` saying why (eg: "cannot write D:\x\run1.prt.saving"),
// when the file could not be written; the target is then untouched.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// The whole file, or nothing with `error` (eg: "run1.log: cannot be opened").
std::optional<std::string> readWholeFile(const std::string& path, std::string& error);

// At most the first `bytes` of a file; empty when it cannot be read.
std::string readFileStart(const std::string& path, std::size_t bytes);

}  // namespace standin
