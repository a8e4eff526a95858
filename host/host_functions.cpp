#include "host/host_functions.h"

namespace stimloom {

bool offers(const HostFunctionTable& table, HostFunction function) {
  switch (function) {
#define STIMLOOM_HOST_FUNCTION(name, result, parameters) \
  case HostFunction::name:                               \
    return table.name != nullptr;
#include "host/host_functions.def"
  }
  return false;
}

bool bindHostFunctions(const ModuleLookup& lookup, HostFunctionTable& table) {
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

  table = bound;
  return true;
}

}  // namespace stimloom
