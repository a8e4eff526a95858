// The file-name and hexadecimal functions on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "util/file_names.h"
#include "util/hex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto name = stimloom::fileNameFromPath(text, size % 2 == 0, size % 3 == 0);
  if (name && name->size() > text.size() + 1) __builtin_trap();
  const std::string stripped = stimloom::stripExtension(text);
  if (!text.empty() && text.substr(0, stripped.size()) != stripped) __builtin_trap();
  // A protocol name stays in the log's folder: it is the stripped path and ".prt".
  const std::string renamed = stimloom::replaceExtension(text, ".prt");
  if (renamed != stripped + ".prt") __builtin_trap();
  const std::string tagged = stimloom::insertBeforeExtension(renamed, "_MSEC");
  if (!text.empty() && tagged != stimloom::stripExtension(renamed) + "_MSEC.prt") __builtin_trap();
  (void)stimloom::extractFileExtension(text);
  (void)stimloom::hexTextToInt(text);
  return 0;
}
