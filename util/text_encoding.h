#pragma once
// Texts from logs as UTF-8. Presentation writes its logs in the system's
// code page on Windows or, in newer versions, in UTF-8; the bytes that are not
// UTF-8 are read as Windows-1252, the code page of most labs' machines.

#include <string>
#include <string_view>

namespace stimloom {

// The text with its valid UTF-8 kept and every other byte read as Windows-1252.
//   "caf\xE9" -> "café"; "café" (UTF-8) -> "café"
std::string utf8FromLogText(std::string_view text);

// The code points of UTF-8 text. What is not UTF-8 becomes U+FFFD, once for
// each most bytes that could have begun a sequence (overlong forms,
// surrogates and code points past U+10FFFF break off at their first byte).
//   "a\xE2\x82b" -> U"a\uFFFDb"; "\xC0\x80" -> U"\uFFFD\uFFFD"
std::u32string decodeUtf8(std::string_view text);

// A code point as UTF-8, appended to `out`.
void appendUtf8(std::string& out, char32_t point);

}  // namespace stimloom
