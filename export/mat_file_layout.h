#pragma once
// The parts of the MAT-file writer that its tests check on their own: the
// sizes that decide whether a file can be written at all (too large to build
// in a test), and the UTF-8 to UTF-16 conversion of names.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace stimloom::mat_layout {

// The largest byte count a data element's tag holds.
inline constexpr std::uint64_t kMaxElementBytes = 0xFFFF'FFFFu;

// The byte count in the tag of an miMATRIX element named `name` (empty for
// the elements of a cell) whose data element holds `dataBytes`; nothing when
// it exceeds kMaxElementBytes.
std::optional<std::uint32_t> arrayMatrixBytes(std::string_view name, std::uint64_t dataBytes);

// The byte count in the tag of a cell's or a struct's miMATRIX element named
// `name` that holds `headerBytes` after its name (a struct's field names) and
// then elements of these tag byte counts; nothing when it exceeds
// kMaxElementBytes.
std::optional<std::uint32_t> containerMatrixBytes(std::string_view name, std::uint64_t headerBytes,
                                                  std::span<const std::uint32_t> elementMatrixBytes);

// The byte count in the tag of a cell's miMATRIX element named `name` whose
// elements are unnamed arrays with data elements of these sizes; nothing when
// it, and so any of its elements, exceeds kMaxElementBytes.
std::optional<std::uint32_t> cellMatrixBytes(std::string_view name, std::span<const std::uint64_t> elementDataBytes);

// The UTF-16 code units of UTF-8 text. Each ill-formed sequence becomes one
// U+FFFD: a lead byte with the continuation bytes that may follow it, up to the
// first that may not, or one byte that starts no sequence.
std::u16string utf16FromUtf8(std::string_view text);

}  // namespace stimloom::mat_layout
