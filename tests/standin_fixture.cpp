#include "tests/standin_fixture.h"

#include <atomic>
#include <random>

namespace stimloom::testing {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto base = std::filesystem::temp_directory_path();
  std::random_device seed;
  for (;;) {
    path_ = base / ("stimloom-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
  const std::string path = file(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

standin::Protocol loadedProtocol(const std::string& path) {
  standin::Protocol protocol;
  std::string error;
  EXPECT_TRUE(standin::loadProtocolFile(path, protocol, error)) << error;
  return protocol;
}

standin::StoredCondition storedCondition(std::string name, std::int32_t colour,
                                         const std::vector<std::pair<std::int32_t, std::int32_t>>& intervals) {
  standin::StoredCondition stored;
  stored.name = std::move(name);
  stored.colour = colour;
  for (const auto& [start, end] : intervals) {
    stored.starts.push_back(start);
    stored.ends.push_back(end);
  }
  return stored;
}

}  // namespace stimloom::testing
