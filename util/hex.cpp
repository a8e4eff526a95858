#include "util/hex.h"

namespace stimloom {
namespace {

int digitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::int32_t hexTextToInt(std::string_view text) noexcept {
  constexpr std::size_t kPlacesIn32Bits = 8;
  std::uint32_t value = 0;
  for (std::size_t place = 0; place < text.size() && place < kPlacesIn32Bits; ++place) {
    const int digit = digitValue(text[text.size() - 1 - place]);
    if (digit >= 0) value |= static_cast<std::uint32_t>(digit) << (4 * place);
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace stimloom
