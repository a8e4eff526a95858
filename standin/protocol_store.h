#pragma once
// The stand-in host's protocols: the model it keeps in memory, with the
// intervals where the records' 32-bit pointer fields can reach them, saved
// and loaded in the protocol file format of console/protocol_file.h.

#include <string>
#include <string_view>

#include "console/protocol_file.h"
#include "standin/low_memory.h"

namespace standin {

using StoredCondition = console::BasicStoredCondition<IntervalVector>;
using Protocol = console::BasicProtocol<IntervalVector>;
using console::ParseResult;

std::string formatProtocol(const Protocol& protocol);
ParseResult parseProtocol(std::string_view text, std::string_view displayName, Protocol& protocol);
bool saveProtocolFile(const Protocol& protocol, const std::string& path, std::string& error);
bool loadProtocolFile(const std::string& path, Protocol& protocol, std::string& error);

}  // namespace standin
