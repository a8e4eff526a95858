// The stand-in host's protocol loader on arbitrary bytes: it accepts or
// refuses, and what it accepts saves back to the same protocol.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "standin/protocol_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  standin::Protocol protocol;
  if (!standin::parseProtocol(text, "fuzz.prt", protocol).ok) return 0;
  standin::Protocol again;
  if (!standin::parseProtocol(standin::formatProtocol(protocol), "again.prt", again).ok || !(again == protocol)) {
    __builtin_trap();
  }
  return 0;
}
