#pragma once
// The names and the fixed appearance of a protocol made from a log. Pure.

#include <optional>
#include <string>
#include <string_view>

#include "protocol/protocol.h"
#include "util/line_sink.h"

namespace stimloom {

// The mark of a millisecond protocol, in the name line only: the file is
// saved under the log's own name.
inline constexpr std::string_view kMillisecondTag = "_MSEC";

struct ProtocolNames {
  std::string saved;   // the log's path with ".prt" for its extension, eg: "D:\study\run1.prt"
  std::string tagged;  // the name the log pane shows, eg: "D:\study\run1_MSEC.prt"
};

// `report` receives the line of an empty path's extension problem.
ProtocolNames protocolNamesFor(std::string_view logPath, LineSink* report = nullptr);

// The colours and thicknesses every created protocol carries.
ProtocolAppearance createdProtocolAppearance();

// Why `name` cannot go into a header field of `capacity` bytes (terminator
// included), eg: "The protocol file name "..." has 300 characters, more than the
// 260 a protocol can hold"; nothing when it fits.
std::optional<std::string> whyNameDoesNotFit(std::string_view what, std::string_view name, std::size_t capacity);

}  // namespace stimloom
