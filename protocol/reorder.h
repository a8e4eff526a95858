#pragma once

#include "host/records.h"

namespace stimloom {

// Lists the conditions of the host's current protocol, asks for their new
// order and applies it in the host, saving the protocol under its own name.
// True when a new order was applied.
bool reorderConditions(ProtocolRecord& record);

}  // namespace stimloom
