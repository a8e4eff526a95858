#pragma once
// Log times, real numbers in tenths of a millisecond, to protocol times, whole
// milliseconds in 32 bits. Pure; defined for every double.

#include <cstdint>
#include <optional>

namespace stimloom {

// time / 10 truncated toward zero, when that fits an int32.
//   123459 -> 12345; 1e12 -> nothing; NaN -> nothing
std::optional<std::int32_t> startMilliseconds(double time) noexcept;

// The floor of duration / 10, when that fits an int32.  -15 -> -2
std::optional<std::int32_t> durationMilliseconds(double duration) noexcept;

// An interval's start: time / 10 truncated toward zero. A time beyond the
// int32 range gives the nearest end of the range; NaN gives 0.
std::int32_t convertStartTime(double time) noexcept;

// An interval's end: start + the floor of duration / 10, held within the int32
// range. A NaN duration gives the start.
//   (12345, 4999) -> 12844; (12345, -15) -> 12343
std::int32_t convertEndTime(std::int32_t start, double duration) noexcept;

}  // namespace stimloom
