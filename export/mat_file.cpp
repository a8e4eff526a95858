#include "export/mat_file.h"

#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "export/mat_file_layout.h"
#include "util/text_encoding.h"

namespace stimloom {
namespace {

constexpr std::uint64_t kTagBytes = 8;
// Array flags and dimensions: each a tag and 8 bytes of data, as every array
// here is a matrix (two dimensions).
constexpr std::uint64_t kFlagsAndDimensionsBytes = 2 * (kTagBytes + 8);

// Every element starts on an 8-byte boundary, so its data is padded up to one.
constexpr std::uint64_t elementBytes(std::uint64_t dataBytes) { return kTagBytes + (dataBytes + 7) / 8 * 8; }

}  // namespace

namespace mat_layout {

std::optional<std::uint32_t> arrayMatrixBytes(std::string_view name, std::uint64_t dataBytes) {
  // Checked first, so that the sum below cannot wrap.
  if (dataBytes > kMaxElementBytes || name.size() > kMaxElementBytes) return std::nullopt;
  const std::uint64_t bytes = kFlagsAndDimensionsBytes + elementBytes(name.size()) + elementBytes(dataBytes);
  if (bytes > kMaxElementBytes) return std::nullopt;
  return static_cast<std::uint32_t>(bytes);
}

std::optional<std::uint32_t> cellMatrixBytes(std::string_view name, std::span<const std::uint64_t> elementDataBytes) {
  if (name.size() > kMaxElementBytes) return std::nullopt;
  std::uint64_t bytes = kFlagsAndDimensionsBytes + elementBytes(name.size());
  for (const std::uint64_t dataBytes : elementDataBytes) {
    const auto element = arrayMatrixBytes({}, dataBytes);
    if (!element) return std::nullopt;
    // Both terms are below 2^33 here, so the sum is exact.
    bytes += kTagBytes + *element;
    if (bytes > kMaxElementBytes) return std::nullopt;
  }
  return static_cast<std::uint32_t>(bytes);
}

std::u16string utf16FromUtf8(std::string_view text) {
  std::u16string units;
  units.reserve(text.size());
  for (char32_t point : decodeUtf8(text)) {
    if (point < 0x10000) {
      units.push_back(static_cast<char16_t>(point));
    } else {
      point -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800u + (point >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00u + (point & 0x3FFu)));
    }
  }
  return units;
}

}  // namespace mat_layout

namespace {

using mat_layout::arrayMatrixBytes;

constexpr std::size_t kHeaderTextBytes = 116;
constexpr std::size_t kHeaderBytes = 128;
constexpr std::string_view kHeaderText = "MATLAB 5.0 MAT-file, written by stimloom";
static_assert(kHeaderText.size() <= kHeaderTextBytes);

enum class DataType : std::uint32_t { kInt8 = 1, kUint16 = 4, kInt32 = 5, kUint32 = 6, kDouble = 9, kMatrix = 14 };
enum class ArrayClass : std::uint32_t { kCell = 1, kChar = 4, kDouble = 6 };

// Appends little-endian values whatever the byte order of the machine.
class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  void little(std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) out_.push_back(static_cast<char>(value >> (8 * i) & 0xFFu));
  }
  void text(std::string_view bytes) { out_.append(bytes); }
  void padTo8() {
    while (out_.size() % 8 != 0) out_.push_back('\0');
  }
  void tag(DataType type, std::uint32_t bytes) {
    little(static_cast<std::uint32_t>(type), 4);
    little(bytes, 4);
  }

  // The tag of an miMATRIX element and the sub-elements before its data.
  // Dimensions are signed 32-bit in the file; the byte counts, checked before
  // anything is written, keep every count of elements below 2^31.
  void arrayStart(std::uint32_t matrixBytes, ArrayClass arrayClass, std::size_t rows, std::size_t columns,
                  std::string_view name) {
    tag(DataType::kMatrix, matrixBytes);
    tag(DataType::kUint32, 8);
    little(static_cast<std::uint32_t>(arrayClass), 4);  // no flags set: real, not global, not logical
    little(0, 4);
    tag(DataType::kInt32, 8);
    little(static_cast<std::uint32_t>(rows), 4);
    little(static_cast<std::uint32_t>(columns), 4);
    tag(DataType::kInt8, static_cast<std::uint32_t>(name.size()));
    text(name);
    padTo8();
  }

 private:
  std::string& out_;
};

// Only sizes that arrayMatrixBytes accepted reach the writers below.
void writeChars(Writer& writer, const std::u16string& units) {
  const std::uint64_t dataBytes = std::uint64_t{units.size()} * 2;
  writer.arrayStart(*arrayMatrixBytes({}, dataBytes), ArrayClass::kChar, 1, units.size(), {});
  writer.tag(DataType::kUint16, static_cast<std::uint32_t>(dataBytes));
  for (const char16_t unit : units) writer.little(unit, 2);
  writer.padTo8();
}

void writeColumn(Writer& writer, const std::vector<double>& values) {
  const std::uint64_t dataBytes = std::uint64_t{values.size()} * sizeof(double);
  writer.arrayStart(*arrayMatrixBytes({}, dataBytes), ArrayClass::kDouble, values.size(), 1, {});
  writer.tag(DataType::kDouble, static_cast<std::uint32_t>(dataBytes));
  // Eight bytes each: the data ends on an 8-byte boundary without padding.
  for (const double value : values) writer.little(std::bit_cast<std::uint64_t>(value), 8);
}

std::uint32_t checkedCellBytes(std::string_view name, std::span<const std::uint64_t> elementDataBytes) {
  const auto bytes = mat_layout::cellMatrixBytes(name, elementDataBytes);
  if (!bytes) {
    throw std::length_error("MAT-file variable '" + std::string(name) +
                            "' would exceed the 4 GiB a Level 5 element can hold");
  }
  return *bytes;
}

}  // namespace

std::string multipleConditionsMatFile(std::span<const MatCondition> conditions) {
  static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559);
  std::vector<std::u16string> names;
  std::vector<std::uint64_t> nameBytes;
  std::vector<std::uint64_t> eventBytes;  // the same for onsets and durations
  names.reserve(conditions.size());
  nameBytes.reserve(conditions.size());
  eventBytes.reserve(conditions.size());
  for (const MatCondition& condition : conditions) {
    if (condition.durations.size() != condition.onsets.size()) {
      throw std::invalid_argument("condition '" + condition.name + "' has " + std::to_string(condition.onsets.size()) +
                                  " onsets but " + std::to_string(condition.durations.size()) + " durations");
    }
    names.push_back(mat_layout::utf16FromUtf8(condition.name));
    nameBytes.push_back(std::uint64_t{names.back().size()} * 2);
    eventBytes.push_back(std::uint64_t{condition.onsets.size()} * sizeof(double));
  }

  const std::uint32_t namesBytes = checkedCellBytes("names", nameBytes);
  const std::uint32_t onsetsBytes = checkedCellBytes("onsets", eventBytes);
  const std::uint32_t durationsBytes = checkedCellBytes("durations", eventBytes);
  // Each variable's tag comes on top of the byte count it holds.
  const std::uint64_t fileBytes =
      kHeaderBytes + 3 * kTagBytes + std::uint64_t{namesBytes} + onsetsBytes + durationsBytes;
  std::string out;
  if (fileBytes > out.max_size()) throw std::length_error("MAT-file would not fit in memory");
  out.reserve(static_cast<std::size_t>(fileBytes));

  Writer writer(out);
  writer.text(kHeaderText);
  writer.text(std::string(kHeaderTextBytes - kHeaderText.size(), ' '));
  writer.little(0, 8);       // no subsystem data
  writer.little(0x0100, 2);  // version
  writer.text("IM");         // "MI" read as a 16-bit number: tells the reader the byte order

  const auto writeCell = [&](std::string_view name, std::uint32_t bytes, auto writeElement) {
    writer.arrayStart(bytes, ArrayClass::kCell, 1, conditions.size(), name);
    for (std::size_t i = 0; i < conditions.size(); ++i) writeElement(i);
  };
  writeCell("names", namesBytes, [&](std::size_t i) { writeChars(writer, names[i]); });
  writeCell("onsets", onsetsBytes, [&](std::size_t i) { writeColumn(writer, conditions[i].onsets); });
  writeCell("durations", durationsBytes, [&](std::size_t i) { writeColumn(writer, conditions[i].durations); });

  assert(out.size() == fileBytes);
  return out;
}

}  // namespace stimloom
