#include "support/temp_dir.h"

#include <algorithm>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <vector>

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace orvanta::test {

#if defined(_WIN32)
TempDir::TempDir() {
  // The system's temporary folder (TEMP), and a name nobody holds yet.
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("orvanta-test-" + std::to_string(random()));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = std::move(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}
#else
TempDir::TempDir() {
  const char *base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/orvanta-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!::mkdtemp(buffer.data()))
    throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}
#endif

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> ListTree(const std::filesystem::path &folder) {
  std::vector<std::string> out;
  for (const auto &e : std::filesystem::recursive_directory_iterator(folder))
    out.push_back(e.path().lexically_relative(folder).generic_string());
  std::sort(out.begin(), out.end());
  return out;
}

} // namespace orvanta::test
