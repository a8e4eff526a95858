#pragma once
// Reading a file in large blocks, so that a file is never held in memory
// whole. The path is a narrow text in the system's code page, as the host's
// file dialogs and a program's arguments give it, and as the C runtime opens it.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace stimloom {

// Blocks of 64 KiB: each is read and then parsed while it is still in the
// processor's cache (blocks of 1 MiB were slower).
inline constexpr std::size_t kFileBlockBytes = std::size_t{1} << 16;

// What a file's start is taken to be, to tell its line end and its layout.
inline constexpr std::size_t kFileStartBytes = std::size_t{1} << 16;

// Takes the next piece of a file; false when no more is needed.
using BlockConsumer = std::function<bool(std::string_view block)>;

// Hands a file's pieces to the consumer in order. Nothing when that went
// well; otherwise why the file could not be opened or read.
using BlockSource = std::function<std::optional<std::string>(const BlockConsumer& onBlock)>;

// Hands the file's bytes to onBlock in order, in pieces of at most
// kFileBlockBytes, until the file ends or onBlock returns false. Nothing when
// that went well; otherwise why the file could not be opened or read, as the
// system says it, eg: "No such file or directory".
std::optional<std::string> readFileBlocks(const std::string& path, const BlockConsumer& onBlock);

}  // namespace stimloom
