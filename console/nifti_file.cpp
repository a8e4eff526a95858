#include "console/nifti_file.h"

#include <zlib.h>

#include <array>
#include <fstream>

#include "console/native_path.h"

namespace console {
namespace {

constexpr std::size_t kBlockBytes = 16384;

// The first `wanted` bytes of a gzip stream, whose first block `start` is;
// the rest is read from `in` only as far as they need. Nothing, with `why`,
// for a stream that is damaged.
std::optional<std::string> inflatedStart(std::ifstream& in, std::string start, std::size_t wanted, std::string& why) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 32) != Z_OK) {
    why = "zlib could not start";
    return std::nullopt;
  }
  std::string out(wanted, '\0');
  std::array<char, kBlockBytes> block{};
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(wanted);
  std::string input = std::move(start);
  int status = Z_OK;
  while (stream.avail_out > 0) {
    if (stream.avail_in == 0) {
      if (input.empty()) {
        in.read(block.data(), static_cast<std::streamsize>(block.size()));
        input.assign(block.data(), static_cast<std::size_t>(in.gcount()));
        if (input.empty()) break;  // the stream ends early: the caller says the header is cut short
      }
      stream.next_in = reinterpret_cast<Bytef*>(input.data());
      stream.avail_in = static_cast<uInt>(input.size());
    }
    status = inflate(&stream, Z_NO_FLUSH);
    if (stream.avail_in == 0) input.clear();
    if (status == Z_STREAM_END) break;
    if (status != Z_OK && status != Z_BUF_ERROR) {
      why = stream.msg != nullptr ? stream.msg : "it does not inflate";
      inflateEnd(&stream);
      return std::nullopt;
    }
  }
  out.resize(wanted - stream.avail_out);
  inflateEnd(&stream);
  return out;
}

}  // namespace

std::optional<stimloom::NiftiHeader> readNiftiHeader(const std::string& path, std::string& error) {
  std::ifstream in(nativePath(path), std::ios::binary);
  if (!in) {
    error = path + ": cannot be opened";
    return std::nullopt;
  }
  std::string start(stimloom::kNiftiHeaderBytes, '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) {
    error = path + ": cannot be read";
    return std::nullopt;
  }
  // gzip's first two bytes, whatever the file's name says.
  if (start.size() >= 2 && static_cast<unsigned char>(start[0]) == 0x1f &&
      static_cast<unsigned char>(start[1]) == 0x8b) {
    std::string why;
    const auto inflated = inflatedStart(in, std::move(start), stimloom::kNiftiHeaderBytes, why);
    if (!inflated) {
      error = path + ": is a damaged gzip file (" + why + ")";
      return std::nullopt;
    }
    start = *inflated;
  }
  return stimloom::parseNiftiHeader(start, path, error);
}

}  // namespace console
