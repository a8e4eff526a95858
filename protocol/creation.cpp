#include "protocol/creation.h"

#include "util/file_names.h"
#include "util/hex.h"
#include "util/text_builder.h"

namespace stimloom {

ProtocolNames protocolNamesFor(std::string_view logPath, LineSink* report) {
  ProtocolNames names;
  names.saved = replaceExtension(logPath, ".prt");
  names.tagged = insertBeforeExtension(names.saved, kMillisecondTag, report);
  return names;
}

ProtocolAppearance createdProtocolAppearance() {
  ProtocolAppearance appearance;
  appearance.colour1 = hexTextToInt("000000");
  appearance.colour2 = 0x3F000BB8;
  appearance.colour3 = 0x3F000FA0;
  appearance.penThickness1 = 2;
  appearance.colour4 = 0x3F0007D0;
  appearance.penThickness2 = 2;
  return appearance;
}

std::optional<std::string> whyNameDoesNotFit(std::string_view what, std::string_view name, std::size_t capacity) {
  const bool tooLong = name.size() >= capacity;
  if (!tooLong && name.find('\0') == std::string_view::npos) return std::nullopt;
  TextBuilder line;
  line.add("The ").add(what).add(" \"").add(name).add("\" ");
  if (tooLong) {
    line.add("has ").add(name.size()).add(" characters, more than the ").add(capacity - 1).add(" a protocol can hold");
  } else {
    line.add("holds a NUL character");
  }
  return std::string(line.view());
}

}  // namespace stimloom
