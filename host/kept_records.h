#pragma once
// Records handed to the host stay alive for the rest of the process: the host
// may keep the pointers it was given (zrAddProtocolCondition, zrSetProtocol).
// Each call gives a fresh, zeroed record that the plug-in never releases.

#include "host/records.h"

namespace stimloom {

ProtocolRecord& keepProtocolRecord();
ConditionRecord& keepConditionRecord();

}  // namespace stimloom
