#pragma once
// The two records exchanged with the host's protocol functions. Their byte
// layout is the host's, a 32-bit program: every size and offset below is
// checked at compile time, in every build.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace stimloom {

// A pointer field as the host lays it out: 32 bits wide. In a 32-bit build it
// is an ordinary pointer. In a 64-bit build it holds the low 32 bits of an
// address, so the storage behind it must live below 4 GiB; the stand-in host
// allocates interval storage there, and a pointer that does not fit is refused.
template <class T>
class HostPointer {
 public:
  T* get() const noexcept {
#if UINTPTR_MAX == 0xFFFFFFFFu
    return address_;
#else
    return reinterpret_cast<T*>(static_cast<std::uintptr_t>(address_));
#endif
  }

  // False, with the field unchanged, when the pointer cannot be carried in 32 bits.
  bool set(T* pointer) noexcept {
#if UINTPTR_MAX == 0xFFFFFFFFu
    address_ = pointer;
    return true;
#else
    const auto address = reinterpret_cast<std::uintptr_t>(pointer);
    if (address > 0xFFFFFFFFu) return false;
    address_ = static_cast<std::uint32_t>(address);
    return true;
#endif
  }

 private:
#if UINTPTR_MAX == 0xFFFFFFFFu
  T* address_ = nullptr;
#else
  std::uint32_t address_ = 0;
#endif
};
static_assert(sizeof(HostPointer<std::int32_t>) == 4 && alignof(HostPointer<std::int32_t>) == 4);

// The header of a protocol, 596 bytes.
struct ProtocolRecord {
  std::int32_t NrOfConditions = 0;  // eg: 3
  char FileName[261] = {};          // eg: "D:\study\run1.prt"; at most 260 characters
  char ExperimentName[303] = {};    // eg: "run1"; starts at the odd offset 265
  std::int32_t TimeResolution = 0;  // 1 = volumes, 2 = milliseconds
  std::int32_t Colour1 = 0;         // opaque to the plug-in, eg: 0
  std::int32_t Colour2 = 0;         // eg: 0x3F000BB8
  std::int32_t Colour3 = 0;         // eg: 0x3F000FA0
  std::int32_t PenThickness1 = 0;   // eg: 2
  std::int32_t Colour4 = 0;         // eg: 0x3F0007D0
  std::int32_t PenThickness2 = 0;   // eg: 2
};

// One condition of a protocol, 272 bytes. After zrGetProtocolCondition the
// interval pointers reach the host's own storage: writing an element edits the
// host's protocol.
struct ConditionRecord {
  char Name[256] = {};                       // eg: "Picture fix"; at most 255 characters
  std::int32_t NrOfIntervals = 0;            // eg: 12
  HostPointer<std::int32_t> IntervalStarts;  // NrOfIntervals starts
  HostPointer<std::int32_t> IntervalEnds;    // NrOfIntervals ends, pairwise with the starts
  std::int32_t Colour = 0;                   // eg: 0x3F00C355
};

// Texts written into records: the experiment name may take at most 255
// characters, although its area reaches up to TimeResolution.
inline constexpr std::size_t kExperimentNameCapacity = 256;

static_assert(sizeof(ProtocolRecord) == 596);
static_assert(offsetof(ProtocolRecord, NrOfConditions) == 0);
static_assert(offsetof(ProtocolRecord, FileName) == 4);
static_assert(offsetof(ProtocolRecord, ExperimentName) == 265);
static_assert(offsetof(ProtocolRecord, TimeResolution) == 568);
static_assert(offsetof(ProtocolRecord, Colour1) == 572);
static_assert(offsetof(ProtocolRecord, Colour2) == 576);
static_assert(offsetof(ProtocolRecord, Colour3) == 580);
static_assert(offsetof(ProtocolRecord, PenThickness1) == 584);
static_assert(offsetof(ProtocolRecord, Colour4) == 588);
static_assert(offsetof(ProtocolRecord, PenThickness2) == 592);

static_assert(sizeof(ConditionRecord) == 272);
static_assert(offsetof(ConditionRecord, Name) == 0);
static_assert(offsetof(ConditionRecord, NrOfIntervals) == 256);
static_assert(offsetof(ConditionRecord, IntervalStarts) == 260);
static_assert(offsetof(ConditionRecord, IntervalEnds) == 264);
static_assert(offsetof(ConditionRecord, Colour) == 268);

// Writes text and its terminator into a record's text field. A text that does
// not fit (or holds a NUL) is refused: false, and the field is left as it was.
inline bool writeText(std::span<char> field, std::string_view text) noexcept {
  if (text.size() >= field.size() || text.find('\0') != std::string_view::npos) return false;
  std::memcpy(field.data(), text.data(), text.size());
  field[text.size()] = '\0';
  return true;
}

inline bool writeExperimentName(ProtocolRecord& record, std::string_view name) noexcept {
  return writeText(std::span(record.ExperimentName, kExperimentNameCapacity), name);
}

// The text of a record's field, up to its terminator, never past the field's
// end even when the host left it unterminated.
inline std::string_view readText(std::span<const char> field) noexcept {
  const void* end = std::memchr(field.data(), '\0', field.size());
  const auto length = end ? static_cast<std::size_t>(static_cast<const char*>(end) - field.data()) : field.size();
  return {field.data(), length};
}

}  // namespace stimloom
