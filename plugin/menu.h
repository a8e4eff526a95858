#pragma once

#include "host/file_access.h"
#include "host/host_functions.h"
#include "host/record_store.h"

namespace stimloom {

// The body of Stimloom::execute: one run of the plug-in as the user sees it,
// in a session with the host found through `lookup`. Nothing thrown leaves it.
bool runMenu(const ModuleLookup& lookup = platformModuleLookup(), FileAccess& files = platformFileAccess(),
             RecordStore& records = processRecordStore()) noexcept;

}  // namespace stimloom
