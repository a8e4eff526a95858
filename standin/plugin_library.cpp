#include "standin/plugin_library.h"

#include <bit>
#include <cstring>
#include <filesystem>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace standin {
namespace {

#if defined(_WIN32)
void* openLibrary(const std::string& path, std::string& error) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
  return reinterpret_cast<void*>(module);
}
void* findExport(void* handle, const char* name) {
  return std::bit_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void closeLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
std::string programPath() {
  char buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return std::string(buffer, length);
}
constexpr const char* kDefaultPlugin = "stimloom.dll";
#else
void* openLibrary(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    error = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown reason");
  }
  return handle;
}
void* findExport(void* handle, const char* name) { return dlsym(handle, name); }
void closeLibrary(void* handle) { dlclose(handle); }
std::string programPath() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).string();
}
constexpr const char* kDefaultPlugin = "../lib/libstimloom.so";
#endif

template <class Function>
void bindExport(void* handle, const char* name, Function& function, std::string& missing) {
  void* address = findExport(handle, name);
  if (address == nullptr) {
    if (!missing.empty()) missing += ", ";
    missing += name;
  }
  function = std::bit_cast<Function>(address);
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) {
  handle_ = openLibrary(path, error_);
  if (handle_ == nullptr) return;
  std::string missing;
#define STIMLOOM_ENTRY_POINT(name, result) bindExport(handle_, #name, entryPoints_.name, missing);
#include "plugin/entry_points.def"
  if (!missing.empty()) error_ = path + " is not a plug-in: it lacks " + missing;
}

PluginLibrary::~PluginLibrary() {
  if (handle_ != nullptr) closeLibrary(handle_);
}

void* PluginLibrary::symbol(const char* name) const { return handle_ != nullptr ? findExport(handle_, name) : nullptr; }

void destroyPlugin(MNZRPluginInterface* plugin) noexcept {
  if (plugin == nullptr) return;
  constexpr std::size_t kDeletingDestructorSlot = 3;
#if defined(_WIN32) && defined(__i386__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
  using DeletingDestructor = void(__attribute__((thiscall))*)(void* object);  // this in ECX, as members take it
#pragma GCC diagnostic pop
#else
  using DeletingDestructor = void (*)(void* object);
#endif
  void* const* table = nullptr;
  std::memcpy(&table, static_cast<void*>(plugin), sizeof table);
  DeletingDestructor destroy = nullptr;
  std::memcpy(&destroy, &table[kDeletingDestructorSlot], sizeof destroy);
  destroy(plugin);
}

std::string defaultPluginPath() {
#if defined(_WIN32)
  // Cut by hand: the program's path is in the ANSI code page, which
  // std::filesystem would not give back (it writes UTF-8), and LoadLibraryA
  // reads it so.
  std::string path = programPath();
  const auto separator = path.find_last_of("\\/");
  path.erase(separator == std::string::npos ? 0 : separator + 1);
  return path + kDefaultPlugin;
#else
  const std::filesystem::path program(programPath());
  return (program.parent_path() / kDefaultPlugin).lexically_normal().string();
#endif
}

}  // namespace standin
