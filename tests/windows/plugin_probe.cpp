// plugin_probe: loads the plug-in DLL under the Windows loader as the desktop
// host does and prints, one fact per line, what it finds, so that a test can
// compare the transcript with the expected one.
//
//   plugin_probe PLUGIN.dll     the entry points, the vtables, isAvailable and
//                               execute called through their slots (the menu
//                               cancelled), and every host call the plug-in made
//   plugin_probe --records      the records' pointer fields as the host fills them
//   plugin_probe --exports EXE  which host functions GetProcAddress finds in EXE
//
// The probe is linked with the stand-in host, so it exports every zr function
// itself. Under its own file name the plug-in must not bind to it; copied to a
// file named MirovaneZR.exe it is the host the plug-in binds to.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "host/host_functions.h"
#include "host/records.h"
#include "plugin/plugin_interface.h"
#include "standin/plugin_library.h"
#include "standin/standin_host.h"

static_assert(sizeof(void*) == 4, "the desktop host is a 32-bit program");

namespace {

// The members the host may look up by name, and their places in the vtables.
constexpr const char* kMemberExports[] = {
    "_ZN8Stimloom7executeEv", "_ZNK8Stimloom11isAvailableEv",
    "_ZN8StimloomD1Ev",       "_ZN8StimloomD0Ev",
    "_ZN8StimloomD2Ev",       "_ZN8StimloomC1Ev",
    "_ZN8StimloomC2Ev",
};
constexpr const char* kInterfaceVtable = "_ZTV19MNZRPluginInterface";

// Member functions are called with the this pointer in ECX, as the host calls
// them. GCC applies thiscall to a plain function pointer as asked, but warns
// that the attribute is meant for members.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
using BoolSlot = bool(__attribute__((thiscall)) *)(void* object);
using DestructorSlot = void(__attribute__((thiscall)) *)(void* object);
#pragma GCC diagnostic pop

// A text as a C string literal, so that line feeds and tabs show.
std::string quoted(const char* text) {
  if (text == nullptr) return "(null)";
  std::string out = "\"";
  for (const char* c = text; *c != '\0'; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (*c == '\n') {
      out += "\\n";
    } else if (*c == '\t') {
      out += "\\t";
    } else if (*c == '\r') {
      out += "\\r";
    } else if (*c == '"' || *c == '\\') {
      out += '\\';
      out += *c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += *c;
    }
  }
  return out + "\"";
}

std::string fileNameOf(std::string_view path) {
  const auto separator = path.find_last_of("\\/");
  return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}

std::string programFileName() {
  char buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return fileNameOf(std::string_view(buffer, length));
}

void* const* vtableOf(const void* object) {
  void* const* table = nullptr;
  std::memcpy(&table, object, sizeof table);
  return table;
}

// The exported member at this address, by name.
std::string memberAt(const standin::PluginLibrary& plugin, const void* address) {
  for (const char* name : kMemberExports) {
    if (address != nullptr && plugin.symbol(name) == address) return name;
  }
  return "(no exported member)";
}

const char* yesNo(bool value) { return value ? "true" : "false"; }

void printHostCalls() {
  const standin::HostState& state = standin::host();
  std::printf("host calls: %zu\n", state.calls.size());
  for (const standin::HostCall& call : state.calls) {
    std::string line = call.function + "(";
    for (std::size_t i = 0; i < call.arguments.size(); ++i) {
      if (i > 0) line += ", ";
      line += quoted(call.arguments[i].c_str());
    }
    std::printf("  %s)\n", line.c_str());
  }
  std::printf("log pane: %zu lines\n", state.logPane.size());
  for (const std::string& line : state.logPane) std::printf("  %s\n", quoted(line.c_str()).c_str());
}

int probePlugin(const char* path) {
  std::printf("program: %s\n", programFileName().c_str());
  std::printf("module MirovaneZR.exe: %s\n", GetModuleHandleA("MirovaneZR.exe") != nullptr ? "loaded" : "absent");

  standin::PluginLibrary plugin(path);
  if (!plugin.loaded()) {
    std::printf("load: %s\n", plugin.error().c_str());
    return 1;
  }
  std::printf("load: %s\n", fileNameOf(path).c_str());

  const standin::PluginEntryPoints& entry = plugin.entryPoints();
  const char* name = entry.getPluginName();
  const char* description = entry.getPluginDescription();
  std::printf("getPluginName: %s\n", quoted(name).c_str());
  std::printf("getPluginDescription: %s\n", quoted(description).c_str());
  std::printf("getAuthor: %s\n", quoted(entry.getAuthor()).c_str());
  std::printf("getHelpFile: %s\n", quoted(entry.getHelpFile()).c_str());
  std::printf("getRegistrationOfGenericComponentLoader: %s\n",
              quoted(entry.getRegistrationOfGenericComponentLoader()).c_str());

  MNZRPluginInterface* first = entry.createPlugin();
  MNZRPluginInterface* second = entry.createPlugin();
  if (first == nullptr || second == nullptr) {
    std::printf("createPlugin: null\n");
    return 1;
  }
  std::printf("createPlugin: %s\n", first != second ? "two distinct objects" : "the same object twice");
  std::printf("texts after createPlugin: %s\n",
              entry.getPluginName() == name && entry.getPluginDescription() == description ? "the same pointers"
                                                                                           : "other pointers");

  void* const* table = vtableOf(first);
  std::printf("objects share one vtable: %s\n", yesNo(vtableOf(second) == table));
  for (int slot = 0; slot < 4; ++slot) {
    std::printf("Stimloom vtable slot %d: %s\n", slot, memberAt(plugin, table[slot]).c_str());
  }

  // The interface's table: offset to top, type information, then its two pure slots.
  const auto* interfaceTable = static_cast<void* const*>(plugin.symbol(kInterfaceVtable));
  if (interfaceTable == nullptr) {
    std::printf("MNZRPluginInterface vtable: not exported\n");
  } else {
    const char* slots = interfaceTable[2] == nullptr || interfaceTable[3] == nullptr ? "a null entry"
                        : interfaceTable[2] == interfaceTable[3]                     ? "one shared handler"
                                                                                     : "two different entries";
    std::printf("MNZRPluginInterface vtable offset to top: %d\n", std::bit_cast<int>(interfaceTable[0]));
    std::printf("MNZRPluginInterface vtable slots 0 and 1: %s, %s\n", slots,
                memberAt(plugin, interfaceTable[2]).c_str());
  }

  const auto isAvailable = std::bit_cast<BoolSlot>(table[1]);
  const auto execute = std::bit_cast<BoolSlot>(table[0]);
  std::printf("slot 1 (isAvailable) before execute: %s\n", yesNo(isAvailable(first)));
  std::printf("slot 1 (isAvailable) of the second object: %s\n", yesNo(isAvailable(second)));
  // The menu's dialog is cancelled, as a user may: the run ends without an
  // operation, through the menu's own refusal of the answer.
  standin::resetHost();
  standin::host().script.answers.push_back(standin::Answer::cancel());
  std::printf("scripted answers: cancel the menu\n");
  const bool executed = execute(first);
  std::printf("slot 0 (execute): %s\n", yesNo(executed));
  std::printf("scripted answers left: %zu, dialogs found no answer: %d\n", standin::host().script.answers.size(),
              standin::host().script.unanswered);
  printHostCalls();

  // The deleting destructor frees the object with the DLL's own allocator.
  const auto destroy = std::bit_cast<DestructorSlot>(table[3]);
  destroy(first);
  destroy(second);
  std::printf("slot 3 (deleting destructor): both objects destroyed\n");
  return 0;
}

// The stand-in host fills a condition record through its export, as the
// plug-in calls it: the pointer fields at offsets 260 and 264 must be real
// pointers into the host's own interval storage.
int probeRecords() {
  standin::resetHost();
  standin::StoredCondition stored;
  stored.name = "Picture fix";
  stored.starts = {0, 1500};
  stored.ends = {1000, 2500};
  standin::host().protocol.conditions.push_back(std::move(stored));

  using GetCondition = void (*)(std::int32_t, stimloom::ConditionRecord*);
  const auto getCondition =
      std::bit_cast<GetCondition>(GetProcAddress(GetModuleHandleA(nullptr), "zrGetProtocolCondition"));
  if (getCondition == nullptr) {
    std::printf("zrGetProtocolCondition: not exported\n");
    return 1;
  }
  stimloom::ConditionRecord record;
  getCondition(0, &record);

  unsigned char bytes[sizeof record];
  std::memcpy(bytes, &record, sizeof record);
  std::int32_t* starts = nullptr;
  std::int32_t* ends = nullptr;
  std::int32_t count = 0;
  std::memcpy(&count, bytes + 256, sizeof count);
  std::memcpy(&starts, bytes + 260, sizeof starts);
  std::memcpy(&ends, bytes + 264, sizeof ends);
  const standin::StoredCondition& kept = standin::host().protocol.conditions.front();
  std::printf("record size: %zu\n", sizeof record);
  std::printf("name at offset 0: %s\n", quoted(reinterpret_cast<const char*>(bytes)).c_str());
  std::printf("intervals at offset 256: %d\n", count);
  std::printf("starts at offset 260: %s\n", starts == kept.starts.data() ? "the host's storage" : "elsewhere");
  std::printf("ends at offset 264: %s\n", ends == kept.ends.data() ? "the host's storage" : "elsewhere");
  if (starts != kept.starts.data() || ends != kept.ends.data()) return 1;
  starts[1] = 1400;
  ends[1] = 2400;
  std::printf("written through the record: %d-%d\n", kept.starts[1], kept.ends[1]);
  return 0;
}

int probeExports(const char* path) {
  // Mapped as an image without running it, so that its export table can be searched.
  HMODULE module = LoadLibraryExA(path, nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (module == nullptr) {
    std::printf("cannot map %s (error %lu)\n", fileNameOf(path).c_str(), GetLastError());
    return 1;
  }
  std::printf("module: %s\n", fileNameOf(path).c_str());
  for (const std::string_view name : stimloom::kHostFunctionNames) {
    const std::string exportName(name);
    const bool found = GetProcAddress(module, exportName.c_str()) != nullptr;
    std::printf("%s: %s\n", exportName.c_str(), found ? "found" : "missing");
  }
  FreeLibrary(module);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  int status = 2;
  if (argc == 2 && std::string_view(argv[1]) == "--records") {
    status = probeRecords();
  } else if (argc == 3 && std::string_view(argv[1]) == "--exports") {
    status = probeExports(argv[2]);
  } else if (argc == 2 && argv[1][0] != '-') {
    status = probePlugin(argv[1]);
  } else {
    std::fprintf(stderr, "usage: plugin_probe PLUGIN.dll | --records | --exports EXE\n");
  }
  std::fflush(stdout);
  return status;
}
