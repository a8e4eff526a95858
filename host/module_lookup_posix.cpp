// Module lookup on Linux, with the contract of GetModuleHandleA and
// GetProcAddress: a module is found among those already loaded when its file
// name (the last component of its path) equals the name asked for; the main
// program counts under its executable's file name. Exports are looked up in
// that module alone, not in the modules it depends on.
//
// The stand-in host meets the lookup of "MirovaneZR.exe" this way: its host
// functions live in a shared library whose file is named MirovaneZR.exe, which
// stimloom-host and the tests load at start-up.

#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "host/host_functions.h"

namespace stimloom {
namespace {

std::string_view lastComponent(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string executablePath() {
  std::array<char, 4096> buffer{};
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : std::string();
}

struct Search {
  std::string_view wanted;
  std::string mainProgram;
  std::string foundPath;
  bool found = false;
  bool foundMain = false;
};

int visitModule(dl_phdr_info* info, std::size_t, void* data) {
  auto& search = *static_cast<Search*>(data);
  const bool isMain = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
  const std::string_view path = isMain ? std::string_view(search.mainProgram) : std::string_view(info->dlpi_name);
  if (path.empty() || lastComponent(path) != search.wanted) return 0;
  search.found = true;
  search.foundMain = isMain;
  search.foundPath = isMain ? std::string() : std::string(path);
  return 1;
}

class PosixModuleLookup final : public ModuleLookup {
 public:
  const void* findModule(const char* fileName) const override {
    Search search{fileName, executablePath(), {}, false, false};
    dl_iterate_phdr(visitModule, &search);
    if (!search.found) return nullptr;
    // RTLD_NOLOAD only hands out a module that is already there; closing at
    // once gives back the reference, and the handle stays valid while the
    // module stays loaded, as a module handle on Windows does.
    void* handle = dlopen(search.foundMain ? nullptr : search.foundPath.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr && !search.foundMain) dlclose(handle);
    return handle;
  }

  HostSymbol findSymbol(const void* module, const char* exportName) const override {
    void* handle = const_cast<void*>(module);
    void* symbol = dlsym(handle, exportName);
    if (symbol == nullptr) return nullptr;
    link_map* moduleMap = nullptr;
    link_map* symbolMap = nullptr;
    Dl_info info{};
    if (dlinfo(handle, RTLD_DI_LINKMAP, &moduleMap) != 0 ||
        dladdr1(symbol, &info, reinterpret_cast<void**>(&symbolMap), RTLD_DL_LINKMAP) == 0 || symbolMap != moduleMap) {
      return nullptr;
    }
    return reinterpret_cast<HostSymbol>(symbol);
  }
};

}  // namespace

const ModuleLookup& platformModuleLookup() {
  static const PosixModuleLookup lookup;
  return lookup;
}

}  // namespace stimloom
