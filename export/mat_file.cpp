#include "export/mat_file.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <utility>
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

std::optional<std::uint32_t> containerMatrixBytes(std::string_view name, std::uint64_t headerBytes,
                                                  std::span<const std::uint32_t> elementMatrixBytes) {
  if (name.size() > kMaxElementBytes || headerBytes > kMaxElementBytes) return std::nullopt;
  std::uint64_t bytes = kFlagsAndDimensionsBytes + elementBytes(name.size()) + headerBytes;
  for (const std::uint32_t element : elementMatrixBytes) {
    // Both terms are below 2^33 here, so the sum is exact.
    bytes += kTagBytes + element;
    if (bytes > kMaxElementBytes) return std::nullopt;
  }
  if (bytes > kMaxElementBytes) return std::nullopt;
  return static_cast<std::uint32_t>(bytes);
}

std::optional<std::uint32_t> cellMatrixBytes(std::string_view name, std::span<const std::uint64_t> elementDataBytes) {
  std::vector<std::uint32_t> elements;
  elements.reserve(elementDataBytes.size());
  for (const std::uint64_t dataBytes : elementDataBytes) {
    const auto element = arrayMatrixBytes({}, dataBytes);
    if (!element) return std::nullopt;
    elements.push_back(*element);
  }
  return containerMatrixBytes(name, 0, elements);
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

constexpr std::size_t kHeaderTextBytes = 116;
constexpr std::size_t kHeaderBytes = 128;
constexpr std::string_view kHeaderText = "MATLAB 5.0 MAT-file, written by stimloom";
static_assert(kHeaderText.size() <= kHeaderTextBytes);

// Each field name of a struct is stored in this many bytes, its terminating
// zero included, as MATLAB writes them.
constexpr std::uint32_t kFieldNameBytes = 32;

enum class DataType : std::uint32_t { kInt8 = 1, kUint16 = 4, kInt32 = 5, kUint32 = 6, kDouble = 9, kMatrix = 14 };
enum class ArrayClass : std::uint32_t { kCell = 1, kStruct = 2, kChar = 4, kDouble = 6 };

// An array to write, holding its numbers by reference. A cell's elements are
// in column-major order; a struct's are, element by element, its fields' values.
struct Array {
  ArrayClass type = ArrayClass::kDouble;
  std::size_t rows = 0;
  std::size_t columns = 0;
  std::u16string chars;                      // kChar
  std::span<const double> doubles;           // kDouble
  std::vector<Array> elements;               // kCell, kStruct
  std::span<const std::string_view> fields;  // kStruct
  std::uint32_t bytes = 0;                   // the count in its miMATRIX tag, once sized
};

Array arrayOf(ArrayClass type, std::size_t rows, std::size_t columns) {
  Array array;
  array.type = type;
  array.rows = rows;
  array.columns = columns;
  return array;
}

Array charRow(std::string_view utf8) {
  Array array = arrayOf(ArrayClass::kChar, 1, 0);
  array.chars = mat_layout::utf16FromUtf8(utf8);
  array.columns = array.chars.size();
  return array;
}

Array doubleColumn(std::span<const double> values) {
  Array array = arrayOf(ArrayClass::kDouble, values.size(), 1);
  array.doubles = values;
  return array;
}

Array cellRow(std::vector<Array> elements) {
  Array array = arrayOf(ArrayClass::kCell, 1, elements.size());
  array.elements = std::move(elements);
  return array;
}

// Sizes `array` and everything in it; nothing when any of it exceeds the
// 32-bit byte count of a tag.
std::optional<std::uint32_t> sized(Array& array, std::string_view name) {
  std::optional<std::uint32_t> bytes;
  if (array.type == ArrayClass::kChar) {
    bytes = mat_layout::arrayMatrixBytes(name, std::uint64_t{array.chars.size()} * 2);
  } else if (array.type == ArrayClass::kDouble) {
    bytes = mat_layout::arrayMatrixBytes(name, std::uint64_t{array.doubles.size()} * sizeof(double));
  } else {
    std::vector<std::uint32_t> inside;
    inside.reserve(array.elements.size());
    for (Array& element : array.elements) {
      const auto size = sized(element, {});
      if (!size) return std::nullopt;
      inside.push_back(*size);
    }
    const std::uint64_t fieldBytes =
        array.type == ArrayClass::kStruct ? kTagBytes + elementBytes(kFieldNameBytes * array.fields.size()) : 0;
    bytes = mat_layout::containerMatrixBytes(name, fieldBytes, inside);
  }
  if (bytes) array.bytes = *bytes;
  return bytes;
}

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

  // An array that sized() accepted. Dimensions are signed 32-bit in the
  // file; the byte counts, checked before anything is written, keep every
  // count of elements below 2^31.
  void array(const Array& array, std::string_view name) {
    tag(DataType::kMatrix, array.bytes);
    tag(DataType::kUint32, 8);
    little(static_cast<std::uint32_t>(array.type), 4);  // no flags set: real, not global, not logical
    little(0, 4);
    tag(DataType::kInt32, 8);
    little(static_cast<std::uint32_t>(array.rows), 4);
    little(static_cast<std::uint32_t>(array.columns), 4);
    tag(DataType::kInt8, static_cast<std::uint32_t>(name.size()));
    text(name);
    padTo8();
    switch (array.type) {
      case ArrayClass::kChar:
        tag(DataType::kUint16, static_cast<std::uint32_t>(array.chars.size() * 2));
        for (const char16_t unit : array.chars) little(unit, 2);
        padTo8();
        break;
      case ArrayClass::kDouble:
        tag(DataType::kDouble, static_cast<std::uint32_t>(array.doubles.size() * sizeof(double)));
        // Eight bytes each: the data ends on an 8-byte boundary without padding.
        for (const double value : array.doubles) little(std::bit_cast<std::uint64_t>(value), 8);
        break;
      case ArrayClass::kStruct:
        // The field-name length as a small data element, its 4 bytes in the
        // tag's second half, as MATLAB writes it.
        little(static_cast<std::uint32_t>(DataType::kInt32) | 4u << 16, 4);
        little(kFieldNameBytes, 4);
        tag(DataType::kInt8, static_cast<std::uint32_t>(kFieldNameBytes * array.fields.size()));
        for (const std::string_view field : array.fields) {
          text(field);
          out_.append(kFieldNameBytes - field.size(), '\0');
        }
        padTo8();
        [[fallthrough]];
      case ArrayClass::kCell:
        for (const Array& element : array.elements) this->array(element, {});
        break;
    }
  }

 private:
  std::string& out_;
};

constexpr std::string_view kPmodFields[] = {"name", "param", "poly"};
static_assert(std::all_of(std::begin(kPmodFields), std::end(kPmodFields),
                          [](std::string_view field) { return field.size() < kFieldNameBytes; }));

constexpr double kFirstOrder[] = {1.0};

Array pmodOf(const MatModulators& conditions) {
  Array pmod = arrayOf(ArrayClass::kStruct, 1, conditions.size());
  pmod.fields = kPmodFields;
  pmod.elements.reserve(conditions.size() * std::size(kPmodFields));
  for (const std::vector<MatModulator>& modulators : conditions) {
    if (modulators.empty()) {
      for (std::size_t f = 0; f < std::size(kPmodFields); ++f)
        pmod.elements.push_back(arrayOf(ArrayClass::kCell, 0, 0));
      continue;
    }
    std::vector<Array> names, params, polys;
    for (const MatModulator& modulator : modulators) {
      names.push_back(charRow(modulator.name));
      params.push_back(doubleColumn(modulator.values));
      polys.push_back(doubleColumn(kFirstOrder));
    }
    pmod.elements.push_back(cellRow(std::move(names)));
    pmod.elements.push_back(cellRow(std::move(params)));
    pmod.elements.push_back(cellRow(std::move(polys)));
  }
  return pmod;
}

}  // namespace

std::string multipleConditionsMatFile(std::span<const MatCondition> conditions, const MatModulators* modulators) {
  static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559);
  static const std::vector<MatModulator> kNone;
  if (modulators != nullptr && modulators->size() != conditions.size()) {
    throw std::invalid_argument("modulators for " + std::to_string(modulators->size()) + " conditions, not " +
                                std::to_string(conditions.size()));
  }
  std::vector<Array> names, onsets, durations;
  names.reserve(conditions.size());
  onsets.reserve(conditions.size());
  durations.reserve(conditions.size());
  for (const MatCondition& condition : conditions) {
    if (condition.durations.size() != condition.onsets.size()) {
      throw std::invalid_argument("condition '" + condition.name + "' has " + std::to_string(condition.onsets.size()) +
                                  " onsets but " + std::to_string(condition.durations.size()) + " durations");
    }
    for (const MatModulator& modulator : modulators != nullptr ? (*modulators)[names.size()] : kNone) {
      if (modulator.values.size() != condition.onsets.size()) {
        throw std::invalid_argument("condition '" + condition.name + "' has " +
                                    std::to_string(condition.onsets.size()) + " onsets but " +
                                    std::to_string(modulator.values.size()) + " values of '" + modulator.name + "'");
      }
    }
    names.push_back(charRow(condition.name));
    onsets.push_back(doubleColumn(condition.onsets));
    durations.push_back(doubleColumn(condition.durations));
  }
  std::vector<std::pair<std::string_view, Array>> variables;
  variables.emplace_back("names", cellRow(std::move(names)));
  variables.emplace_back("onsets", cellRow(std::move(onsets)));
  variables.emplace_back("durations", cellRow(std::move(durations)));
  if (modulators != nullptr) variables.emplace_back("pmod", pmodOf(*modulators));

  // Each variable's tag comes on top of the byte count it holds.
  std::uint64_t fileBytes = kHeaderBytes;
  for (auto& [name, array] : variables) {
    const auto bytes = sized(array, name);
    if (!bytes) {
      throw std::length_error("MAT-file variable '" + std::string(name) +
                              "' would exceed the 4 GiB a Level 5 element can hold");
    }
    fileBytes += kTagBytes + *bytes;
  }
  std::string out;
  if (fileBytes > out.max_size()) throw std::length_error("MAT-file would not fit in memory");
  out.reserve(static_cast<std::size_t>(fileBytes));

  Writer writer(out);
  writer.text(kHeaderText);
  writer.text(std::string(kHeaderTextBytes - kHeaderText.size(), ' '));
  writer.little(0, 8);       // no subsystem data
  writer.little(0x0100, 2);  // version
  writer.text("IM");         // "MI" read as a 16-bit number: tells the reader the byte order
  for (const auto& [name, array] : variables) writer.array(array, name);

  assert(out.size() == fileBytes);
  return out;
}

}  // namespace stimloom
