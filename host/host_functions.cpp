#include "host/host_functions.h"

namespace stimloom {

HostFunctionTable& hostFunctions() {
  static HostFunctionTable table;
  return table;
}

bool bindHostFunctions(const ModuleLookup& lookup) {
  const void* module = lookup.findModule(kHostModuleName);
  if (module == nullptr) return false;
  const HostSymbol version = lookup.findSymbol(module, kHostVersionFunction);
  if (version == nullptr) return false;

  HostFunctionTable bound;
  const auto resolve = [&](const char* name) {
    return std::string_view(name) == kHostVersionFunction ? version : lookup.findSymbol(module, name);
  };
#define STIMLOOM_HOST_FUNCTION(name, result, parameters) \
  bound.name = reinterpret_cast<decltype(bound.name)>(resolve(#name));
#include "host/host_functions.def"

  hostFunctions() = bound;
  return true;
}

bool bindHostFunctions() { return bindHostFunctions(platformModuleLookup()); }

}  // namespace stimloom
