#pragma once

#include "host/host_functions.h"

namespace stimloom {

// The body of Stimloom::execute: one run of the plug-in as the user sees it,
// binding the host through `lookup`.
bool runMenu(const ModuleLookup& lookup = platformModuleLookup()) noexcept;

}  // namespace stimloom
