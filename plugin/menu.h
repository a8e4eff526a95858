#pragma once

namespace stimloom {

// The body of Stimloom::execute: one run of the plug-in as the user sees it.
bool runMenu() noexcept;

}  // namespace stimloom
