// stimloom-host: loads the stimloom plug-in as the desktop host does and runs it.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/plugin_interface.h"
#include "standin/plugin_library.h"
#include "standin/standin_host.h"

namespace {

constexpr const char* kUsage =
    "usage: stimloom-host [--plugin PATH] [info]\n"
    "\n"
    "Loads the stimloom plug-in and shows what it says about itself.\n"
    "  --plugin PATH  the plug-in library (default: the one built beside this program)\n";

}  // namespace

int main(int argc, char** argv) {
  std::string pluginPath = standin::defaultPluginPath();
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argument == "--plugin" && i + 1 < argc) {
      pluginPath = argv[++i];
    } else if (argument != "info") {
      std::fprintf(stderr, "stimloom-host: unknown argument '%s'\n%s", argument.c_str(), kUsage);
      return 2;
    }
  }
  standin::PluginLibrary plugin(pluginPath);
  if (!plugin.loaded()) {
    std::fprintf(stderr, "stimloom-host: %s\n", plugin.error().c_str());
    return 1;
  }
  const auto& entry = plugin.entryPoints();
  std::printf("%s\n%s\n%s\n", entry.getPluginName(), entry.getPluginDescription(), entry.getAuthor());
  return 0;
}
