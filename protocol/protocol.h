#pragma once
// A stimulation protocol as a value: its header, and its conditions with their
// colours and millisecond or volume intervals. Pure; the host's records are
// filled from it and read into it at the host boundary.

#include <cstdint>
#include <string>
#include <vector>

namespace stimloom {

// The unit of every interval time of a protocol. A host may hand over other
// codes; they are carried as they are.
enum class TimeResolution : std::int32_t { kVolumes = 1, kMilliseconds = 2 };

struct Interval {
  std::int32_t start = 0;  // eg: 1000
  std::int32_t end = 0;    // eg: 3000

  bool operator==(const Interval&) const = default;
};

struct Condition {
  std::string name;         // eg: "congruent left"; at most 255 characters
  std::int32_t colour = 0;  // eg: 0x3F00C355
  std::vector<Interval> intervals;

  bool operator==(const Condition&) const = default;
};

// The header's display colours and line thicknesses, opaque to stimloom.
struct ProtocolAppearance {
  std::int32_t colour1 = 0;
  std::int32_t colour2 = 0;
  std::int32_t colour3 = 0;
  std::int32_t penThickness1 = 0;
  std::int32_t colour4 = 0;
  std::int32_t penThickness2 = 0;

  bool operator==(const ProtocolAppearance&) const = default;
};

struct Protocol {
  std::string fileName;        // eg: "D:\study\run1.prt"
  std::string experimentName;  // eg: "run1"
  TimeResolution timeResolution = TimeResolution::kMilliseconds;
  ProtocolAppearance appearance;
  std::vector<Condition> conditions;

  bool operator==(const Protocol&) const = default;
};

}  // namespace stimloom
