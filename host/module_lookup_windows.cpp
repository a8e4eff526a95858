// Module lookup on Windows: the host executable is found among the loaded
// modules by GetModuleHandleA, which never loads one, and each export by
// GetProcAddress, matched exactly.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "host/host_functions.h"

namespace stimloom {
namespace {

class WindowsModuleLookup final : public ModuleLookup {
 public:
  const void* findModule(const char* fileName) const override { return GetModuleHandleA(fileName); }

  HostSymbol findSymbol(const void* module, const char* exportName) const override {
    auto* handle = static_cast<HMODULE>(const_cast<void*>(module));
    return reinterpret_cast<HostSymbol>(GetProcAddress(handle, exportName));
  }
};

}  // namespace

const ModuleLookup& platformModuleLookup() {
  static const WindowsModuleLookup lookup;
  return lookup;
}

}  // namespace stimloom
