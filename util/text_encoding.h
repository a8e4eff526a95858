#pragma once
// Texts from logs as UTF-8. Presentation writes its logs in the system's
// code page on Windows or, in newer versions, in UTF-8; the bytes that are not
// UTF-8 are read as Windows-1252, the code page of most labs' machines.

#include <string>
#include <string_view>

namespace stimloom {

// The text with its valid UTF-8 kept and every other byte read as Windows-1252.
//   "caf\xE9" -> "café"; "café" (UTF-8) -> "café"
std::string utf8FromLogText(std::string_view text);

}  // namespace stimloom
