#pragma once
// Files the console program reads whole and writes whole. Every file is
// written to a temporary beside the target and then renamed over it, so an
// interrupted or failed write leaves the previous file as it was and never a
// half-written one.

#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "util/integer_text.h"

namespace console {

// Passes text on to a file in blocks of 1 MiB: one write per block. Numbers
// are written straight into the block.
class BlockWriter {
 public:
  explicit BlockWriter(std::ostream& out) : out_(out), buffer_(new char[kBlockBytes]) {}
  void append(std::string_view text) {
    if (text.size() > kBlockBytes - used_) {
      flush();
      if (text.size() > kBlockBytes) {
        out_.write(text.data(), static_cast<std::streamsize>(text.size()));
        return;
      }
    }
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
  }
  void appendNumber(std::int32_t value) {
    if (kBlockBytes - used_ < stimloom::kLongestIntegerText) flush();
    used_ = static_cast<std::size_t>(stimloom::writeInteger(buffer_.get() + used_, value) - buffer_.get());
  }
  void appendNumber(std::int64_t value) {
    if (kBlockBytes - used_ < stimloom::kLongestIntegerText) flush();
    used_ = static_cast<std::size_t>(stimloom::writeInteger(buffer_.get() + used_, value) - buffer_.get());
  }
  void flush() {
    out_.write(buffer_.get(), static_cast<std::streamsize>(used_));
    used_ = 0;
  }

 private:
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
  std::ostream& out_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
};

// Writes what `write` hands the writer, atomically as below.
bool writeFileAtomically(const std::string& path, const std::function<void(BlockWriter&)>& write, std::string& error);

// False, with `error` saying why (eg: "cannot write D:\x\run1.prt.saving"),
// when the file could not be written; the target is then untouched.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string& error);

// The whole file, or nothing with `error` (eg: "run1.log: cannot be opened").
std::optional<std::string> readWholeFile(const std::string& path, std::string& error);

// At most the first `bytes` of a file; empty when it cannot be read.
std::string readFileStart(const std::string& path, std::size_t bytes);

}  // namespace console
