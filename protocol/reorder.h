#pragma once

#include "host/records.h"

namespace stimloom {

// Lists the conditions of the host's current protocol, asks for their new
// order and applies it in the host, saving the protocol under its own name.
// True when a new order was applied.
//
// `record` is the header the caller read with zrGetProtocol; it is handed
// back to the host unchanged after the conditions were added again, so its
// experiment name, colours and thicknesses are taken as the host filled them.
//
// Nothing changes when the answer is refused (what was wrong is logged), when
// it is the current order, when it is empty (a cancelled dialog gives an empty
// answer), or when the protocol has too many conditions for any order to fit
// the dialog's answer (then nothing is asked).
bool reorderConditions(ProtocolRecord& record);

}  // namespace stimloom
