#include "design/nifti_header.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace stimloom {
namespace {

constexpr std::size_t kNifti1Bytes = 348;
constexpr std::size_t kNifti2Bytes = 540;

// Fixed-size numbers at their place in the header, in the file's byte order.
class HeaderBytes {
 public:
  HeaderBytes(std::string_view bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}

  template <typename T>
  T at(std::size_t offset) const {
    std::array<unsigned char, sizeof(T)> raw{};
    std::memcpy(raw.data(), bytes_.data() + offset, sizeof(T));
    if (bigEndian_ != (std::endian::native == std::endian::big)) {
      for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(raw[i], raw[sizeof(T) - 1 - i]);
    }
    T value;
    std::memcpy(&value, raw.data(), sizeof(T));
    return value;
  }

 private:
  std::string_view bytes_;
  bool bigEndian_;
};

bool magicIs(std::string_view bytes, std::size_t offset, std::string_view magic) {
  return bytes.size() >= offset + magic.size() && bytes.substr(offset, magic.size()) == magic;
}

}  // namespace

std::optional<double> NiftiHeader::repetitionSeconds() const {
  const double value = pixdim[4];
  if (!std::isfinite(value) || value <= 0) return std::nullopt;
  switch (xyztUnits & 0x38) {
    case 0:
    case 8:
      return value;
    case 16:
      return value / 1000;
    case 24:
      return value / 1000000;
    default:
      return std::nullopt;
  }
}

std::string NiftiHeader::timeUnit() const {
  switch (xyztUnits & 0x38) {
    case 0:
      return "unset";
    case 8:
      return "s";
    case 16:
      return "ms";
    case 24:
      return "us";
    case 32:
      return "Hz";
    case 40:
      return "ppm";
    case 48:
      return "rad/s";
    default:
      return "code " + std::to_string(xyztUnits & 0x38);
  }
}

std::optional<NiftiHeader> parseNiftiHeader(std::string_view bytes, const std::string& name, std::string& error) {
  const auto refuse = [&](const std::string& why) -> std::optional<NiftiHeader> {
    error = name + ": " + why;
    return std::nullopt;
  };
  if (bytes.size() < 4) return refuse("is not a NIfTI image (it is too short to hold a header)");
  // sizeof_hdr, the first four bytes, is 348 or 540 in the file's byte order.
  NiftiHeader header;
  std::optional<std::int32_t> size;
  for (const bool big : {false, true}) {
    const auto value = HeaderBytes(bytes, big).at<std::int32_t>(0);
    if (value == static_cast<std::int32_t>(kNifti1Bytes) || value == static_cast<std::int32_t>(kNifti2Bytes)) {
      header.bigEndian = big;
      size = value;
      break;
    }
  }
  if (!size) return refuse("is not a NIfTI image (its first 4 bytes are not a NIfTI header's size, 348 or 540)");
  header.version = *size == static_cast<std::int32_t>(kNifti1Bytes) ? 1 : 2;
  const std::size_t needed = header.version == 1 ? kNifti1Bytes : kNifti2Bytes;
  if (bytes.size() < needed) {
    return refuse("is truncated: its NIfTI-" + std::to_string(header.version) + " header needs " +
                  std::to_string(needed) + " bytes, the file holds " + std::to_string(bytes.size()));
  }
  const HeaderBytes read(bytes, header.bigEndian);
  if (header.version == 1) {
    if (!magicIs(bytes, 344, std::string_view("n+1\0", 4)) && !magicIs(bytes, 344, std::string_view("ni1\0", 4)))
      return refuse("is not a NIfTI image (its header has no NIfTI-1 magic, \"n+1\")");
    for (std::size_t i = 0; i < 8; ++i) {
      header.dim[i] = read.at<std::int16_t>(40 + 2 * i);
      header.pixdim[i] = read.at<float>(76 + 4 * i);
    }
    header.xyztUnits = static_cast<unsigned char>(bytes[123]);
  } else {
    if (!magicIs(bytes, 4, std::string_view("n+2\0\r\n\032\n", 8)) &&
        !magicIs(bytes, 4, std::string_view("ni2\0\r\n\032\n", 8)))
      return refuse("is not a NIfTI image (its header has no NIfTI-2 magic, \"n+2\")");
    for (std::size_t i = 0; i < 8; ++i) {
      header.dim[i] = read.at<std::int64_t>(16 + 8 * i);
      header.pixdim[i] = read.at<double>(104 + 8 * i);
    }
    header.xyztUnits = read.at<std::int32_t>(500);
  }
  if (header.dim[0] < 4) {
    return refuse("has " + std::to_string(header.dim[0]) +
                  " dimensions in its header; a BOLD series needs 4 (x, y, z and time)");
  }
  if (header.dim[0] > 7) {
    return refuse("is not a NIfTI image (its header gives " + std::to_string(header.dim[0]) +
                  " dimensions, and NIfTI has at most 7)");
  }
  if (header.dim[4] < 1) return refuse("has " + std::to_string(header.dim[4]) + " volumes in its header");
  return header;
}

}  // namespace stimloom
