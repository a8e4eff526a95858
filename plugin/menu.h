#pragma once

#include "host/file_access.h"
#include "host/host_functions.h"
#include "host/record_store.h"

namespace stimloom {

// One run of the plug-in as the user sees it, in a session with the host
// found through `lookup`. Nothing thrown leaves it.
bool runMenu(const ModuleLookup& lookup, FileAccess& files, RecordStore& records) noexcept;

// The body of Stimloom::execute: the same with the platform's module lookup
// and files and the process's record store, each reached inside its guard, so
// that nothing thrown on the way to them leaves either.
bool runMenu() noexcept;

}  // namespace stimloom
