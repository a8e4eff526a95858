#pragma once
// The header of a NIfTI-1 or NIfTI-2 image, as much of it as the design
// check needs: the dimensions, the voxel sizes and the units of time. The
// image data is never read. Pure: the caller reads the bytes (and inflates
// a .nii.gz).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace stimloom {

// The bytes a header needs at most: NIfTI-2's 540 (NIfTI-1's are 348).
inline constexpr std::size_t kNiftiHeaderBytes = 540;

struct NiftiHeader {
  int version = 1;                    // 1 or 2
  bool bigEndian = false;             // as the file stores its numbers
  std::array<std::int64_t, 8> dim{};  // dim[0] dimensions, dim[1..7] their sizes
  std::array<double, 8> pixdim{};     // pixdim[4] is the time between volumes
  std::int32_t xyztUnits = 0;

  std::int64_t volumes() const { return dim[4]; }
  // pixdim[4] in seconds, by the time unit of xyzt_units (an unset unit is
  // taken as seconds); nothing when it is no positive time.
  std::optional<double> repetitionSeconds() const;
  // "s", "ms", "us", "unset", or the code of a unit that is no time, eg "Hz".
  std::string timeUnit() const;
};

// The header at the start of `bytes`. Nothing, with `error` naming `name`,
// for bytes that are not a NIfTI-1 or NIfTI-2 header, a header cut short, or
// an image of fewer than 4 dimensions.
std::optional<NiftiHeader> parseNiftiHeader(std::string_view bytes, const std::string& name, std::string& error);

}  // namespace stimloom
