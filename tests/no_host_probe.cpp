// A process without the host module: the plug-in's execute must return false
// without calling or logging anything. Exits 0 when it does.

#include <cstdio>

#include "plugin/plugin_interface.h"
#include "standin/plugin_library.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  standin::PluginLibrary library(argv[1]);
  if (!library.loaded()) {
    std::fprintf(stderr, "%s\n", library.error().c_str());
    return 2;
  }
  MNZRPluginInterface* plugin = library.entryPoints().createPlugin();
  if (plugin == nullptr) return 2;
  const bool executed = plugin->execute();
  const bool available = plugin->isAvailable();
  standin::destroyPlugin(plugin);
  std::printf("execute %s, isAvailable %s\n", executed ? "true" : "false", available ? "true" : "false");
  return !executed && available ? 0 : 1;
}
