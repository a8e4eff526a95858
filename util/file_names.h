#pragma once
// Names derived from the Windows paths that the host's file dialogs return.
// Pure functions: the one that reports takes the line sink as an argument.

#include <optional>
#include <string>
#include <string_view>

#include "util/line_sink.h"

namespace stimloom {

// The file name of a path: the text after its last separator, where the
// separator is '/' when the path holds one and '\' otherwise. With
// withoutExtension the name ends before its last '.' after its first
// character; with appendDash a '-' follows. Nothing for an empty path.
//   "C:\data\run1.log" -> "run1.log"; withoutExtension -> "run1"; both -> "run1-"
std::optional<std::string> fileNameFromPath(std::string_view path, bool withoutExtension, bool appendDash);

// The last four characters of the path ("C:\data\run1.prt" -> ".prt"), the
// whole text when it is shorter, or "-1" with the line
// "Small problem extracting file extension" for an empty path.
std::string extractFileExtension(std::string_view path, LineSink* report = nullptr);

// The path without the extension of its last component: the text before the
// last '.' of that component; a component without a '.' keeps the whole path.
// "''" for an empty path.
//   "C:\data\run1.final.log" -> "C:\data\run1.final"; "C:\my.data\run1" -> "C:\my.data\run1"
std::string stripExtension(std::string_view path);

// stripExtension(path) + suffix + extractFileExtension(path).
//   ("C:\data\run1.prt", "_MSEC") -> "C:\data\run1_MSEC.prt"
std::string insertBeforeExtension(std::string_view path, std::string_view suffix, LineSink* report = nullptr);

// stripExtension(path) + extension.  ("C:\data\run1.log", ".prt") -> "C:\data\run1.prt"
std::string replaceExtension(std::string_view path, std::string_view extension);

}  // namespace stimloom
