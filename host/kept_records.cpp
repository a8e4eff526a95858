#include "host/kept_records.h"

#include <deque>

namespace stimloom {
namespace {

// A deque never moves what it holds, and allocates in blocks.
template <class Record>
std::deque<Record>& kept() {
  static std::deque<Record> records;
  return records;
}

}  // namespace

ProtocolRecord& keepProtocolRecord() { return kept<ProtocolRecord>().emplace_back(); }
ConditionRecord& keepConditionRecord() { return kept<ConditionRecord>().emplace_back(); }

}  // namespace stimloom
