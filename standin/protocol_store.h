#pragma once
// The stand-in host's protocols: the model it keeps in memory and the plain
// text file it saves and loads (the format is described in
// docs/protocol-file-format.md).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "standin/low_memory.h"

namespace standin {

struct StoredCondition {
  std::string name;
  std::int32_t colour = 0;
  IntervalVector starts;
  IntervalVector ends;

  bool operator==(const StoredCondition&) const = default;
};

struct Protocol {
  std::string fileName;
  std::string experimentName;
  std::int32_t timeResolution = 1;
  std::int32_t colour1 = 0;
  std::int32_t colour2 = 0;
  std::int32_t colour3 = 0;
  std::int32_t penThickness1 = 0;
  std::int32_t colour4 = 0;
  std::int32_t penThickness2 = 0;
  std::vector<StoredCondition> conditions;

  bool operator==(const Protocol&) const = default;
};

// The file's text for a protocol.
std::string formatProtocol(const Protocol& protocol);

// Parses a protocol file's text. On failure `error` reads
// "<displayName>:<line>: <what is wrong>" and `protocol` is untouched.
struct ParseResult {
  bool ok = false;
  std::string error;
};
ParseResult parseProtocol(std::string_view text, std::string_view displayName, Protocol& protocol);

// Writes the protocol atomically: a temporary file beside the target, then a
// rename over it, so an interrupted save leaves the previous file whole.
bool saveProtocolFile(const Protocol& protocol, const std::string& path, std::string& error);

// Loads a protocol file; `protocol` changes only on success.
bool loadProtocolFile(const std::string& path, Protocol& protocol, std::string& error);

}  // namespace standin
