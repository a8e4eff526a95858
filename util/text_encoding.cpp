#include "util/text_encoding.h"

#include <array>
#include <cstdint>

namespace stimloom {
namespace {

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined keep
// their code points, as Windows itself maps them.
constexpr std::array<char32_t, 32> kHighControls = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The length of the valid UTF-8 sequence at the start of `text`, or 0.
std::size_t validSequence(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const auto continuation = [&](std::size_t i) { return i < text.size() && (byte(i) & 0xC0) == 0x80; };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return continuation(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (!continuation(1) || !continuation(2)) return 0;
    if (lead == 0xE0 && byte(1) < 0xA0) return 0;   // overlong
    if (lead == 0xED && byte(1) >= 0xA0) return 0;  // surrogates
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (!continuation(1) || !continuation(2) || !continuation(3)) return 0;
    if (lead == 0xF0 && byte(1) < 0x90) return 0;   // overlong
    if (lead == 0xF4 && byte(1) >= 0x90) return 0;  // beyond U+10FFFF
    return 4;
  }
  return 0;
}

}  // namespace

void appendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

std::u32string decodeUtf8(std::string_view text) {
  constexpr char32_t kReplacement = 0xFFFD;
  std::u32string points;
  points.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
      points.push_back(lead);
      ++at;
      continue;
    }
    // The first continuation byte's range is narrower after some leads: that
    // is what rules out overlong forms, surrogates and code points past
    // U+10FFFF, so each is replaced as soon as it shows.
    std::size_t continuations = 0;
    char32_t point = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      continuations = 1;
      point = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      continuations = 2;
      point = lead & 0x0Fu;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      continuations = 3;
      point = lead & 0x07u;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      points.push_back(kReplacement);
      ++at;
      continue;
    }
    std::size_t taken = 1;
    while (taken <= continuations && at + taken < text.size()) {
      const auto next = static_cast<unsigned char>(text[at + taken]);
      if (next < low || next > high) break;
      point = point << 6 | (next & 0x3Fu);
      low = 0x80;
      high = 0xBF;
      ++taken;
    }
    at += taken;
    // A broken sequence is one replacement; the byte that broke it starts the next.
    points.push_back(taken <= continuations ? kReplacement : point);
  }
  return points;
}

std::string utf8FromLogText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const std::size_t valid = validSequence(text);
    if (valid > 0) {
      out.append(text.substr(0, valid));
      text.remove_prefix(valid);
      continue;
    }
    const auto byte = static_cast<std::uint8_t>(text.front());
    appendUtf8(out, byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : char32_t{byte});
    text.remove_prefix(1);
  }
  return out;
}

}  // namespace stimloom
