#pragma once
// Records handed to the host stay alive: the host may keep the pointers it was
// given (zrAddProtocolCondition, zrSetProtocol). Each call gives a fresh,
// zeroed record. The plug-in's own store lives as long as the process, as the
// desktop host requires; a program that runs many sessions against a host it
// controls, such as a fuzzing harness, may empty its store between them.

#include <cstddef>
#include <deque>

#include "host/records.h"

namespace stimloom {

class RecordStore {
 public:
  ProtocolRecord& keepProtocolRecord() { return protocols_.emplace_back(); }
  ConditionRecord& keepConditionRecord() { return conditions_.emplace_back(); }

  // Only when the host is known to hold none of the records any more.
  void reset() {
    protocols_ = {};
    conditions_ = {};
  }
  std::size_t size() const { return protocols_.size() + conditions_.size(); }

 private:
  // A deque never moves what it holds, and allocates in blocks.
  std::deque<ProtocolRecord> protocols_;
  std::deque<ConditionRecord> conditions_;
};

// The store of the plug-in's runs.
RecordStore& processRecordStore();

}  // namespace stimloom
