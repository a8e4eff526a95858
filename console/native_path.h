#pragma once
// Paths in the stand-in host are narrow texts in the system's code page: so
// the desktop host's file dialogs return them, the program's arguments arrive,
// and the C runtime's fopen, which the plug-in reads logs with, takes them.
// std::filesystem on Windows does not: it reads their bytes above 127 as
// Latin-1 and gives them back as UTF-8. A protocol beside a log whose name
// holds a euro sign or an en dash would be saved under another name. Every
// path that reaches std::filesystem or a file stream goes through nativePath.

#include <filesystem>
#include <string>

namespace console {

// The file a narrow path names: on Windows decoded from the ANSI code page,
// elsewhere taken as it is.
std::filesystem::path nativePath(const std::string& path);

}  // namespace console
