#include "plugin/menu.h"

#include <exception>

#include "host/host_calls.h"

namespace stimloom {

bool runMenu() noexcept {
  if (!bindHostFunctions()) return false;
  try {
    if (const auto show = hostFunctions().zrShowLogTab) show();
    logLine("\nstimloom> Started...");
    logLine("Finished.\n");
    return true;
  } catch (const std::exception& error) {
    logFormat("stimloom stopped on an unexpected error: %s", error.what());
  } catch (...) {
    logLine("stimloom stopped on an unexpected error.");
  }
  return true;
}

}  // namespace stimloom
