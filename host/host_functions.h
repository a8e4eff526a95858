#pragma once
// The host's services, reached by name in the running host executable.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/records.h"

namespace stimloom {

// The host module the plug-in binds to, and the export whose presence proves it.
inline constexpr const char* kHostModuleName = "MirovaneZR.exe";
inline constexpr const char* kHostVersionFunction = "zrGetVersionOfMirovaneZR";

// One typed entry per host export; an export the host lacks stays null.
struct HostFunctionTable {
#define STIMLOOM_HOST_FUNCTION(name, result, parameters) result(*name) parameters = nullptr;
#include "host/host_functions.def"

  bool operator==(const HostFunctionTable&) const = default;
};

inline constexpr std::size_t kHostFunctionCount = 0
#define STIMLOOM_HOST_FUNCTION(name, result, parameters) +1
#include "host/host_functions.def"
    ;
static_assert(kHostFunctionCount == 21, "a host function was added or removed: update the count");
static_assert(sizeof(HostFunctionTable) == kHostFunctionCount * sizeof(void (*)()));

// Every host export name, in binding order.
inline constexpr std::string_view kHostFunctionNames[] = {
#define STIMLOOM_HOST_FUNCTION(name, result, parameters) #name,
#include "host/host_functions.def"
};

// Names a table entry, for the checks an operation makes before it starts.
enum class HostFunction {
#define STIMLOOM_HOST_FUNCTION(name, result, parameters) name,
#include "host/host_functions.def"
};

inline constexpr std::string_view nameOf(HostFunction function) {
  return kHostFunctionNames[static_cast<std::size_t>(function)];
}

// True when the table holds the entry.
bool offers(const HostFunctionTable& table, HostFunction function);

// The generic shape of an export as a lookup returns it.
using HostSymbol = void (*)();

// Finding the host: an already-loaded module by its file name (never loading
// it), and an export of that module by its exact name. The platform's lookup
// is the default; tests inject their own.
class ModuleLookup {
 public:
  virtual const void* findModule(const char* fileName) const = 0;
  virtual HostSymbol findSymbol(const void* module, const char* exportName) const = 0;

 protected:
  ~ModuleLookup() = default;
};

const ModuleLookup& platformModuleLookup();

// Binds `table` from the host module. False when the module or its version
// function is missing; the table then keeps its previous contents. Any other
// missing export leaves a null entry.
bool bindHostFunctions(const ModuleLookup& lookup, HostFunctionTable& table);

}  // namespace stimloom
