#pragma once

#include <cstdint>
#include <string_view>

namespace stimloom {

// The value of a hexadecimal text, read from the right: '0'-'9' and 'A'-'F'
// are digits; every other character (lower-case letters too) adds nothing but
// takes its place. Exact in 32 bits: only the last eight places can count, and
// the result is those 32 bits as a two's-complement int32.
//   "FFFFFF" -> 16777215; "00FF00" -> 65280; "ff" -> 0; "0x1F" -> 31; "FFFFFFFF" -> -1
std::int32_t hexTextToInt(std::string_view text) noexcept;

}  // namespace stimloom
