#pragma once
// Loads a plug-in library and reaches its entry points, as the desktop host does.

#include <string>

class MNZRPluginInterface;

namespace standin {

struct PluginEntryPoints {
#define STIMLOOM_ENTRY_POINT(name, result) result (*name)() = nullptr;
#include "plugin/entry_points.def"
};

class PluginLibrary {
 public:
  // Loads the library; on failure `error` says why and loaded() is false.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool loaded() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const PluginEntryPoints& entryPoints() const { return entryPoints_; }
  // Any export by name, or null.
  void* symbol(const char* name) const;

 private:
  void* handle_ = nullptr;
  std::string error_;
  PluginEntryPoints entryPoints_;
};

// The plug-in built beside the running program.
std::string defaultPluginPath();

// Destroys a plug-in object as a host that knows its class does: through the
// deleting destructor in slot 3 of the object's virtual table, without any
// type information from the library.
void destroyPlugin(MNZRPluginInterface* plugin) noexcept;

}  // namespace standin
