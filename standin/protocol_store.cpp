#include "standin/protocol_store.h"

namespace standin {

std::string formatProtocol(const Protocol& protocol) { return console::formatProtocol(protocol); }

ParseResult parseProtocol(std::string_view text, std::string_view displayName, Protocol& protocol) {
  return console::parseProtocol(text, displayName, protocol);
}

bool saveProtocolFile(const Protocol& protocol, const std::string& path, std::string& error) {
  return console::saveProtocolFile(protocol, path, error);
}

bool loadProtocolFile(const std::string& path, Protocol& protocol, std::string& error) {
  return console::loadProtocolFile(path, protocol, error);
}

}  // namespace standin
